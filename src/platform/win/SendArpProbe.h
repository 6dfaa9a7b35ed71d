#pragma once

#include "net/ArpProbe.h"

namespace quarvo {

// One ARP request through the IP Helper's SendARP. Its result code and returned length are not
// used: with no answer the buffer keeps its zeros.
class SendArpProbe final : public ArpProbe {
 public:
  void Request(std::uint32_t networkOrderAddress, MacBytes& mac) override;
};

}  // namespace quarvo
