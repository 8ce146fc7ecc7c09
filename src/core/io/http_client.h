#pragma once
// HTTP GET, for the survey submission: the interface its backends implement. One request per
// get(); the reply's status and body come back whatever the status is, so that the caller
// decides what counts as success.
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

}  // namespace quillet::http
