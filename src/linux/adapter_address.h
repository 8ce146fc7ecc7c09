#pragma once
// The machine's network adapter address, as the survey request carries it: the hardware address
// of the first interface that is not a loopback, as "AA-BB-CC-DD-EE-FF".
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillet {

struct NetworkInterface {
  std::string name;
  bool loopback = false;
  std::vector<std::uint8_t> hardwareAddress;  // empty when the interface has none
};

// The interfaces in the order the system lists them (getifaddrs), each once, with the hardware
// address of its link-layer entry. Empty when the list cannot be read.
std::vector<NetworkInterface> listNetworkInterfaces();

// The six bytes of `address` as upper-case hex pairs joined by '-' ("%02X-%02X-…").
std::string formatAdapterAddress(std::span<const std::uint8_t, 6> address);

// The address of the first interface in `interfaces` that is not a loopback and has a six-byte
// hardware address other than all zeros (tunnels have none, or one of another size); empty
// when there is no such interface.
std::string adapterAddressText(std::span<const NetworkInterface> interfaces);

// The same for this machine's interfaces.
std::string adapterAddressText();

}  // namespace quillet
