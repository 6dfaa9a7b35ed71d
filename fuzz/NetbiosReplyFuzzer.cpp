// ParseNodeStatusReply reads answers from any machine on the network: whatever the bytes, it reads
// only inside them, and a name it gives is 1 to 15 printable ASCII characters that the answer holds.
#include "FuzzCheck.h"
#include "net/NetbiosStatus.h"

using namespace quarvo;

QUARVO_FUZZ_TEXT(text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::uint16_t id = text.size() >= 2 ? static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]) : 0;
  const auto name = ParseNodeStatusReply(bytes, text.size(), id);
  if (!name) return;
  fuzz::Check(!name->empty() && name->size() <= 15, "a name of 1 to 15 characters");
  for (const char c : *name) fuzz::Check(c > 0x20 && c < 0x7F, "printable ASCII only");
  fuzz::Check(text.find(*name) != std::string::npos, "a name the answer holds");
}
