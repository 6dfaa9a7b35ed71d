#include "text/TextHelpers.h"

#include <cstddef>

namespace quarvo {

ConversionError::ConversionError(const std::string& text)
    : std::runtime_error("'" + text + "' is not a valid integer value") {}

std::string DecimalText(std::int64_t value) {
  const bool negative = value < 0;
  std::uint64_t magnitude =
      negative ? static_cast<std::uint64_t>(-(value + 1)) + 1 : static_cast<std::uint64_t>(value);
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  return negative ? "-" + digits : digits;
}

std::string HexText(std::uint32_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xFu]);
    value >>= 4;
  } while (value != 0);
  while (static_cast<int>(text.size()) < digits) text.insert(text.begin(), '0');
  return text;
}

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::int32_t ParseInt(const std::string& text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';

  std::size_t markerEnd = i;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    markerEnd = i + 1;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    markerEnd = i + 2;
  }
  if (markerEnd != i) {
    const std::size_t count = n - markerEnd;
    if (count == 0 || count > 8) throw ConversionError(text);
    std::uint32_t pattern = 0;
    for (std::size_t j = markerEnd; j < n; ++j) {
      const int digit = HexDigitValue(text[j]);
      if (digit < 0) throw ConversionError(text);
      pattern = (pattern << 4) | static_cast<std::uint32_t>(digit);
    }
    if (negative) pattern = 0u - pattern;
    return static_cast<std::int32_t>(pattern);
  }

  if (i == n) throw ConversionError(text);
  std::int64_t value = 0;
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  for (; i < n; ++i) {
    if (text[i] < '0' || text[i] > '9') throw ConversionError(text);
    value = value * 10 + (text[i] - '0');
    if (value > limit) throw ConversionError(text);
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::string TrimText(const std::string& text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t end = text.size();
  while (end > 0 && blank(text[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && blank(text[begin])) ++begin;
  return text.substr(begin, end - begin);
}

}  // namespace quarvo
