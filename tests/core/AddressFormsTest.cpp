#include <gtest/gtest.h>

#include "fakes/ScanFakes.h"
#include "net/AddressForms.h"
#include "net/ArpProbe.h"
#include "net/ExtractField.h"
#include "text/TextHelpers.h"

namespace quarvo {
namespace {

TEST(AddressForms, HexFormsOfAnAddress) {
  EXPECT_EQ(HexToDotted("0100A8C0"), "192.168.0.1");  // octets read from the end
  EXPECT_EQ(HexToDotted("ffffffff"), "255.255.255.255");
  EXPECT_THROW(HexToDotted("0100A8CG"), ConversionError);
  EXPECT_EQ(SwapHexBytes("0100A8C0"), -1062731775);
  EXPECT_EQ(SwapHexBytes("FFFFFF7F"), 0x7FFFFFFF);
  for (const char* hex : {"0100A8C0", "00000000", "80000001", "12345678"}) {
    const auto once = static_cast<std::uint32_t>(SwapHexBytes(hex));
    EXPECT_EQ(static_cast<std::uint32_t>(SwapHexBytes(AddressHex(once))),
              static_cast<std::uint32_t>(ParseInt(std::string("$") + hex)));
  }
  EXPECT_EQ(LeadHexByte("FF00000A"), 255);
}

TEST(AddressForms, FormatMachineNumberTable) {
  const struct {
    std::int32_t number;
    std::uint32_t digits;
    const char* text;
  } cases[] = {{0, 3, "000"},
               {5, 1, "5"},
               {100, 1, "100"},
               {256, 3, ".000"},
               {300, 3, ".044"},
               {511, 3, ".255"},
               {516, 3, "2.004"},
               {65537, 2, "256.01"},
               {16777471, 3, "65536.255"},
               {16777472, 3, "65537.000"}};
  for (const auto& c : cases) EXPECT_EQ(FormatMachineNumber(c.number, c.digits), c.text) << c.number;
}

TEST(ExtractField, CutsTheFieldsOfAResultsLine) {
  auto cut = [](std::string line) {
    std::string a, b, c;
    ExtractField(line, "", "\t", line, a);
    ExtractField(line, "", "\t", line, b);
    ExtractField(line, "", "", line, c);
    EXPECT_EQ(line, "");
    return std::vector<std::string>{a, b, c};
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(cut("A\tB\tC D"), (V{"A", "B", "C D"}));
  EXPECT_EQ(cut("A\tB"), (V{"A", "", "B"}));
  EXPECT_EQ(cut("no tab"), (V{"", "", "no tab"}));
  EXPECT_EQ(cut("A\tB\tC\tD\t"), (V{"A", "B", "C\tD\t"}));
  EXPECT_EQ(cut("\t\t"), (V{"", "", ""}));
  std::string rest = "unchanged?", field;  // a start delimiter, and the rest kept apart
  ExtractField("key=value;more", "=", ";", rest, field);
  EXPECT_EQ(field + "|" + rest, "value|more");
}

TEST(ArpLookup, MacTextOrEmpty) {
  testing::ScriptedProbe probe;
  probe.Answer("10.0.0.2", {0x00, 0x0C, 0x1a, 0xff, 0x00, 0x5e});  // a zero first byte is no "none"
  EXPECT_EQ(ArpLookup(probe, testing::NetworkOrder("10.0.0.1")), "");
  EXPECT_EQ(probe.Requests().count(testing::NetworkOrder("10.0.0.1")), 1u);
  EXPECT_EQ(ArpLookup(probe, testing::NetworkOrder("10.0.0.2")), "00-0C-1A-FF-00-5E");
}

}  // namespace
}  // namespace quarvo
