#include "net/ArpProbe.h"
#include "text/TextHelpers.h"

namespace quarvo {

std::string MacText(const MacBytes& mac) {
  std::string text;
  for (std::size_t i = 0; i < mac.size(); ++i) {
    if (i != 0) text += '-';
    text += HexText(mac[i], 2);
  }
  return text;
}

std::string ArpLookup(ArpProbe& probe, std::uint32_t networkOrderAddress) {
  MacBytes mac{};
  probe.Request(networkOrderAddress, mac);
  for (std::uint8_t byte : mac) {
    if (byte != 0) return MacText(mac);
  }
  return std::string();
}

}  // namespace quarvo
