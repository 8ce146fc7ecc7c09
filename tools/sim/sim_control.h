#pragma once
// The commands that drive the simulated mouse from outside (quillet-sim send):
//   press B | release B | click B     button B, 0..7, doing what the active profile gives it
//                                     (macro playback, DPI and profile functions; firmware.h)
//   profile N                         the mouse switches to profile N (1..4) and says so (event 3)
//   adjust up | adjust down           live macro adjustment events 1 and 2
//   unplug | plug
//   unplug N                          the mouse goes after the N-th feature report from now
//   dump                              the memory, sixteen bytes a line
//   state                             what the mouse holds and has been told, and the settings,
//                                     key functions and macros its memory configures
#include <string_view>

#include "core/io/sim_wire.h"
#include "sim_mouse.h"

namespace quillet::sim {

constexpr std::uint8_t kControlOk = 0;
constexpr std::uint8_t kControlFailed = 1;  // the mouse cannot do it now (unplugged)
constexpr std::uint8_t kControlUsage = 2;   // not a command, or a bad number

simwire::ControlReply runControl(SimMouse& mouse, std::string_view line);

}  // namespace quillet::sim
