// The first start's range on Linux: the machine's own IPv4 network, on the interface of the default
// route, so that a first Start finds the machines around it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quarvo {

struct AddressRange {
  std::string first;  // dotted
  std::string last;
};

// The interface of the default route with the lowest metric in the text of /proc/net/route; empty
// when no default route is up.
std::string DefaultRouteInterface(const std::string& routeTable);

// The hosts of the network of `address` (host order): at most the /24 around it, without the
// network and broadcast addresses where the network has them (a /31 or /32 does not).
AddressRange RangeAround(std::uint32_t address, int prefixLength);

// This machine's range; nothing when it has no default route or no IPv4 address on its interface.
std::optional<AddressRange> OwnNetworkRange();

}  // namespace quarvo
