// The program's texts are code-page-936 bytes; terminals and toolkits on Linux take UTF-8. These two
// conversions are the one place where a text crosses between them.
//
// Nothing is dropped silently in either direction. Towards UTF-8, each byte that starts no valid
// code-page-936 character becomes U+FFFD. Towards code page 936, a character that code page 936
// cannot hold becomes one "?" (as the Windows conversion does), and so does each byte of malformed
// UTF-8. A bad text thus shows where it is bad, and the rest converts as usual.
#pragma once

#include <string>
#include <string_view>

namespace quarvo {

std::string Cp936ToUtf8(std::string_view text);
std::string Utf8ToCp936(std::string_view text);

}  // namespace quarvo
