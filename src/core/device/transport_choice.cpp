#include "core/device/transport_choice.h"

#include <cstdlib>

namespace quillet {

TransportChoice chooseTransport(bool simulate, const TransportBackends& backends, std::string& problem) {
  TransportChoice choice;
  if (simulate) {
    if (!backends.inProcess) {
      problem = "this program has no simulated mouse";
      return choice;
    }
    return backends.inProcess();
  }
  const char* socket = std::getenv(kSimSocketVariable);
  if (socket != nullptr && *socket != '\0') {
    if (!backends.simSocket) {
      problem = "this program cannot reach a simulated mouse over a socket";
      return choice;
    }
    choice.transport = backends.simSocket(socket);
    return choice;
  }
  if (!backends.realMouse) {
    problem = "this program has no HID backend";
    return choice;
  }
  choice.transport = backends.realMouse();
  return choice;
}

}  // namespace quillet
