// ReadMacBytes reads the pairs at offsets 0, 3, ..., 15 as hex, or throws ConversionError naming the
// first bad pair; the magic packet of what it read is six 0xFF bytes and the MAC sixteen times.
#include <algorithm>
#include <cctype>

#include "FuzzCheck.h"
#include "net/MagicPacket.h"
#include "text/TextHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quarvo;
  const std::string text = fuzz::Text(data, size);
  quarvo::MacBytes expected{};
  std::string badPair;  // "$" and the first pair that is no hex number
  for (std::size_t i = 0; i < expected.size() && badPair.empty(); ++i) {
    const std::string pair = 3 * i < text.size() ? text.substr(3 * i, 2) : std::string();
    const auto hex = [](unsigned char c) { return std::isxdigit(c) != 0; };
    if (pair.empty() || !std::all_of(pair.begin(), pair.end(), hex)) badPair = "$" + pair;
    expected[i] = static_cast<std::uint8_t>(std::strtoul(pair.c_str(), nullptr, 16));
  }
  MacBytes mac{};
  try {
    mac = ReadMacBytes(text);
  } catch (const ConversionError& error) {
    fuzz::Check(!badPair.empty() && fuzz::NamesText(error, badPair), "the error names the first bad pair");
    return 0;
  }
  fuzz::Check(badPair.empty() && mac == expected, "the bytes are the hex pairs");
  const MagicPacket packet = BuildMagicPacket(mac);
  for (std::size_t i = 0; i < packet.size(); ++i) {
    fuzz::Check(packet[i] == (i < 6 ? 0xFF : mac[i % 6]), "six 0xFF bytes, then the MAC sixteen times");
  }
  return 0;
}
