// Parsing of the address boxes by the Berkeley rules of inet_addr: one to four parts separated by
// points, each decimal, octal (leading 0) or hexadecimal (leading 0x); the last part fills the
// remaining bytes.
#pragma once

#include <cstdint>
#include <string>

namespace quarvo {

// The all-ones value: the text is no address (and 255.255.255.255 reads as this too).
inline constexpr std::uint32_t kAddressNone = 0xFFFFFFFFu;

// The program's own parser: the network-order value of the text, or kAddressNone.
std::uint32_t ParseBerkeleyAddress(const std::string& text);

}  // namespace quarvo
