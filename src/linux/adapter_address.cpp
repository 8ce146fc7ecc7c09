#include "linux/adapter_address.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#if defined(__linux__)
#include <linux/if_packet.h>
#else
#include <net/if_dl.h>
#endif

#include <algorithm>
#include <cstdio>

namespace quillet {
namespace {

// The link-layer address of one getifaddrs entry, or nothing when the entry is of another family.
std::vector<std::uint8_t> hardwareAddressOf(const sockaddr* addr) {
  if (addr == nullptr) {
    return {};
  }
#if defined(__linux__)
  if (addr->sa_family != AF_PACKET) {
    return {};
  }
  const auto* ll = reinterpret_cast<const sockaddr_ll*>(addr);
  const std::size_t n = std::min<std::size_t>(ll->sll_halen, sizeof(ll->sll_addr));
  return std::vector<std::uint8_t>(ll->sll_addr, ll->sll_addr + n);
#else
  if (addr->sa_family != AF_LINK) {
    return {};
  }
  const auto* dl = reinterpret_cast<const sockaddr_dl*>(addr);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(LLADDR(dl));
  return std::vector<std::uint8_t>(bytes, bytes + dl->sdl_alen);
#endif
}

}  // namespace

std::vector<NetworkInterface> listNetworkInterfaces() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) {
    return {};
  }
  std::vector<NetworkInterface> out;
  for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
    if (a->ifa_name == nullptr) {
      continue;
    }
    // One entry per address family: gather them under the interface's first appearance.
    auto it = std::find_if(out.begin(), out.end(), [&](const NetworkInterface& i) { return i.name == a->ifa_name; });
    if (it == out.end()) {
      out.push_back({a->ifa_name, (a->ifa_flags & IFF_LOOPBACK) != 0, {}});
      it = out.end() - 1;
    }
    if (it->hardwareAddress.empty()) {
      it->hardwareAddress = hardwareAddressOf(a->ifa_addr);
    }
  }
  ::freeifaddrs(list);
  return out;
}

std::string formatAdapterAddress(std::span<const std::uint8_t, 6> a) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
  return text;
}

std::string adapterAddressText(std::span<const NetworkInterface> interfaces) {
  for (const NetworkInterface& i : interfaces) {
    const std::vector<std::uint8_t>& a = i.hardwareAddress;
    if (i.loopback || a.size() != 6 || std::all_of(a.begin(), a.end(), [](std::uint8_t b) { return b == 0; })) {
      continue;
    }
    return formatAdapterAddress(std::span<const std::uint8_t, 6>(a.data(), 6));
  }
  return {};
}

std::string adapterAddressText() {
  const std::vector<NetworkInterface> interfaces = listNetworkInterfaces();
  return adapterAddressText(interfaces);
}

}  // namespace quillet
