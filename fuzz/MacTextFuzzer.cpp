// ReadMacBytes reads the pairs at offsets 0, 3, ..., 15 as hex, or throws ConversionError naming the
// first bad pair; the magic packet of what it read is six 0xFF bytes and the MAC sixteen times.
#include <algorithm>

#include "FuzzCheck.h"
#include "net/MagicPacket.h"
#include "text/TextHelpers.h"

using namespace quarvo;

QUARVO_FUZZ_TEXT(text) {
  MacBytes expected{}, mac{};
  std::string badPair;  // "$" and the first pair that is no hex number
  for (std::size_t i = 0; i < expected.size() && badPair.empty(); ++i) {
    const std::string pair = text.substr(std::min(3 * i, text.size()), 2);
    if (pair.empty() || pair.find_first_not_of(fuzz::kHexDigits) != std::string::npos) badPair = "$" + pair;
    expected[i] = static_cast<std::uint8_t>(std::strtoul(pair.c_str(), nullptr, 16));
  }
  try {
    mac = ReadMacBytes(text);
  } catch (const ConversionError& error) {
    fuzz::Check(!badPair.empty() && fuzz::NamesText(error, badPair), "the error names the first bad pair");
    return;
  }
  fuzz::Check(badPair.empty() && mac == expected, "the bytes are the hex pairs");
  const MagicPacket packet = BuildMagicPacket(mac);
  for (std::size_t i = 0; i < packet.size(); ++i) {
    fuzz::Check(packet[i] == (i < 6 ? 0xFF : mac[i % 6]), "six 0xFF bytes, then the MAC sixteen times");
  }
}
