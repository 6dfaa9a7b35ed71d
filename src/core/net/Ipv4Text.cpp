#include "net/Ipv4Text.h"

namespace quarvo {

namespace {

bool IsDigitIn(char c, unsigned base) {
  if (base == 16) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  }
  return c >= '0' && c < static_cast<char>('0' + base);
}

unsigned DigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return static_cast<unsigned>(c - 'A' + 10);
}

}  // namespace

std::uint32_t ParseBerkeleyAddress(const std::string& text) {
  std::uint64_t parts[4] = {0, 0, 0, 0};
  unsigned count = 0;
  std::size_t i = 0;
  const std::size_t n = text.size();
  for (;;) {
    if (i == n || !IsDigitIn(text[i], 10)) return kAddressNone;
    unsigned base = 10;
    if (text[i] == '0') {
      base = 8;
      ++i;
      if (i < n && (text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
      }
    }
    std::uint64_t value = 0;
    while (i < n && IsDigitIn(text[i], base)) {
      value = value * base + DigitValue(text[i++]);
      if (value > 0xFFFFFFFFu) return kAddressNone;
    }
    // An octal part may not hold 8 or 9; a part may not run into any other character but ".".
    parts[count++] = value;
    if (i == n) break;
    if (text[i] != '.' || count == 4) return kAddressNone;
    ++i;
  }
  std::uint64_t host = 0;
  switch (count) {
    case 1:
      host = parts[0];
      break;
    case 2:
      if (parts[0] > 0xFF || parts[1] > 0xFFFFFF) return kAddressNone;
      host = parts[0] << 24 | parts[1];
      break;
    case 3:
      if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF) return kAddressNone;
      host = parts[0] << 24 | parts[1] << 16 | parts[2];
      break;
    default:
      if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFF || parts[3] > 0xFF) return kAddressNone;
      host = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
      break;
  }
  const auto h = static_cast<std::uint32_t>(host);
  // Network order: first octet in the lowest byte.
  return (h >> 24) | ((h >> 8) & 0xFF00u) | ((h << 8) & 0xFF0000u) | (h << 24);
}

}  // namespace quarvo
