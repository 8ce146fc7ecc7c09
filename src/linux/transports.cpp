#include "linux/transports.h"

#include "linux/hidraw_transport.h"
#include "linux/sim_socket_transport.h"

namespace quillet {

TransportBackends linuxTransportBackends() {
  TransportBackends backends;
  backends.realMouse = [] { return makeHidrawTransport(); };
  backends.simSocket = [](const std::string& path) { return makeSimSocketTransport(path); };
  return backends;
}

}  // namespace quillet
