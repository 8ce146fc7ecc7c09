#pragma once
// The transports of this platform: the real mouse through hidraw and the simulator's socket.
#include "core/device/transport_choice.h"

namespace quillet {

TransportBackends linuxTransportBackends();

}  // namespace quillet
