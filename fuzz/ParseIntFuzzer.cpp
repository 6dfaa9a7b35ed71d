// ParseInt either throws ConversionError naming the whole text or returns the value that the C
// library reads from the same text; decimal values must lie in the signed 32-bit range.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "FuzzCheck.h"
#include "text/TextHelpers.h"

namespace {

std::optional<std::int32_t> Expected(const std::string& text) {
  std::string body = text.substr(std::min(text.find_first_not_of(' '), text.size()));
  const bool negative = !body.empty() && body[0] == '-';
  if (!body.empty() && (body[0] == '-' || body[0] == '+')) body.erase(0, 1);
  int base = 10;
  for (const char* marker : {"0x", "0X", "$", "x", "X"}) {
    if (body.rfind(marker, 0) == 0) {
      body.erase(0, std::strlen(marker));
      base = 16;
      break;
    }
  }
  const auto digit = [base](unsigned char c) { return base == 16 ? std::isxdigit(c) : std::isdigit(c); };
  if (body.empty() || !std::all_of(body.begin(), body.end(), digit)) return std::nullopt;
  if (base == 16) {
    if (body.size() > 8) return std::nullopt;
    const auto pattern = static_cast<std::uint32_t>(std::strtoull(body.c_str(), nullptr, 16));
    return static_cast<std::int32_t>(negative ? 0u - pattern : pattern);
  }
  const std::string signedText = (negative ? "-" : "") + body;
  const long long value = std::strtoll(signedText.c_str(), nullptr, 10);  // saturates on overflow
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quarvo::fuzz;
  const std::string text = Text(data, size);
  const std::optional<std::int32_t> expected = Expected(text);
  try {
    const std::int32_t value = quarvo::ParseInt(text);
    Check(expected == value, "ParseInt agrees with strtoll/strtoull");
  } catch (const quarvo::ConversionError& error) {
    Check(!expected, "ParseInt accepts every valid text");
    Check(NamesText(error, text), "the error names the whole text");
  }
  return 0;
}
