#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "text/TextHelpers.h"

namespace quarvo {
namespace {

TEST(DecimalAndHexText, SignedUnsignedAndPaddedNeverCut) {
  EXPECT_EQ(DecimalText(-1), "-1");
  EXPECT_EQ(DecimalText(INT32_MIN), "-2147483648");
  EXPECT_EQ(DecimalText(UINT32_MAX), "4294967295");
  EXPECT_EQ(HexText(0x0100A8C0u, 8), "0100A8C0");
  EXPECT_EQ(HexText(0xABu, 1), "AB");
  EXPECT_EQ(HexText(0x5u, 2), "05");
  EXPECT_EQ(HexText(0xFFFFFFFFu, 2), "FFFFFFFF");
}

TEST(ParseInt, AcceptsDecimalAndHexForms) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"0", 0},    {"  42", 42}, {"+7", 7},    {"-1", -1},   {"007", 7},    {"$FFFFFFFF", -1}, {"$ff", 255},
      {"x10", 16}, {"X10", 16},  {"0x1f", 31}, {"0X1F", 31}, {"-$10", -16}, {"  -0x2", -2}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseInt(text), value) << text;
  EXPECT_EQ(ParseInt("2147483647"), INT32_MAX);
  EXPECT_EQ(ParseInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseInt("$80000000"), INT32_MIN);
}

TEST(ParseInt, RefusesEverythingElseNamingTheWholeText) {
  const char* malformed[] = {"",  " ",   "12 ", "1a",  "$",   "0x",   "x", "+",
                             "-", "\t5", "1.5", "$G1", "--1", "0x-1", "٣"};
  const char* outOfRange[] = {"2147483648", "-2147483649", "$123456789", "99999999999999999999"};
  std::vector<const char*> refused(std::begin(malformed), std::end(malformed));
  refused.insert(refused.end(), std::begin(outOfRange), std::end(outOfRange));
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
  EXPECT_EQ(TrimText("\x01"
                     "a b\x1F"),
            "a b");
  // Bytes of 128 and above are text (code-page-936 characters), never blanks.
  EXPECT_EQ(TrimText("\xA1\xA1x\xA1\xA1"), "\xA1\xA1x\xA1\xA1");
}

}  // namespace
}  // namespace quarvo
