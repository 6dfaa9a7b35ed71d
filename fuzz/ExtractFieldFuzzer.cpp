// ExtractField on a line and two delimiters taken from the input: the field and the rest are the
// pieces of the line that its header describes, also when the line and the rest are one object.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "net/ExtractField.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quarvo::fuzz::Check;
  FuzzedDataProvider input(data, size);
  const std::string start = input.ConsumeRandomLengthString(8), end = input.ConsumeRandomLengthString(8);
  const std::string line = input.ConsumeRemainingBytesAsString();
  std::string rest = "old", field = "old", shared = line, sharedField;
  quarvo::ExtractField(line, start, end, rest, field);
  quarvo::ExtractField(shared, start, end, shared, sharedField);
  Check(shared == rest && sharedField == field, "the line may be passed as the rest");

  const std::size_t at = start.empty() ? 0 : line.find(start);
  const std::string tail = at == std::string::npos ? std::string() : line.substr(at + start.size());
  if (end.empty()) {
    Check(field == tail && rest.empty(), "no end delimiter: the field is all of the tail");
  } else if (tail.find(end) == std::string::npos) {
    Check(field.empty() && rest == tail, "end delimiter missing: empty field, whole tail");
  } else {
    Check(field + end + rest == tail && (field + end).find(end) == field.size(),
          "the field ends at the first end delimiter of the tail");
  }
  return 0;
}
