#include "linux/http_client.h"

#include <curl/curl.h>

#include <mutex>

namespace quillet::http {
namespace {

// curl_global_init is not safe to race with other threads' first use; once per process.
void initialiseCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
  std::string body;
  bool tooLarge = false;
};

size_t collectBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (t->body.size() + n > kMaxBodyBytes) {
    t->tooLarge = true;
    return 0;  // anything else than n ends the transfer with CURLE_WRITE_ERROR
  }
  t->body.append(data, n);
  return n;
}

// The longest the transfer loop sleeps when libcurl names no time of its own.
constexpr long kLongestSleepMs = 1000;

bool isCancelled(const CancelCheck& cancelled) { return cancelled && cancelled(); }

class CurlClient final : public Client {
 public:
  explicit CurlClient(Timeouts timeouts) : timeouts_(timeouts) { initialiseCurl(); }

  Response get(const std::string& url, const CancelCheck& cancelled) override {
    Response response;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) {
      response.error = "cannot make a transfer handle";
      return response;
    }
    Transfer transfer;
    char problem[CURL_ERROR_SIZE] = {};
    CURL* h = curl.get();
    // Every option below is one the libcurl of this platform has; a refusal would only mean a
    // default stays, so the results are not checked one by one (the transfer's result is).
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // No signals: the transfer runs on a worker thread, and a time-out must not raise SIGALRM.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts_.connect.count()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts_.total.count()));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &collectBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, problem);

    bool wasCancelled = false;
    const CURLcode result = perform(h, cancelled, wasCancelled);
    if (result != CURLE_OK) {
      if (wasCancelled) {
        response.error = "cancelled";
      } else if (transfer.tooLarge) {
        response.error = "reply larger than " + std::to_string(kMaxBodyBytes) + " bytes";
      } else {
        response.error = problem[0] != '\0' ? problem : curl_easy_strerror(result);
      }
      return response;
    }
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    response.transferred = true;
    response.status = status;
    response.body = std::move(transfer.body);
    return response;
  }

  void wake() override {
    std::lock_guard lock(mutex_);
    if (active_ != nullptr) {
      curl_multi_wakeup(active_);
    }
  }

 private:
  // Runs the transfer on a multi handle: the loop sleeps in curl_multi_poll until a socket or a
  // timer of libcurl needs it, or wake() is called, and asks the cancel check each time it
  // wakes. A wake that comes before the sleep makes the sleep return at once, so none is lost.
  CURLcode perform(CURL* easy, const CancelCheck& cancelled, bool& wasCancelled) {
    std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(), &curl_multi_cleanup);
    if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) {
      return CURLE_OUT_OF_MEMORY;
    }
    {
      std::lock_guard lock(mutex_);
      active_ = multi.get();
    }
    CURLcode result = CURLE_OK;
    int running = 1;
    while (running > 0) {
      if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
        result = CURLE_RECV_ERROR;
        break;
      }
      if (running == 0) {
        break;
      }
      if (isCancelled(cancelled)) {
        wasCancelled = true;
        result = CURLE_ABORTED_BY_CALLBACK;
        break;
      }
      long sleepMs = -1;
      curl_multi_timeout(multi.get(), &sleepMs);
      if (sleepMs < 0 || sleepMs > kLongestSleepMs) {
        sleepMs = kLongestSleepMs;
      }
      if (curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(sleepMs), nullptr) != CURLM_OK) {
        result = CURLE_RECV_ERROR;
        break;
      }
    }
    if (running == 0) {
      int queued = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi.get(), &queued)) {
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
          result = msg->data.result;
        }
      }
    }
    {
      std::lock_guard lock(mutex_);
      active_ = nullptr;
    }
    curl_multi_remove_handle(multi.get(), easy);
    return result;
  }

  Timeouts timeouts_;
  std::mutex mutex_;
  CURLM* active_ = nullptr;  // the transfer under way, guarded by mutex_
};

}  // namespace

std::unique_ptr<Client> makeCurlClient(Timeouts timeouts) { return std::make_unique<CurlClient>(timeouts); }

void initialiseHttp() { initialiseCurl(); }

}  // namespace quillet::http
