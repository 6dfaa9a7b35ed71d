#pragma once

#include <string>

namespace quarvo {

// The plain text of a text stored enciphered: each pair of hex digits, XORed with the next byte of
// the program's 8-byte key, gives one byte. A last unpaired digit is ignored; a pair that is not
// hexadecimal ends the text there. It never fails.
std::string DecipherText(const std::string& hex);

}  // namespace quarvo
