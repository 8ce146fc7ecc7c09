#pragma once
// HTTP GET through libcurl.
#include <chrono>
#include <memory>

#include "core/io/http_client.h"

namespace quillet::http {

struct Timeouts {
  // Until the server has accepted the connection, and for the whole request. A host that never
  // answers ends the request after these, not after the operating system's own minutes.
  std::chrono::milliseconds connect{5000};
  std::chrono::milliseconds total{10000};
};

// GET through libcurl: plain http (redirects followed, to http or https, at most five), no agent
// name, the proxy of the environment (http_proxy, no_proxy), bodies up to kMaxBodyBytes.
std::unique_ptr<Client> makeCurlClient(Timeouts timeouts = {});

// Initialises libcurl and the libraries under it (TLS, SSH, name resolution). Their
// initialisation is not safe while other threads run, and a GUI program has threads as soon as
// its toolkit starts: programs call this first thing in main(). A client made without it
// initialises the library itself, once.
void initialiseHttp();

}  // namespace quillet::http
