// Texts read from a list file may hold any bytes. Before such a text reaches a terminal or a
// tab-separated line, its control bytes are written out as escapes, so that a cell can neither
// move the cursor, retitle the window, nor add a field or a line.
#pragma once

#include <string>
#include <string_view>

namespace quarvo {

// The text with "\t", "\r", "\n" for tab, CR and LF, "\x1b" for ESC and "\xNN" (two lower-case hex
// digits) for every other byte below 32 and for 127, and "\\" for a backslash, so that the result
// reads back unambiguously. Other bytes, those of multi-byte characters included, stay as they are.
std::string VisibleText(std::string_view text);

}  // namespace quarvo
