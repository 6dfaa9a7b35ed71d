#include "platform/win/SendArpProbe.h"

// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
// clang-format on

namespace quarvo {

void SendArpProbe::Request(std::uint32_t networkOrderAddress, MacBytes& mac) {
  ULONG buffer[2] = {0, 0};
  ULONG length = 6;
  SendARP(static_cast<IPAddr>(networkOrderAddress), 0, buffer, &length);
  const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
  for (std::size_t i = 0; i < mac.size(); ++i) mac[i] = bytes[i];
}

}  // namespace quarvo
