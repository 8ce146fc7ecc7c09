#pragma once
// The real mouse: hidapi's hidraw backend for enumeration and IO, the sysfs report descriptor of
// each hidraw node for the report lengths, and a libudev monitor on subsystem "hidraw" for
// arrival and removal.
#include <memory>

#include "platform/hid_transport.h"

namespace quillet {

std::unique_ptr<HidTransport> makeHidrawTransport();

}  // namespace quillet
