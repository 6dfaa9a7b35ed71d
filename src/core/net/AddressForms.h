// The text forms an IPv4 address travels in, and the machine-number text of the results table.
//
// The network-order value holds the octets in wire order (first octet in the lowest byte, as the
// platform's address parser returns it); the host-order value has the first octet most significant,
// so neighbouring addresses are consecutive integers. The 8-digit address hex text of one form,
// byte-swapped, is the other form: the program moves between them only through that text.
#pragma once

#include <cstdint>
#include <string>

namespace quarvo {

// Dotted-decimal text of a network-order address given as its address hex text.
// Throws ConversionError on a text that is not hexadecimal.
std::string HexToDotted(const std::string& hex);

// Value of an 8-digit hex text with its byte order reversed.
std::int32_t SwapHexBytes(const std::string& hex);

// Value 0..255 of the first two hex digits (the last octet, for an address hex text).
std::int32_t LeadHexByte(const std::string& hex);

// Machine-number text: the number (or its low byte past 255) zero-padded to `digits`, with "."
// before numbers 256..511 and the number of 256s and "." before larger ones ("2.004" for 516), so
// that every address of a range has a number of its own.
std::string FormatMachineNumber(std::int32_t number, std::uint32_t digits);

// The address hex text of a 32-bit value: HexText(value, 8).
std::string AddressHex(std::uint32_t value);

}  // namespace quarvo
