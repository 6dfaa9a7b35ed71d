#include "platform/posix/Cp936Utf8.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace quarvo {

namespace {

// One conversion descriptor per thread and direction: opening one costs far more than a short text.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Usable()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Usable() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // `skip` tells how many bytes at a failing place form the one character that is replaced.
  std::string Convert(std::string_view text, std::string_view replacement,
                      std::size_t (*skip)(const char* at, std::size_t left)) {
    std::string out;
    out.reserve(text.size() * 2);
    if (!Usable()) {
      for (std::size_t i = 0; i < text.size(); ++i) out += replacement;
      return out;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
    // iconv takes a non-const input pointer but never writes through it.
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char buffer[1024];
    while (inLeft > 0) {
      char* outAt = buffer;
      std::size_t outLeft = sizeof buffer;
      const std::size_t done = iconv(cd_, &in, &inLeft, &outAt, &outLeft);
      out.append(buffer, static_cast<std::size_t>(outAt - buffer));
      if (done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
      // EILSEQ (no such character, or none in the target) or EINVAL (a sequence cut off at the
      // end): one replacement, and on with the next character.
      out += replacement;
      const std::size_t skipped = skip(in, inLeft);
      in += skipped;
      inLeft -= skipped;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::size_t OneByte(const char*, std::size_t) {
  return 1;
}

// A whole well-formed UTF-8 character (the target has no form for it), else its first byte.
std::size_t Utf8Character(const char* at, std::size_t left) {
  const auto lead = static_cast<unsigned char>(at[0]);
  const std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 1;
  if (length > left) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(at[i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

}  // namespace

std::string Cp936ToUtf8(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  thread_local Converter converter("UTF-8", "CP936");
  return converter.Convert(text, "\xEF\xBF\xBD", OneByte);
}

std::string Utf8ToCp936(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  thread_local Converter converter("CP936", "UTF-8");
  return converter.Convert(text, "?", Utf8Character);
}

}  // namespace quarvo
