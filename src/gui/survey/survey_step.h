#pragma once
// The survey step of the start-up: until the form has once been validly submitted, the survey form
// runs modally; a valid submission, now or at an earlier start (Submitted = "Yes"), starts the
// signed request's submission in the background until the service accepts it (Login = "Yes"). The
// submission lives as long as `owner` (the main window) and ends with it.
#include <QWidget>

#include "core/io/messages.h"
#include "core/settings/app_state.h"

namespace quillet {

// True when the utility goes on: the survey was accepted before (Login = "Yes"), its stored
// answers were submitted at an earlier start and still pass the form's rules, or the form was
// submitted now. False when the form was closed unanswered: the utility ends.
//
// The request goes to the survey service of QUILLET_SURVEY_HOST, or the built-in one; replies that
// need the user ("Email Must be a valid email address") are shown through `messages` on the
// window thread.
bool runSurveyStep(QWidget& owner, MessageService& messages, const DataPaths& paths, Language language);

}  // namespace quillet
