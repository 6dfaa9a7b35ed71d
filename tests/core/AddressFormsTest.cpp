#include <gtest/gtest.h>

#include "net/AddressForms.h"
#include "net/ArpProbe.h"
#include "net/ExtractField.h"
#include "text/TextHelpers.h"

namespace quarvo {
namespace {

TEST(AddressForms, HexToDottedReadsOctetsFromTheEnd) {
  EXPECT_EQ(HexToDotted("0100A8C0"), "192.168.0.1");
  EXPECT_EQ(HexToDotted("FF00000A"), "10.0.0.255");
  EXPECT_EQ(HexToDotted("00000000"), "0.0.0.0");
  EXPECT_EQ(HexToDotted("ffffffff"), "255.255.255.255");
  EXPECT_EQ(HexToDotted("000110AC"), "172.16.1.0");
  EXPECT_THROW(HexToDotted("0100A8CG"), ConversionError);
}

TEST(AddressForms, SwapHexBytesServesBothDirections) {
  EXPECT_EQ(SwapHexBytes("0100A8C0"), static_cast<std::int32_t>(0xC0A80001u));
  EXPECT_EQ(SwapHexBytes("0100A8C0"), -1062731775);
  EXPECT_EQ(SwapHexBytes("FFFFFF7F"), 0x7FFFFFFF);
  for (const char* hex : {"0100A8C0", "FFFFFF7F", "00000000", "80000001", "12345678"}) {
    const auto once = static_cast<std::uint32_t>(SwapHexBytes(hex));
    EXPECT_EQ(static_cast<std::uint32_t>(SwapHexBytes(AddressHex(once))),
              static_cast<std::uint32_t>(ParseInt(std::string("$") + hex)));
  }
  EXPECT_EQ(LeadHexByte("FF00000A"), 255);
  EXPECT_EQ(LeadHexByte("0100A8C0"), 1);
}

TEST(AddressForms, TheRoadPastAnOctetBoundary) {
  // The address after 192.168.0.255: the carry happens in the host-order sum.
  const auto host = static_cast<std::uint32_t>(SwapHexBytes(AddressHex(0xFF00A8C0u))) + 1;
  EXPECT_EQ(host, 0xC0A80100u);
  const auto network = static_cast<std::uint32_t>(SwapHexBytes(AddressHex(host)));
  EXPECT_EQ(network, 0x0001A8C0u);
  EXPECT_EQ(HexToDotted(AddressHex(network)), "192.168.1.0");
}

TEST(AddressForms, FormatMachineNumberTable) {
  const struct {
    std::int32_t number;
    std::uint32_t digits;
    const char* text;
  } cases[] = {
      {0, 3, "000"},      {5, 1, "5"},         {5, 2, "05"},         {42, 3, "042"},
      {100, 1, "100"},    {255, 3, "255"},     {256, 3, ".000"},     {261, 3, ".005"},
      {300, 3, ".044"},   {65535, 3, ".255"},  {65536, 3, "..000"},  {65537, 2, "..01"},
      {16777471, 3, "..255"},                  {16777472, 3, "000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatMachineNumber(c.number, c.digits), c.text) << c.number;
  }
}

TEST(ExtractField, CutsTheThreeFieldsOfAResultsLine) {
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
  EXPECT_EQ(cut(""), (V{"", "", ""}));
  EXPECT_EQ(cut("A\tB\tC\tD\t"), (V{"A", "B", "C\tD\t"}));
  EXPECT_EQ(cut("\t\t"), (V{"", "", ""}));
}

TEST(ExtractField, SeparateRestAndAStartDelimiter) {
  std::string rest = "unchanged?";
  std::string field;
  ExtractField("key=value;more", "=", ";", rest, field);
  EXPECT_EQ(field, "value");
  EXPECT_EQ(rest, "more");
}

class BufferProbe final : public ArpProbe {
 public:
  explicit BufferProbe(MacBytes answer) : answer_(answer) {}
  void Request(std::uint32_t address, MacBytes& mac) override {
    seen = address;
    mac = answer_;
  }
  std::uint32_t seen = 0;

 private:
  MacBytes answer_;
};

TEST(ArpLookup, MacTextOrEmpty) {
  BufferProbe none({0, 0, 0, 0, 0, 0});
  EXPECT_EQ(ArpLookup(none, 0x0100A8C0u), "");
  EXPECT_EQ(none.seen, 0x0100A8C0u);
  BufferProbe last({0, 0, 0, 0, 0, 1});
  EXPECT_EQ(ArpLookup(last, 1), "00-00-00-00-00-01");
  BufferProbe mixed({0xAB, 0x0C, 0x1a, 0xff, 0x00, 0x5e});
  EXPECT_EQ(ArpLookup(mixed, 1), "AB-0C-1A-FF-00-5E");
}

}  // namespace
}  // namespace quarvo
