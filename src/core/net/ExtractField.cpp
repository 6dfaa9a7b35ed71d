#include "net/ExtractField.h"

namespace quarvo {

void ExtractField(const std::string& line, const std::string& startDelimiter, const std::string& endDelimiter,
                  std::string& rest, std::string& field) {
  // Work on copies: the caller passes its line variable as `rest`.
  std::string tail = line;
  if (!startDelimiter.empty()) {
    const std::size_t at = line.find(startDelimiter);
    tail = at == std::string::npos ? std::string() : line.substr(at + startDelimiter.size());
  }
  if (endDelimiter.empty()) {
    field = tail;
    rest.clear();
    return;
  }
  const std::size_t at = tail.find(endDelimiter);
  if (at == std::string::npos) {
    field.clear();
    rest = tail;
    return;
  }
  field = tail.substr(0, at);
  rest = tail.substr(at + endDelimiter.size());
}

}  // namespace quarvo
