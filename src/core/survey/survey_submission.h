#pragma once
// The survey's submission: one thread per accepted form that sends the signed request until the
// survey service accepts it, a second after each failed attempt, and then records the survey as
// answered (Login = "Yes"). It never blocks the window: it starts after the form has closed and
// runs at idle priority; stop() (and the destructor) wakes it from any wait, cancels a request
// under way and joins it, so the utility ends at once whatever the thread is doing.
//
// Threads: the owner (the window thread) calls start, stop and the accessors; the submission
// thread runs the attempts and is the only writer of the survey record's Login key. The notify
// callback runs on the submission thread and must hand the message over to whoever shows it.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/io/http_client.h"
#include "core/survey/survey_reply.h"

namespace quillet::survey {

struct Attempt {
  bool replied = false;                           // an HTTP reply with a 2xx status arrived
  ReplyOutcome outcome = ReplyOutcome::Malformed; // what it said, when it arrived
  std::string problem;                            // why not, for logs
};

// One attempt: one GET of `url`. A status outside 200..299 or no reply at all is an attempt that
// did not reach the service; otherwise the body decides (see survey_reply.h). One request per
// attempt: the service sees each attempt once.
Attempt sendSurvey(http::Client& client, const std::string& url, const http::CancelCheck& cancelled);

class SurveySubmission {
 public:
  // Shows `text` to the user and calls `dismissed` (from any thread, any time, also after the
  // submission is gone) once the user has closed it. Called on the submission thread; must not
  // wait there for the user.
  using Notify = std::function<void(std::string text, std::function<void()> dismissed)>;

  struct Timing {
    std::chrono::milliseconds retryPause{1000};  // after each failed attempt (after the dismissal)
  };

  SurveySubmission(std::string url, std::filesystem::path recordFile, std::unique_ptr<http::Client> client,
                   Notify notify, Timing timing);
  SurveySubmission(std::string url, std::filesystem::path recordFile, std::unique_ptr<http::Client> client,
                   Notify notify)
      : SurveySubmission(std::move(url), std::move(recordFile), std::move(client), std::move(notify), Timing{}) {}
  ~SurveySubmission();
  SurveySubmission(const SurveySubmission&) = delete;
  SurveySubmission& operator=(const SurveySubmission&) = delete;

  // Starts the thread; once.
  void start();
  // Wakes and ends the thread and waits for it; the record is left as it is. Idempotent.
  void stop();

  bool accepted() const { return shared_->accepted.load(); }
  int attempts() const { return shared_->attempts.load(); }
  const std::string& url() const { return url_; }
  // Waits until the service has accepted the survey (true) or `timeout` has passed (false).
  bool waitUntilAccepted(std::chrono::milliseconds timeout) const;
  // Waits until at least `count` attempts have been made.
  bool waitForAttempts(int count, std::chrono::milliseconds timeout) const;

 private:
  // What the thread, the owner and a pending message's dismissal share; it outlives the
  // submission while a dismissal may still come.
  struct Shared {
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool stopping = false;            // guarded by mutex
    std::uint64_t dismissals = 0;     // guarded by mutex
    std::atomic<bool> accepted{false};
    std::atomic<int> attempts{0};
    std::atomic<bool> stopFlag{false};  // stopping, readable without the lock by the transfer
  };

  void run();
  // Waits until `done` holds or stop() is called; false when stopped.
  bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  const std::string url_;
  const std::filesystem::path recordFile_;
  std::unique_ptr<http::Client> client_;  // used by the submission thread; stop() only wakes it
  Notify notify_;
  Timing timing_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  std::thread thread_;
};

}  // namespace quillet::survey
