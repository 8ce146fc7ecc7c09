#pragma once
// Which mouse a program talks to: the simulated mouse in this process (--simulate), the
// simulator serving on QUILLET_SIM's socket, or the real mouse. The core only chooses; the
// transports themselves come from the libraries a program links, which fill in the backends
// they provide (the platform's HID backend and socket client, the in-process simulator).
#include <functional>
#include <memory>
#include <string>

#include "core/io/hid_transport.h"

namespace quillet {

constexpr const char* kSimSocketVariable = "QUILLET_SIM";

struct TransportChoice {
  std::unique_ptr<HidTransport> transport;  // never null when a backend was chosen
  std::shared_ptr<void> keepAlive;          // what must outlive the transport (the in-process mouse)
};

struct TransportBackends {
  std::function<std::unique_ptr<HidTransport>()> realMouse;
  std::function<std::unique_ptr<HidTransport>(const std::string& socketPath)> simSocket;
  std::function<TransportChoice()> inProcess;  // empty in programs that do not link the simulator
};

// `simulate` picks the in-process mouse; otherwise a non-empty QUILLET_SIM picks the simulator
// at that socket; otherwise the real mouse. A choice whose backend the program lacks gives a
// choice without transport, and `problem` says which one is missing.
TransportChoice chooseTransport(bool simulate, const TransportBackends& backends, std::string& problem);

}  // namespace quillet
