// The program keeps its texts as code-page-936 bytes; the screen gets them through the
// wide-character interface, converted explicitly, so that they show right whatever the system's
// ANSI code page is.
#pragma once

#include <string>

namespace quarvo {

std::wstring WideFromCp936(const std::string& text);
std::string Cp936FromWide(const std::wstring& text);

}  // namespace quarvo
