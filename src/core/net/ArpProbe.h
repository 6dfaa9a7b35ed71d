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

  // A scan of `count` addresses upward from `firstNetworkOrder` is about to start; called before
  // its first Request, on the thread that starts the scan. A probe takes the machine's interfaces
  // and addresses afresh here, so that a scan follows a renumbered or re-plugged interface, may
  // prepare the range's requests, and forgets an earlier Cancel. Probes that keep nothing between
  // requests (SendARP) do nothing.
  virtual void BeginScan(std::uint32_t firstNetworkOrder, std::uint32_t count) {
    static_cast<void>(firstNetworkOrder);
    static_cast<void>(count);
  }

  // The user stopped the run: every Request in flight returns silent within 100 ms, whatever its
  // time-out, and every new one returns silent at once, until the next BeginScan. Callable from
  // any thread, any number of times. A probe whose platform call cannot be interrupted (SendARP)
  // does nothing: its requests end at the platform's own time-out.
  virtual void Cancel() {}
};

// The MAC text ("00-1A-2B-3C-4D-5E") of the machine that answers, or "" when nothing answered
// (a failed request and an all-zero answer read the same).
std::string ArpLookup(ArpProbe& probe, std::uint32_t networkOrderAddress);

// "AB-0C-..." of six bytes.
std::string MacText(const MacBytes& mac);

}  // namespace quarvo
