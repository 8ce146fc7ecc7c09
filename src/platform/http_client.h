#pragma once
// HTTP GET, for the survey submission. One request per get(); the reply's status and body come
// back whatever the status is, so that the caller decides what counts as success.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quillet::http {

// Replies larger than this are not read: the survey service answers with a few bytes, and a
// stray server must not fill the memory.
constexpr std::size_t kMaxBodyBytes = 64 * 1024;

struct Response {
  bool transferred = false;  // a whole HTTP reply arrived; status and body are valid
  long status = 0;           // the HTTP status code
  std::string body;
  std::string error;         // why nothing usable arrived, for logs
};

// Asked on the thread that called get whenever the request wakes (its sockets, its timers, or
// wake()); returning true ends the request at once, and the response is then not transferred.
using CancelCheck = std::function<bool()>;

class Client {
 public:
  virtual ~Client() = default;
  virtual Response get(const std::string& url, const CancelCheck& cancelled) = 0;
  // Makes a get() under way on another thread ask its cancel check now. Any thread may call it,
  // at any time; with no request under way it does nothing.
  virtual void wake() {}
};

struct Timeouts {
  // Until the server has accepted the connection, and for the whole request. A host that never
  // answers ends the request after these, not after the operating system's own minutes.
  std::chrono::milliseconds connect{5000};
  std::chrono::milliseconds total{10000};
};

// GET through libcurl: plain http, no agent name, the proxy of the environment (http_proxy,
// no_proxy), bodies up to kMaxBodyBytes. Redirects are followed, to http or https, at most five,
// and only while they stay on the same host (sameHost): a redirect to another host is the reply
// (its 3xx status, with `error` saying where it pointed), so that no other host answers for the
// one asked.
std::unique_ptr<Client> makeCurlClient(Timeouts timeouts = {});

// True when both are http or https URLs of the same host name (compared case-insensitively; the
// port and the scheme may differ). False when either is not such a URL.
bool sameHost(std::string_view from, std::string_view to);

// Initialises libcurl and the libraries under it (TLS, SSH, name resolution). Their
// initialisation is not safe while other threads run, and a GUI program has threads as soon as
// its toolkit starts: programs call this first thing in main(). A client made without it
// initialises the library itself, once.
void initialiseHttp();

}  // namespace quillet::http
