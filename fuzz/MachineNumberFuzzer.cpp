// FormatMachineNumber of any 32-bit number and a digit count up to 16: the number (its low byte past
// 255) padded with zeros to the digit count, after "." for 256..65535 and ".." for 65536..16777471.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "net/AddressForms.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto number = input.ConsumeIntegral<std::int32_t>();
  const auto digits = input.ConsumeIntegralInRange<std::uint32_t>(0, 16);
  const std::string text = quarvo::FormatMachineNumber(number, digits);

  const std::string shown = std::to_string(number <= 255 ? number : number & 0xFF);
  const std::string dots = number >= 256 && number <= 65535        ? "."
                           : number >= 65536 && number <= 16777471 ? ".."
                                                                   : "";
  const std::string zeros(digits > shown.size() ? digits - shown.size() : 0, '0');
  quarvo::fuzz::Check(text == dots + zeros + shown, "dots, zeros to the digit count, the number");
  return 0;
}
