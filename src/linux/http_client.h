#pragma once
// HTTP GET through libcurl.
#include <chrono>
#include <memory>
#include <string_view>

#include "core/io/http_client.h"

namespace quillet::http {

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
