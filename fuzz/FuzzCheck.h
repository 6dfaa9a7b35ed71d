// What every fuzzer needs: the input as a text, and a check that stops the run on a broken property.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// QUARVO_FUZZ_TEXT(text) { ... }: the fuzzer's entry, given the input as a std::string `text`.
#define QUARVO_FUZZ_TEXT(text)                                                        \
  static void FuzzText(const std::string& text);                                      \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    FuzzText(std::string(reinterpret_cast<const char*>(data), size));                 \
    return 0;                                                                         \
  }                                                                                   \
  static void FuzzText(const std::string& text)

namespace quarvo::fuzz {

constexpr const char* kHexDigits = "0123456789abcdefABCDEF";

// libFuzzer saves the input that made the program abort.
inline void Check(bool holds, const char* property) {
  if (!holds) std::fprintf(stderr, "property broken: %s\n", property), std::abort();
}

// Whether what() of a ConversionError names the text (as a C string: up to a zero byte).
template <class Error>
bool NamesText(const Error& error, const std::string& text) {
  return std::string(error.what()) == ("'" + text + "' is not a valid integer value").c_str();
}

}  // namespace quarvo::fuzz
