// DecipherText gives one byte for each leading pair of hex digits and stops at the first pair that
// is not hex; each byte depends only on its pair and position, so a cut text deciphers to a prefix.
#include <algorithm>

#include "FuzzCheck.h"
#include "text/Cipher.h"

using namespace quarvo;

QUARVO_FUZZ_TEXT(hex) {
  const std::string plain = DecipherText(hex);
  const std::size_t pairs = std::min(hex.find_first_not_of(fuzz::kHexDigits), hex.size()) / 2;
  fuzz::Check(plain.size() == pairs, "one byte for each leading hex pair");
  fuzz::Check(DecipherText(hex.substr(0, pairs / 2 * 2)) == plain.substr(0, pairs / 2),
              "a cut text gives a prefix");
}
