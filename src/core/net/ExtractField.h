#pragma once

#include <string>

namespace quarvo {

// Cuts one field from a line of the results file. `rest` becomes what follows the start delimiter
// (the whole line when it is empty); `field` is rest up to the first end delimiter, and `rest` then
// continues after it. With an empty end delimiter the field is all of rest and rest becomes empty;
// with an end delimiter that does not occur the field is empty and rest stays whole.
// `line` and `rest` may be the same object.
void ExtractField(const std::string& line, const std::string& startDelimiter, const std::string& endDelimiter,
                  std::string& rest, std::string& field);

}  // namespace quarvo
