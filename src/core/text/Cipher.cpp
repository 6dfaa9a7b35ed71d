#include "text/Cipher.h"

#include <cstddef>

#include "text/TextHelpers.h"

namespace quarvo {

namespace {

// Must match tools/encipher_texts.py.
constexpr unsigned char kKey[8] = {0x5A, 0xC3, 0x17, 0x8E, 0x2B, 0xF0, 0x64, 0x9D};

}  // namespace

std::string DecipherText(const std::string& hex) {
  std::string plain;
  const std::size_t pairs = hex.size() / 2;
  for (std::size_t i = 0; i < pairs; ++i) {
    std::int32_t value = 0;
    try {
      value = ParseInt("$" + hex.substr(2 * i, 2));
    } catch (const ConversionError&) {
      break;  // the text so far is the result
    }
    plain += static_cast<char>(static_cast<unsigned char>(value & 0xFF) ^ kKey[i % 8]);
  }
  return plain;
}

}  // namespace quarvo
