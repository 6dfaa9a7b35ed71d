// FormatMachineNumber of any 32-bit number and a digit count up to 16: the number (its low byte past
// 255) padded with zeros to the digit count, after "." for 256..511 and the count of 256s and "."
// past that.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "net/AddressForms.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto number = input.ConsumeIntegral<std::int32_t>();
  const auto digits = input.ConsumeIntegralInRange<std::uint32_t>(0, 16);
  const std::string shown = std::to_string(number <= 255 ? number : number & 0xFF);
  const std::string dots = number < 256 ? "" : number < 512 ? "." : std::to_string(number / 256) + ".";
  quarvo::fuzz::Check(quarvo::FormatMachineNumber(number, digits) ==
                          dots + std::string(digits > shown.size() ? digits - shown.size() : 0, '0') + shown,
                      "dots, zeros to the digit count, the number");
  return 0;
}
