// The ARP request behind ArpLookup. On Windows it is SendARP; tests script answers and delays.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quarvo {

using MacBytes = std::array<std::uint8_t, 6>;

class ArpProbe {
 public:
  virtual ~ArpProbe() = default;
  // Sends one ARP request for the network-order address and blocks until the answer or the
  // platform's time-out. On an answer `mac` holds the hardware address, first byte first; with no
  // answer it keeps the zeros it was given.
  virtual void Request(std::uint32_t networkOrderAddress, MacBytes& mac) = 0;
};

// The MAC text ("00-1A-2B-3C-4D-5E") of the machine that answers, or "" when nothing answered
// (a failed request and an all-zero answer read the same).
std::string ArpLookup(ArpProbe& probe, std::uint32_t networkOrderAddress);

// "AB-0C-..." of six bytes.
std::string MacText(const MacBytes& mac);

}  // namespace quarvo
