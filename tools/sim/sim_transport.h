#pragma once
// The simulated mouse in this process (--simulate): the same transport interface as the real
// mouse and the simulator's socket.
#include <memory>

#include "core/device/transport_choice.h"
#include "core/io/hid_transport.h"
#include "sim_mouse.h"

namespace quillet::sim {

std::unique_ptr<HidTransport> makeInProcessTransport(std::shared_ptr<SimMouse> mouse);

// Registers the in-process mouse (a fresh one at every choice, with the default options) as
// the program's --simulate backend.
void addInProcessMouse(TransportBackends& backends);

}  // namespace quillet::sim
