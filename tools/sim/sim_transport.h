#pragma once
// The simulated mouse in this process (--simulate): the same transport interface as the real
// mouse and the simulator's socket.
#include <memory>

#include "platform/hid_transport.h"
#include "sim_mouse.h"

namespace quillet::sim {

std::unique_ptr<HidTransport> makeInProcessTransport(std::shared_ptr<SimMouse> mouse);

}  // namespace quillet::sim
