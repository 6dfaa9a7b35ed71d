#include <gtest/gtest.h>

#include "text/TextHelpers.h"

namespace quarvo {
namespace {

TEST(DecimalText, SignedAndUnsignedValues) {
  EXPECT_EQ(DecimalText(0), "0");
  EXPECT_EQ(DecimalText(-1), "-1");
  EXPECT_EQ(DecimalText(INT32_MIN), "-2147483648");
  EXPECT_EQ(DecimalText(UINT32_MAX), "4294967295");
  EXPECT_EQ(DecimalText(1000), "1000");
}

TEST(HexText, PadsButNeverCuts) {
  EXPECT_EQ(HexText(0x0100A8C0u, 8), "0100A8C0");
  EXPECT_EQ(HexText(0xABu, 2), "AB");
  EXPECT_EQ(HexText(0xABu, 1), "AB");
  EXPECT_EQ(HexText(0x5u, 2), "05");
  EXPECT_EQ(HexText(0xFFFFFFFFu, 2), "FFFFFFFF");
  EXPECT_EQ(HexText(0u, 8), "00000000");
}

struct ParseCase {
  const char* text;
  std::int32_t value;
};

TEST(ParseInt, AcceptsDecimalAndHexForms) {
  const ParseCase cases[] = {
      {"0", 0},           {"  42", 42},       {"+7", 7},           {"-1", -1},
      {"007", 7},         {"2147483647", INT32_MAX},               {"-2147483648", INT32_MIN},
      {"$FFFFFFFF", -1},  {"$ff", 255},       {"x10", 16},         {"X10", 16},
      {"0x1f", 31},       {"0X1F", 31},       {"-$10", -16},       {"$80000000", INT32_MIN},
      {"  -0x2", -2},     {"$00000001", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseInt(c.text), c.value) << c.text;
  }
}

TEST(ParseInt, RefusesEverythingElseNamingTheWholeText) {
  const char* refused[] = {"",    " ",   "12 ",     "1a",          "$",           "0x",  "x",
                           "+",   "-",   "\t5",     "2147483648",  "-2147483649", "1.5", "$123456789",
                           "$G1", "--1", "99999999999999999999", "0x-1", "٣"};
  for (const char* text : refused) {
    try {
      ParseInt(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const ConversionError& error) {
      EXPECT_EQ(std::string(error.what()), std::string("'") + text + "' is not a valid integer value");
    }
  }
}

TEST(TrimText, RemovesControlBytesAndBlanksOnly) {
  EXPECT_EQ(TrimText("  42\t"), "42");
  EXPECT_EQ(TrimText(" \t\r\n "), "");
  EXPECT_EQ(TrimText(""), "");
  EXPECT_EQ(TrimText("\x01" "a b\x1F"), "a b");
  // Bytes of 128 and above are text (code-page-936 characters), never blanks.
  EXPECT_EQ(TrimText("\xA1\xA1x\xA1\xA1"), "\xA1\xA1x\xA1\xA1");
}

}  // namespace
}  // namespace quarvo
