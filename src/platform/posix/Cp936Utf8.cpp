#include "platform/posix/Cp936Utf8.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace quarvo {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// One conversion descriptor per call: a descriptor keeps state and may not be shared between threads.
class Converter {
 public:
  Converter() : cd_(iconv_open("UTF-8", "CP936")) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv: no CP936 converter");
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  ~Converter() { iconv_close(cd_); }
  iconv_t Get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

std::string Cp936ToUtf8(const std::string& text) {
  // Plain ASCII reads the same in both; most cells (addresses, MACs, numbers) are.
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return text;
  }
  Converter converter;
  std::string in = text;
  std::string out;
  char* from = in.data();
  std::size_t left = in.size();
  char buffer[256];
  while (left > 0) {
    char* to = buffer;
    std::size_t room = sizeof buffer;
    const std::size_t done = iconv(converter.Get(), &from, &left, &to, &room);
    out.append(buffer, static_cast<std::size_t>(to - buffer));
    if (done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ or EINVAL (a lead byte at the end): skip one byte and go on.
    out += kReplacement;
    ++from;
    --left;
  }
  return out;
}

}  // namespace quarvo
