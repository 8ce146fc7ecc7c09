#include "gui/survey/survey_step.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "core/io/ini.h"
#include "core/survey/survey_record.h"
#include "core/survey/survey_rules.h"
#include "core/survey/survey_service.h"
#include "core/survey/survey_submission.h"
#include "gui/survey/dialog_login.h"
#include "gui/widgets/message_box.h"
#include "linux/adapter_address.h"
#include "linux/http_client.h"
#include "linux/md5.h"

namespace quillet {
namespace {

// Owns the submission for the life of the main window: destroyed with it, it stops the thread,
// which wakes from any wait and cancels a request under way.
class SurveySender final : public QObject {
 public:
  SurveySender(QObject* owner, MessageService& messages, std::string url, const std::filesystem::path& record)
      : QObject(owner) {
    submission_ = std::make_unique<survey::SurveySubmission>(
        std::move(url), record, http::makeCurlClient(),
        [this, &messages](std::string text, std::function<void()> dismissed) {
          // On the submission thread: the message is shown on the window thread, and the thread
          // waits for its dismissal there. Once the sender is gone the call is dropped.
          QMetaObject::invokeMethod(
              this,
              [&messages, text = std::move(text), dismissed = std::move(dismissed)] {
                messages.show(text);
                dismissed();
              },
              Qt::QueuedConnection);
        });
    submission_->start();
  }
  ~SurveySender() override { submission_->stop(); }

 private:
  std::unique_ptr<survey::SurveySubmission> submission_;
};

}  // namespace

namespace {

// The request of answers the form stored at an earlier start, or none when they would no longer
// pass the form (a record edited by hand): then the form asks again.
std::optional<survey::SignedQuery> storedRequest(const std::filesystem::path& record) {
  survey::SurveyRecord answers = survey::readSurveyRecord(record);
  answers.macText = adapterAddressText();
  if (survey::checkAnswers(answers) != survey::AnswerProblem::None) {
    return std::nullopt;
  }
  return survey::prepareSurvey(answers, md5Hex).request;
}

}  // namespace

bool runSurveyStep(QWidget& owner, MessageService& messages, const DataPaths& paths, Language language) {
  if (survey::surveyAnswered(paths.surveyRecordPath)) {
    return true;
  }
  for (const std::filesystem::path& file : {paths.surveyRecordPath, paths.countryListPath}) {
    if (ini::isTooLarge(file)) {
      messages.show(ini::tooLargeMessage(file));  // it is read as missing, and never written over
    }
  }
  std::optional<survey::SignedQuery> request;
  if (survey::surveySubmitted(paths.surveyRecordPath)) {
    request = storedRequest(paths.surveyRecordPath);
  }
  if (!request) {
    CDialogLogin form(messages, paths, language, adapterAddressText());
    const MessageBoxesOver over(messages, &form);
    if (form.exec() != QDialog::Accepted) {
      return false;
    }
    request = form.request();
  }
  const survey::ServiceChoice choice = survey::surveyServiceFromEnvironment();
  if (!choice.service) {
    std::fprintf(stderr, "quillet: %s: the survey is not sent\n", choice.problem.c_str());
    return true;
  }
  new SurveySender(&owner, messages, survey::surveyUrl(choice.service->authority(), *request), paths.surveyRecordPath);
  return true;
}

}  // namespace quillet
