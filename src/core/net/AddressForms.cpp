#include "net/AddressForms.h"

#include "text/TextHelpers.h"

namespace quarvo {

namespace {

// A hex pair is read as ParseInt("$" + pair), so its errors are the conversion error of ParseInt.
std::int32_t HexPair(const std::string& hex, std::size_t position) {
  return ParseInt("$" + hex.substr(position, 2));
}

}  // namespace

std::string HexToDotted(const std::string& hex) {
  return DecimalText(HexPair(hex, 6)) + "." + DecimalText(HexPair(hex, 4)) + "." +
         DecimalText(HexPair(hex, 2)) + "." + DecimalText(HexPair(hex, 0));
}

std::int32_t SwapHexBytes(const std::string& hex) {
  return ParseInt("$" + hex.substr(6, 2) + hex.substr(4, 2) + hex.substr(2, 2) + hex.substr(0, 2));
}

std::int32_t LeadHexByte(const std::string& hex) {
  return HexPair(hex, 0);
}

std::string FormatMachineNumber(std::int32_t number, std::uint32_t digits) {
  std::string body = DecimalText(number <= 255 ? number : number % 256);
  while (body.size() < digits) body.insert(body.begin(), '0');
  // Numbers 256..511 keep their "." form, which lists saved from ranges across one octet boundary
  // hold. Past that the count of 256s is written out: a lone "." (or "..") for every higher count
  // gave 10.0.2.1 and 10.0.3.1 one machine number, and the scan merged them into one row.
  const std::int32_t high = number / 256;
  if (high <= 0) return body;  // callers pass no negative numbers; such a one shows as it is
  if (high == 1) return "." + body;
  return DecimalText(high) + "." + body;
}

std::string AddressHex(std::uint32_t value) {
  return HexText(value, 8);
}

}  // namespace quarvo
