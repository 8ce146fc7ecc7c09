#pragma once
// The simulated mouse of quillet-sim, reached over its Unix socket (QUILLET_SIM=<socket path>).
// Each opened handle and each hotplug watch is a connection of its own, so that a read waiting
// on the event collection never holds up a command on the command collection.
#include <memory>
#include <string>

#include "core/io/hid_transport.h"

namespace quillet {

std::unique_ptr<HidTransport> makeSimSocketTransport(std::string socketPath);

}  // namespace quillet
