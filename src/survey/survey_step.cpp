#include "survey/survey_step.h"

#include <cstdio>
#include <memory>

#include "platform/adapter_address.h"
#include "platform/ini.h"
#include "platform/message_box.h"
#include "survey/dialog_login.h"
#include "survey/survey_record.h"
#include "survey/survey_service.h"
#include "survey/survey_submission.h"

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

bool runSurveyStep(QWidget& owner, MessageService& messages, const AppState& app) {
  if (survey::surveyAnswered(app.surveyRecordPath)) {
    return true;
  }
  for (const std::filesystem::path& file : {app.surveyRecordPath, app.countryListPath}) {
    if (ini::isTooLarge(file)) {
      messages.show(ini::tooLargeMessage(file));  // it is read as missing, and never written over
    }
  }
  CDialogLogin form(messages, app, adapterAddressText());
  {
    const MessageBoxesOver over(messages, &form);
    if (form.exec() != QDialog::Accepted) {
      return false;
    }
  }
  const survey::ServiceChoice choice = survey::surveyServiceFromEnvironment();
  if (!choice.service) {
    std::fprintf(stderr, "quillet: %s: the survey is not sent\n", choice.problem.c_str());
    return true;
  }
  new SurveySender(&owner, messages, survey::surveyUrl(choice.service->authority(), form.request()),
                   app.surveyRecordPath);
  return true;
}

}  // namespace quillet
