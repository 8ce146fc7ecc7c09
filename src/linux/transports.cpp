#include "linux/transports.h"

#include "linux/hidraw_transport.h"
#include "linux/sim_socket_transport.h"

namespace quillet {

TransportBackends linuxTransportBackends() {
  TransportBackends backends;
  backends.realMouse = makeHidrawTransport;
  backends.simSocket = makeSimSocketTransport;
  return backends;
}

}  // namespace quillet
