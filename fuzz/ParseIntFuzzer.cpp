// ParseInt either throws ConversionError naming the whole text or returns the value that the C
// library reads from the same text; decimal values must lie in the signed 32-bit range.
#include <optional>
#include <regex>

#include "FuzzCheck.h"
#include "text/TextHelpers.h"

// Leading blanks, a sign, then up to eight hex digits after a hex marker or decimal digits.
static std::optional<std::int32_t> Expected(const std::string& text) {
  static const std::regex form(" *([-+]?)(?:(0[xX]|\\$|[xX])([0-9a-fA-F]{1,8})|([0-9]+))");
  std::smatch parts;
  if (!std::regex_match(text, parts, form)) return std::nullopt;
  if (parts[3].matched) {  // the bit pattern, negated after a minus
    const unsigned long pattern = std::stoul(parts[3].str(), nullptr, 16);
    return static_cast<std::int32_t>(parts[1] == "-" ? 0ul - pattern : pattern);
  }
  const long long value = std::strtoll((parts[1].str() + parts[4].str()).c_str(), nullptr, 10);  // saturates
  return value < INT32_MIN || value > INT32_MAX ? std::nullopt
                                                : std::optional(static_cast<std::int32_t>(value));
}

QUARVO_FUZZ_TEXT(text) {
  using quarvo::fuzz::Check;
  const std::optional<std::int32_t> expected = Expected(text);
  try {
    Check(expected == quarvo::ParseInt(text), "ParseInt agrees with strtoll/strtoull");
  } catch (const quarvo::ConversionError& error) {
    Check(!expected && quarvo::fuzz::NamesText(error, text),
          "ParseInt refuses only invalid texts, naming them");
  }
}
