#include "core/survey/survey_submission.h"

#include <cstdio>

#include "core/io/thread_priority.h"
#include "core/survey/survey_record.h"

namespace quillet::survey {

Attempt sendSurvey(http::Client& client, const std::string& url, const http::CancelCheck& cancelled) {
  Attempt attempt;
  const http::Response response = client.get(url, cancelled);
  if (!response.transferred) {
    attempt.problem = response.error;
    return attempt;
  }
  if (response.status < 200 || response.status > 299) {
    attempt.problem = "HTTP status " + std::to_string(response.status);
    return attempt;
  }
  attempt.replied = true;
  attempt.outcome = parseSurveyReply(response.body);
  return attempt;
}

SurveySubmission::SurveySubmission(std::string url, std::filesystem::path recordFile,
                                   std::unique_ptr<http::Client> client, Notify notify, Timing timing)
    : url_(std::move(url)),
      recordFile_(std::move(recordFile)),
      client_(std::move(client)),
      notify_(std::move(notify)),
      timing_(timing) {}

SurveySubmission::~SurveySubmission() { stop(); }

void SurveySubmission::start() {
  if (!thread_.joinable()) {
    thread_ = std::thread([this] { run(); });
  }
}

void SurveySubmission::stop() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    shared_->stopFlag = true;
  }
  shared_->changed.notify_all();
  // A request under way looks at the stop at once.
  if (client_) {
    client_->wake();
  }
  if (thread_.joinable()) {
    thread_.join();
  }
}

bool SurveySubmission::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  std::unique_lock lock(shared_->mutex);
  shared_->changed.wait_for(lock, timeout, [&] { return shared_->stopping || done(); });
  return !shared_->stopping;
}

bool SurveySubmission::waitUntilAccepted(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(shared_->mutex);
  return shared_->changed.wait_for(lock, timeout, [&] { return shared_->accepted.load(); });
}

bool SurveySubmission::waitForAttempts(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(shared_->mutex);
  return shared_->changed.wait_for(lock, timeout, [&] { return shared_->attempts.load() >= count; });
}

void SurveySubmission::run() {
  lowerCurrentThreadToIdle();
  const std::shared_ptr<Shared> shared = shared_;
  const http::CancelCheck cancelled = [shared] { return shared->stopFlag.load(); };
  for (;;) {
    if (shared->stopFlag) {
      return;
    }
    const Attempt attempt = sendSurvey(*client_, url_, cancelled);
    const bool accepted = attempt.replied && attempt.outcome == ReplyOutcome::Accepted;
    if (accepted && !markSurveyAnswered(recordFile_)) {
      std::fprintf(stderr, "quillet: the survey was accepted, but %s cannot be written\n", recordFile_.string().c_str());
    }
    {
      std::lock_guard lock(shared->mutex);
      shared->attempts.fetch_add(1);
      shared->accepted = accepted;
    }
    shared->changed.notify_all();
    if (accepted) {
      return;
    }
    if (attempt.replied && attempt.outcome == ReplyOutcome::InvalidEmail && notify_) {
      // The next attempt follows the user's dismissal of the message, a pause later.
      std::uint64_t seen = 0;
      {
        std::lock_guard lock(shared->mutex);
        seen = shared->dismissals;
      }
      notify_(std::string(kInvalidEmailText), [shared] {
        {
          std::lock_guard lock(shared->mutex);
          ++shared->dismissals;
        }
        shared->changed.notify_all();
      });
      std::unique_lock lock(shared->mutex);
      shared->changed.wait(lock, [&] { return shared->stopping || shared->dismissals != seen; });
      if (shared->stopping) {
        return;
      }
    }
    if (!waitUntil([] { return false; }, timing_.retryPause)) {
      return;
    }
  }
}

}  // namespace quillet::survey
