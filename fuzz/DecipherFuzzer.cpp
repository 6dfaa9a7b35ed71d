// DecipherText gives one byte for each leading pair of hex digits and stops at the first pair that
// is not hex; each byte depends only on its pair and position, so a cut text deciphers to a prefix.
#include <cctype>

#include "FuzzCheck.h"
#include "text/Cipher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quarvo::fuzz::Check;
  const std::string hex = quarvo::fuzz::Text(data, size);
  const std::string plain = quarvo::DecipherText(hex);
  std::size_t pairs = 0;
  const auto isHex = [&hex](std::size_t i) { return std::isxdigit(static_cast<unsigned char>(hex[i])) != 0; };
  while (2 * pairs + 1 < hex.size() && isHex(2 * pairs) && isHex(2 * pairs + 1)) ++pairs;
  Check(plain.size() == pairs, "one byte for each leading hex pair");
  const std::size_t half = pairs / 2;
  Check(quarvo::DecipherText(hex.substr(0, 2 * half)) == plain.substr(0, half), "a cut text gives a prefix");
  return 0;
}
