// ParseArpPayload takes exactly the Ethernet/IPv4 payloads of 28 bytes or more and reads their
// fields where they stand; a request built from what it read is the input's first 28 bytes with
// the opcode 1 and a zero target MAC.
#include "FuzzCheck.h"
#include "net/ArpFrame.h"

using namespace quarvo;

QUARVO_FUZZ_TEXT(text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto message = ParseArpPayload(bytes, text.size());
  const bool ethernetIpv4 =
      text.size() >= 28 && text.compare(0, 6, std::string("\x00\x01\x08\x00\x06\x04", 6)) == 0;
  fuzz::Check(message.has_value() == ethernetIpv4, "taken exactly when long enough and Ethernet/IPv4");
  if (!message) return;
  fuzz::Check(message->opcode == (bytes[6] << 8 | bytes[7]), "the opcode");
  const ArpPayload rebuilt = BuildArpRequest(message->senderMac, message->senderIp, message->targetIp);
  for (std::size_t i = 0; i < rebuilt.size(); ++i) {
    const std::uint8_t expected = i == 6 ? 0 : i == 7 ? 1 : (i >= 18 && i < 24) ? 0 : bytes[i];
    fuzz::Check(rebuilt[i] == expected, "a request of the fields read gives the input's bytes back");
  }
}
