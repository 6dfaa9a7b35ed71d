// Text conversions shared by every part of the program. Texts are byte strings in code page 936.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace quarvo {

// The conversion error of ParseInt: "'<text>' is not a valid integer value".
class ConversionError : public std::runtime_error {
 public:
  explicit ConversionError(const std::string& text);
};

// Decimal text of a signed or unsigned 32-bit value: "-" before a negative value, no leading zeros.
std::string DecimalText(std::int64_t value);

// Upper-case hexadecimal text of the value taken as unsigned 32-bit, padded with "0" on the left
// to at least `digits` characters; a longer result is not cut.
std::string HexText(std::uint32_t value, int digits);

// Leading spaces, an optional sign, then decimal digits within the signed 32-bit range, or a hex
// marker ("$", "x" or "0x", either case) and one to eight hex digits whose 32-bit pattern is the
// value. Anything else throws ConversionError naming the whole text.
std::int32_t ParseInt(const std::string& text);

// The text without its trailing and leading bytes of value 32 or less.
std::string TrimText(const std::string& text);

}  // namespace quarvo
