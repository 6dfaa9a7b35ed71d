#include <gtest/gtest.h>

#include "front/qt/LocalRange.h"
#include "front/qt/RateSetting.h"
#include "platform/posix/Cp936Utf8.h"

namespace quarvo {
namespace {

TEST(Cp936Utf8, ConvertsBothWaysAndMarksWhatHasNoForm) {
  const struct {
    const char* cp936;
    const char* utf8;
  } both[] = {
      {"", ""},
      {"10.0.0.1", "10.0.0.1"},
      {"\xBF\xAA\xCA\xBC(&S)", "开始(&S)"},
      {"\xA1\xCC\xA1\xC1", "√×"},
      {"\x80", "€"},  // code page 936 has the euro sign at 0x80
  };
  for (const auto& c : both) {
    EXPECT_EQ(Cp936ToUtf8(c.cp936), c.utf8);
    EXPECT_EQ(Utf8ToCp936(c.utf8), c.cp936);
  }
  const struct {
    std::string from, to;
    bool toUtf8;
  } marked[] = {
      {"a\xFF"
       "b",
       "a\xEF\xBF\xBD"
       "b",
       true},                                                  // no such byte
      {"\xBF\xAA\xCA", "开\xEF\xBF\xBD", true},                // a character cut off at the end
      {std::string("x\0y", 3), std::string("x\0y", 3), true},  // a zero byte is kept
      {"a😀b", "a?b", false},                                   // no form in code page 936
      {"a\xC3(b", "a?(b", false},                              // malformed UTF-8
      {"\xE5\xBC", "??", false},                               // cut off
  };
  for (const auto& c : marked)
    EXPECT_EQ(c.toUtf8 ? Cp936ToUtf8(c.from) : Utf8ToCp936(c.from), c.to) << c.from;
}

TEST(LocalRange, DefaultRouteInterfaceAndTheHostsAroundAnAddress) {
  const char* const table =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
      "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
      "eth1\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
      "eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
      "down0\t00000000\t0100000A\t0002\t0\t0\t1\t00000000\t0\t0\t0\n"
      "junk\n";
  EXPECT_EQ(DefaultRouteInterface(table), "eth0");  // the lowest metric of the default routes that are up
  EXPECT_EQ(DefaultRouteInterface("Iface\tDestination\n"), "");

  const struct {
    std::uint32_t address;
    int prefix;
    const char *first, *last;
  } ranges[] = {
      {0xC0A8012A, 24, "192.168.1.1", "192.168.1.254"},
      {0x0A000105, 8, "10.0.1.1", "10.0.1.254"},  // a wide network: the /24 around the address
      {0xC0A80142, 26, "192.168.1.65", "192.168.1.126"},
      {0xC0A80101, 31, "192.168.1.0", "192.168.1.1"},
      {0xC0A80101, 32, "192.168.1.1", "192.168.1.1"},
  };
  for (const auto& c : ranges) {
    const AddressRange range = RangeAround(c.address, c.prefix);
    EXPECT_EQ(range.first, c.first) << c.prefix;
    EXPECT_EQ(range.last, c.last) << c.prefix;
  }
}

TEST(RateSetting, AWholeNumberInRangeCapsTheWindowsScansAnythingElseIsNoCap) {
  struct OneKey final : ProfileStore {
    std::string value;
    bool present = false;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& fallback) override {
      return present && section == "set" && key == "rate" ? value : fallback;
    }
    bool WriteString(const std::string&, const std::string&, const std::string&) override { return false; }
  } profile;
  EXPECT_EQ(RateSetting(profile), 0u) << "absent by default";
  const struct {
    const char* value;
    std::uint32_t rate;
  } cases[] = {{"15", 15}, {" 15 ", 15}, {"1", 1},      {"100000", 100000}, {"", 0},
               {"0", 0},   {"-5", 0},    {"100001", 0}, {"fast", 0},        {"15/s", 0}};
  profile.present = true;
  for (const auto& c : cases) {
    profile.value = c.value;
    EXPECT_EQ(RateSetting(profile), c.rate) << "'" << c.value << "'";
  }
}

}  // namespace
}  // namespace quarvo
