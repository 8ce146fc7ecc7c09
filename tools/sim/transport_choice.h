#pragma once
// Which mouse a program talks to: the simulated mouse in this process (--simulate), the
// simulator serving on QUILLET_SIM's socket, or the real mouse through hidraw.
#include <memory>
#include <string>

#include "platform/hid_transport.h"
#include "sim_mouse.h"

namespace quillet::sim {

constexpr const char* kSimSocketVariable = "QUILLET_SIM";

struct TransportChoice {
  std::unique_ptr<HidTransport> transport;
  std::shared_ptr<SimMouse> mouse;  // the in-process mouse, when simulated here
};

TransportChoice chooseTransport(bool simulate);

}  // namespace quillet::sim
