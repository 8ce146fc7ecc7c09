// The survey's submission against quillet-survey-server and against hosts that do not answer:
// acceptance ends the retries and marks the record, refusals and silence retry a second apart,
// an invalid e-mail is said on every attempt, and stop() ends the thread at once.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

#include "core/survey/survey_query.h"
#include "core/survey/survey_record.h"
#include "core/survey/survey_submission.h"
#include "linux/http_client.h"
#include "linux/md5.h"
#include "support/temp_dir.h"
#include "survey_test_server.h"

namespace quillet::survey {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

SignedQuery signedAnswers() {
  SurveyRecord r;
  r.region = "Ireland";
  r.name = "Aoife Byrne";
  r.age = "22";
  r.facebook = "aoife.byrne";
  r.email = "aoife@mail.ie";
  r.game = "What game to play:";
  r.isMale = 0;
  r.macText = "02-42-AC-11-00-02";
  return *prepareSurvey(r, md5Hex).request;
}

// The curl client, with the time of every request.
class TimedClient final : public http::Client {
 public:
  explicit TimedClient(std::vector<Clock::time_point>& times, std::mutex& mutex)
      : inner_(http::makeCurlClient()), times_(times), mutex_(mutex) {}
  http::Response get(const std::string& url, const http::CancelCheck& cancelled) override {
    {
      std::lock_guard lock(mutex_);
      times_.push_back(Clock::now());
    }
    return inner_->get(url, cancelled);
  }
  void wake() override { inner_->wake(); }

 private:
  std::unique_ptr<http::Client> inner_;
  std::vector<Clock::time_point>& times_;
  std::mutex& mutex_;
};

// A port of 127.0.0.1 that nothing listens on, or (listening) one whose connections are never
// accepted: the handshake completes in the backlog, and the request then waits for a reply that
// never comes.
class LocalPort {
 public:
  explicit LocalPort(bool listening) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    if (listening) {
      ::listen(fd_, 4);
    } else {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~LocalPort() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  std::string authority() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

struct Notes {
  std::mutex mutex;
  std::vector<std::string> texts;
  std::vector<std::function<void()>> pending;  // dismissals the test has not given yet

  SurveySubmission::Notify notify(bool dismissAtOnce) {
    return [this, dismissAtOnce](std::string text, std::function<void()> dismissed) {
      std::lock_guard lock(mutex);
      texts.push_back(std::move(text));
      if (dismissAtOnce) {
        dismissed();
      } else {
        pending.push_back(std::move(dismissed));
      }
    };
  }
  std::size_t count() {
    std::lock_guard lock(mutex);
    return texts.size();
  }
};

class SurveySubmissionTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir_ / "config"); }

  std::filesystem::path record() const { return dir_ / "config" / "ConfigFile.ini"; }

  std::unique_ptr<SurveySubmission> submit(const std::string& authority, SurveySubmission::Notify notify,
                                           std::chrono::milliseconds pause = 1000ms,
                                           std::unique_ptr<http::Client> client = nullptr) {
    auto s = std::make_unique<SurveySubmission>(surveyUrl(authority, signedAnswers()), record(),
                                                client ? std::move(client) : http::makeCurlClient(), std::move(notify),
                                                SurveySubmission::Timing{pause});
    s->start();
    return s;
  }

  test::TempDir dir_;
  Notes notes_;
};

TEST_F(SurveySubmissionTest, AnAcceptedSurveyEndsTheRetriesAndIsRecordedAsAnswered) {
  test::SurveyTestServer server;
  ASSERT_TRUE(server.listening());
  auto s = submit(server.authority(), notes_.notify(true));
  ASSERT_TRUE(s->waitUntilAccepted(10s));
  EXPECT_TRUE(surveyAnswered(record()));
  EXPECT_FALSE(s->waitForAttempts(2, 1500ms)) << "no attempt after the acceptance";
  const std::vector<std::string> log = server.log();
  ASSERT_EQ(log.size(), 1u) << "one request per attempt";
  EXPECT_EQ(log[0].rfind("1 200 1000 valid /v1/driver_survey/?age=22&area=Ireland&email=aoife@mail.ie", 0), 0u)
      << log[0];
  EXPECT_EQ(notes_.count(), 0u);
}

TEST_F(SurveySubmissionTest, RefusedRequestsAreSentAgainASecondApart) {
  test::SurveyTestServer server({"--reply", "1001"});
  ASSERT_TRUE(server.listening());
  std::vector<Clock::time_point> times;
  std::mutex mutex;
  auto s = submit(server.authority(), notes_.notify(true), 1000ms, std::make_unique<TimedClient>(times, mutex));
  ASSERT_TRUE(s->waitForAttempts(3, 15s));
  s->stop();
  EXPECT_FALSE(s->accepted());
  EXPECT_FALSE(surveyAnswered(record()));
  EXPECT_EQ(notes_.count(), 0u) << "a refusal is silent";
  std::lock_guard lock(mutex);
  for (std::size_t i = 1; i < times.size(); ++i) {
    EXPECT_GE(times[i] - times[i - 1], 1000ms) << "attempt " << i;
  }
  for (const std::string& line : server.log()) {
    EXPECT_NE(line.find(" 200 1001 valid "), std::string::npos) << line;
  }
}

TEST_F(SurveySubmissionTest, AnInvalidEmailIsSaidOnEveryAttemptAndTheNextWaitsForTheDismissal) {
  test::SurveyTestServer server({"--reply", "1002"});
  ASSERT_TRUE(server.listening());
  auto s = submit(server.authority(), notes_.notify(false), 100ms);
  ASSERT_TRUE(s->waitForAttempts(1, 10s));
  EXPECT_FALSE(s->waitForAttempts(2, 1000ms)) << "no attempt while the message is open";
  for (int round = 2; round <= 3; ++round) {
    std::function<void()> dismiss;
    {
      std::lock_guard lock(notes_.mutex);
      ASSERT_EQ(notes_.pending.size(), 1u);
      dismiss = std::move(notes_.pending.front());
      notes_.pending.clear();
    }
    dismiss();
    ASSERT_TRUE(s->waitForAttempts(round, 10s));
    ASSERT_TRUE([&] {
      for (int i = 0; i < 500 && notes_.count() < static_cast<std::size_t>(round); ++i) std::this_thread::sleep_for(10ms);
      return notes_.count() == static_cast<std::size_t>(round);
    }());
  }
  s->stop();
  std::lock_guard lock(notes_.mutex);
  for (const std::string& text : notes_.texts) {
    EXPECT_EQ(text, "Email Must be a valid email address");
  }
  EXPECT_FALSE(surveyAnswered(record()));
  // A dismissal that comes after the submission has gone is harmless.
  s.reset();
  for (auto& late : notes_.pending) late();
}

TEST_F(SurveySubmissionTest, WithoutAnyServiceItRetriesSilently) {
  const LocalPort closed(false);
  auto s = submit(closed.authority(), notes_.notify(true), 50ms);
  ASSERT_TRUE(s->waitForAttempts(3, 10s));
  s->stop();
  EXPECT_FALSE(s->accepted());
  EXPECT_FALSE(surveyAnswered(record()));
  EXPECT_EQ(notes_.count(), 0u);
}

TEST_F(SurveySubmissionTest, ServiceErrorsAreRetriedUntilTheServiceAccepts) {
  test::SurveyTestServer server({"--fail-first", "2"});
  ASSERT_TRUE(server.listening());
  auto s = submit(server.authority(), notes_.notify(true), 50ms);
  ASSERT_TRUE(s->waitUntilAccepted(10s));
  EXPECT_EQ(s->attempts(), 3);
  const std::vector<std::string> log = server.log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].rfind("1 503 - refused ", 0), 0u) << log[0];
  EXPECT_EQ(log[1].rfind("2 503 - refused ", 0), 0u) << log[1];
  EXPECT_EQ(log[2].rfind("3 200 1000 valid ", 0), 0u) << log[2];
  EXPECT_TRUE(surveyAnswered(record()));
}

TEST_F(SurveySubmissionTest, ATamperedRequestIsRefusedByTheService) {
  test::SurveyTestServer server;
  ASSERT_TRUE(server.listening());
  SignedQuery q = signedAnswers();
  q.query.replace(q.query.find("Aoife"), 5, "Aoifa");
  SurveySubmission s(surveyUrl(server.authority(), q), record(), http::makeCurlClient(), notes_.notify(true),
                     SurveySubmission::Timing{50ms});
  s.start();
  ASSERT_TRUE(s.waitForAttempts(2, 10s));
  s.stop();
  EXPECT_FALSE(s.accepted());
  EXPECT_NE(server.log().at(0).find(" 200 1001 bad-signature "), std::string::npos) << server.log().at(0);
}

TEST_F(SurveySubmissionTest, StopEndsAWaitBetweenAttemptsAtOnce) {
  const LocalPort closed(false);
  auto s = submit(closed.authority(), notes_.notify(true), 60s);
  ASSERT_TRUE(s->waitForAttempts(1, 10s));
  const auto start = Clock::now();
  s->stop();
  EXPECT_LT(Clock::now() - start, 5s) << "stop waited for the 60 s pause";
}

TEST_F(SurveySubmissionTest, StopCancelsARequestThatGetsNoReply) {
  const LocalPort silent(true);
  auto s = submit(silent.authority(), notes_.notify(true), 60s);
  std::this_thread::sleep_for(300ms);  // the request is under way, waiting for a reply
  EXPECT_EQ(s->attempts(), 0);
  const auto start = Clock::now();
  s->stop();
  EXPECT_LT(Clock::now() - start, 5s) << "stop waited for the request's 10 s time-out";
  EXPECT_FALSE(surveyAnswered(record()));
}


// A redirect is followed only while it stays on the host that was asked: another host's answer is
// no answer of the survey service, and never marks the survey as answered.
TEST_F(SurveySubmissionTest, ARedirectIsFollowedOnlyOnTheSameHost) {
  test::SurveyTestServer service;
  ASSERT_TRUE(service.listening());
  const std::string port = service.authority().substr(service.authority().find(':'));
  struct Case {
    const char* to;  // where the first service sends the request
    bool followed;
  };
  for (const Case c : {Case{"http://localhost", false}, Case{"http://127.0.0.1", true}}) {
    SCOPED_TRACE(c.to);
    std::filesystem::remove(record());
    const std::size_t before = service.log().size();
    test::SurveyTestServer redirecting({"--redirect-to", std::string(c.to) + port});
    ASSERT_TRUE(redirecting.listening());
    auto s = submit(redirecting.authority(), notes_.notify(true), 50ms);
    if (c.followed) {
      ASSERT_TRUE(s->waitUntilAccepted(10s));
      EXPECT_TRUE(surveyAnswered(record()));
      EXPECT_EQ(service.log().size(), before + 1);
    } else {
      ASSERT_TRUE(s->waitForAttempts(2, 10s));
      s->stop();
      EXPECT_FALSE(s->accepted());
      EXPECT_FALSE(surveyAnswered(record()));
      EXPECT_EQ(service.log().size(), before) << "the other host was asked";
    }
    ASSERT_FALSE(redirecting.log().empty());
    EXPECT_NE(redirecting.log()[0].find(" 302 - redirected /v1/driver_survey/?"), std::string::npos);
  }
}

TEST(SurveyRedirect, SameHostComparesHostNamesOnly) {
  struct Case {
    const char* from;
    const char* to;
    bool same;
  };
  const Case cases[] = {
      {"http://a.example:8080/v1/x", "http://a.example:8080/v2/y", true},
      {"http://a.example:8080/v1/x", "https://A.Example/v1/x", true},  // scheme, port and case may differ
      {"http://a.example:8080/", "http://b.example:8080/", false},
      {"http://a.example/", "http://a.example.evil.test/", false},
      {"http://a.example/", "http://evil.test/?a.example", false},
      {"http://a.example/", "http://a.example@evil.test/", false},  // user info is not the host
      {"http://127.0.0.1:1/", "http://localhost:1/", false},
      {"http://a.example/", "ftp://a.example/", false},
      {"http://a.example/", "not a url", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(http::sameHost(c.from, c.to), c.same) << c.from << " -> " << c.to;
  }
}

}  // namespace
}  // namespace quillet::survey
