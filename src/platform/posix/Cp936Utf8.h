// The program's texts are code-page-936 bytes; terminals and toolkits on Linux want UTF-8.
#pragma once

#include <string>

namespace quarvo {

// The UTF-8 form of a code-page-936 text. A byte sequence that the code page does not map is shown
// as U+FFFD, one for each byte skipped, so that a hand-edited list never stops the output.
std::string Cp936ToUtf8(const std::string& text);

}  // namespace quarvo
