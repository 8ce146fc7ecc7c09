#include "transport_choice.h"

#include <cstdlib>

#include "platform/hidraw_transport.h"
#include "platform/sim_socket_transport.h"
#include "sim_transport.h"

namespace quillet::sim {

TransportChoice chooseTransport(bool simulate) {
  TransportChoice choice;
  if (simulate) {
    choice.mouse = SimMouse::create({});
    choice.transport = makeInProcessTransport(choice.mouse);
    return choice;
  }
  const char* socket = std::getenv(kSimSocketVariable);
  if (socket != nullptr && *socket != '\0') {
    choice.transport = makeSimSocketTransport(socket);
    return choice;
  }
  choice.transport = makeHidrawTransport();
  return choice;
}

}  // namespace quillet::sim
