// What every fuzzer needs: the input as a text, and a check that stops the run on a broken property.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace quarvo::fuzz {

inline std::string Text(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// libFuzzer saves the input that made the program abort.
inline void Check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", property);
  std::abort();
}

// Whether what() of a ConversionError names the text (as a C string: up to a zero byte).
inline bool NamesText(const std::exception& error, const std::string& text) {
  return std::string(error.what()) == ("'" + text + "' is not a valid integer value").c_str();
}

}  // namespace quarvo::fuzz
