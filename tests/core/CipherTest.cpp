#include <gtest/gtest.h>

#include "text/Cipher.h"
#include "text/EncipheredTexts.h"

namespace quarvo {
namespace {

std::string Encipher(const std::string& plain) {
  // The key, recovered from the cipher itself: enciphering zero bytes gives the key bytes.
  const std::string key = DecipherText("0000000000000000");
  std::string hex;
  const char* digits = "0123456789ABCDEF";
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const auto byte = static_cast<unsigned char>(plain[i] ^ key[i % 8]);
    hex += digits[byte >> 4];
    hex += digits[byte & 0xF];
  }
  return hex;
}

TEST(DecipherText, LengthsPairsAndEarlyEnd) {
  EXPECT_EQ(DecipherText("A"), "");
  const std::string nine = "abcdefghi";  // the ninth byte uses the first key byte again
  const std::string hex = Encipher(nine);
  EXPECT_EQ(DecipherText(hex), nine);
  EXPECT_EQ(DecipherText(hex + "7"), nine);                                 // 2n + 1 digits: n bytes
  EXPECT_EQ(DecipherText(hex.substr(0, 6) + "ZZ" + hex.substr(8)), "abc");  // bad pair at place 4
  EXPECT_EQ(DecipherText(Encipher(std::string("\x00\xFF\x80", 3))), std::string("\x00\xFF\x80", 3));
  std::string lower = hex;
  for (char& c : lower) c = static_cast<char>(std::tolower(c));
  EXPECT_EQ(DecipherText(lower), nine);
}

TEST(DecipherText, StoredTextsDecipherToChineseTextOfTheProgram) {
  const std::string about = DecipherText(texts::kAboutTextHex);
  EXPECT_EQ(about.size() * 2, std::string(texts::kAboutTextHex).size());
  EXPECT_EQ(about.rfind("Quarvo 1.2", 0), 0u);
  EXPECT_EQ(about.substr(about.size() - 4), "\r\n\r\n");
  const std::string banner = DecipherText(texts::kListBannerHex);
  EXPECT_EQ(banner.size() * 2, std::string(texts::kListBannerHex).size());
  EXPECT_EQ(banner.substr(0, 2), "\xA3\xBA");  // the full-width colon
}

}  // namespace
}  // namespace quarvo
