// File names between the program's CP936 texts and the platform's wide-character file functions.
#pragma once

#include <string>

namespace quarvo {

// The UTF-16 form of a CP936 name; false when the bytes are no valid CP936 text.
bool WideName(const std::string& name, std::wstring& wide);

// The CP936 form of a UTF-16 name; false when a character has no CP936 form.
bool NarrowName(const std::wstring& wide, std::string& name);

}  // namespace quarvo
