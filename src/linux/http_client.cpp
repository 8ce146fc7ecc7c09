#include "linux/http_client.h"

#include <curl/curl.h>

#include <cctype>
#include <mutex>
#include <optional>

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

// Redirects followed within one get().
constexpr int kMaxRedirects = 5;

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
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    // Redirects are followed here, not by libcurl: only those that stay on the same host.
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    // No signals: the transfer runs on a worker thread, and a time-out must not raise SIGALRM.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts_.connect.count()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts_.total.count()));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &collectBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, problem);

    std::string target = url;
    for (int redirects = 0;; ++redirects) {
      curl_easy_setopt(h, CURLOPT_URL, target.c_str());
      transfer = Transfer{};
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
      const char* location = nullptr;
      curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location);
      // A redirect to another host is not followed: the reply stays the redirect, which is no
      // answer of the service the request was meant for.
      if (status >= 300 && status <= 399 && location != nullptr && redirects < kMaxRedirects &&
          sameHost(target, location)) {
        target = location;
        continue;
      }
      response.transferred = true;
      response.status = status;
      response.body = std::move(transfer.body);
      if (status >= 300 && status <= 399 && location != nullptr) {
        response.error = "redirect to " + std::string(location) + " not followed";
      }
      return response;
    }
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

bool sameHost(std::string_view from, std::string_view to) {
  initialiseCurl();
  const auto hostOf = [](std::string_view url) -> std::optional<std::string> {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), &curl_url_cleanup);
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, std::string(url).c_str(), 0) != CURLUE_OK) {
      return std::nullopt;
    }
    char* scheme = nullptr;
    char* host = nullptr;
    std::optional<std::string> result;
    if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK) {
      const std::string_view s = scheme;
      if (s == "http" || s == "https") {
        result = host;
        for (char& c : *result) {
          c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
      }
    }
    curl_free(scheme);
    curl_free(host);
    return result;
  };
  const std::optional<std::string> a = hostOf(from);
  const std::optional<std::string> b = hostOf(to);
  return a && b && !a->empty() && *a == *b;
}

std::unique_ptr<Client> makeCurlClient(Timeouts timeouts) { return std::make_unique<CurlClient>(timeouts); }

void initialiseHttp() { initialiseCurl(); }

}  // namespace quillet::http
