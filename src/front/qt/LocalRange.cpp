#include "front/qt/LocalRange.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <climits>
#include <fstream>
#include <sstream>

namespace quarvo {

namespace {

std::string Dotted(std::uint32_t host) {
  return std::to_string(host >> 24) + "." + std::to_string((host >> 16) & 0xFF) + "." +
         std::to_string((host >> 8) & 0xFF) + "." + std::to_string(host & 0xFF);
}

int PrefixOf(std::uint32_t hostMask) {
  int length = 0;
  while (length < 32 && (hostMask & (0x80000000u >> length)) != 0) ++length;
  return length;
}

}  // namespace

std::string DefaultRouteInterface(const std::string& routeTable) {
  constexpr unsigned kRouteUp = 0x1;  // RTF_UP
  std::istringstream lines(routeTable);
  std::string line;
  std::getline(lines, line);  // the header
  std::string best;
  long bestMetric = LONG_MAX;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string name, destination, gateway, flags, refCount, use, metric, mask;
    if (!(fields >> name >> destination >> gateway >> flags >> refCount >> use >> metric >> mask)) continue;
    try {
      if (std::stoul(destination, nullptr, 16) != 0 || std::stoul(mask, nullptr, 16) != 0) continue;
      if ((std::stoul(flags, nullptr, 16) & kRouteUp) == 0) continue;
      const long value = std::stol(metric);
      if (value < bestMetric) {
        bestMetric = value;
        best = name;
      }
    } catch (const std::exception&) {
      continue;  // a line that is not a route
    }
  }
  return best;
}

AddressRange RangeAround(std::uint32_t address, int prefixLength) {
  const int prefix = prefixLength < 24 ? 24 : prefixLength > 32 ? 32 : prefixLength;
  const std::uint32_t mask = prefix == 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> prefix);
  const std::uint32_t network = address & mask;
  const std::uint32_t broadcast = network | ~mask;
  if (prefix >= 31) return {Dotted(network), Dotted(broadcast)};
  return {Dotted(network + 1), Dotted(broadcast - 1)};
}

std::optional<AddressRange> OwnNetworkRange() {
  std::ifstream file("/proc/net/route");
  std::stringstream table;
  table << file.rdbuf();
  const std::string name = DefaultRouteInterface(table.str());
  if (name.empty()) return std::nullopt;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return std::nullopt;
  std::optional<AddressRange> range;
  for (const ifaddrs* entry = list; entry != nullptr && !range; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_netmask == nullptr ||
        entry->ifa_addr->sa_family != AF_INET || name != entry->ifa_name) {
      continue;
    }
    // The kernel hands back sockaddr_in records behind the generic pointers.
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    const auto* mask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
    range = RangeAround(ntohl(address->sin_addr.s_addr), PrefixOf(ntohl(mask->sin_addr.s_addr)));
  }
  freeifaddrs(list);
  return range;
}

}  // namespace quarvo
