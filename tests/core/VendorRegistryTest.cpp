#include <gtest/gtest.h>

#include <map>

#include "vendor/VendorRegistry.h"

namespace quarvo {
namespace {

const std::string kFixtures = QUARVO_IEEE_FIXTURES;  // small files cut from the four registries

VendorAnswer Of(VendorNames& names, const char* mac) {
  return names.Lookup(std::string_view(mac));
}

std::string VendorOf(VendorNames& names, const char* mac) {
  const VendorAnswer answer = Of(names, mac);
  return answer.kind == VendorAnswer::Vendor ? answer.name : "";
}

TEST(VendorNames, TheLongestRegisteredPrefixNamesTheVendor) {
  VendorNames names({kFixtures});
  ASSERT_TRUE(names.Available());
  // 24-bit blocks (MA-L), also with quotes, doubled quotes and commas inside the fields.
  EXPECT_EQ(VendorOf(names, "00-22-72-01-02-03"), "American Micro-Fuel Device Corp.");
  EXPECT_EQ(VendorOf(names, "00:0c:29:aa:bb:cc"), "VMware, Inc.");
  EXPECT_EQ(VendorOf(names, "00-1E-FC-00-00-01"), "JSC \"MASSA-K\"");
  EXPECT_EQ(VendorOf(names, "A0-47-D7-00-00-01"), "Best IT World (India) Pvt Ltd");
  // 28-bit (MA-M) and 36-bit (MA-S, IAB) assignments inside the registration authority's blocks.
  EXPECT_EQ(VendorOf(names, "20-85-93-B1-22-33"), "IOG Products LLC");
  EXPECT_EQ(VendorOf(names, "20-85-93-D0-00-00"), "Shanghai Kenmyond Industrial Network Equipment Co.,Ltd");
  EXPECT_EQ(VendorOf(names, "70-B3-D5-F2-FF-FF"), "TELEPLATFORMS");
  EXPECT_EQ(VendorOf(names, "70-B3-D5-71-90-00"), "2M Technology");
  EXPECT_EQ(VendorOf(names, "00-50-C2-7D-50-01"), "DEUTA-WERKE GmbH");
  // A piece of such a block that nobody holds is unknown, not "IEEE Registration Authority".
  EXPECT_EQ(Of(names, "70-B3-D5-00-00-01").kind, VendorAnswer::Unknown);
  EXPECT_EQ(Of(names, "20-85-93-A0-00-01").kind, VendorAnswer::Unknown);
  // Malformed lines are skipped and take nothing with them: the rows after them still count.
  EXPECT_EQ(Of(names, "00-1B-21-00-00-01").kind, VendorAnswer::Unknown);  // a line cut short
  EXPECT_EQ(Of(names, "00-50-C2-CF-90-00").kind, VendorAnswer::Unknown);  // a quote never closed
  EXPECT_EQ(Of(names, "00-12-34-00-00-01").kind, VendorAnswer::Unknown);
  EXPECT_EQ(Of(names, "not a mac").kind, VendorAnswer::Unknown);
}

TEST(VendorNames, LocallyAdministeredAddressesSaySoWithoutAnyRegistry) {
  VendorNames names({"/nonexistent"});
  for (const char* mac :
       {"02-00-00-00-00-11", "DA-A1-19-00-00-01", "7E-00-00-00-00-01", "F6:00:00:00:00:01"}) {
    EXPECT_EQ(Of(names, mac).kind, VendorAnswer::Local) << mac;
  }
  EXPECT_EQ(Of(names, "00-22-72-01-02-03").kind, VendorAnswer::Unknown);
  EXPECT_FALSE(names.Available());
}

TEST(VendorNames, FirstFolderWithTheRegistriesWinsAndIsReadOnce) {
  std::map<std::string, std::string> files = {
      {"/fresh/oui.csv",
       "Registry,Assignment,Organization Name,Organization Address\r\n"
       "MA-L,002272,Renamed Corp.,Somewhere\r\n"},
      {"/shipped/oui.csv", "MA-L,002272,American Micro-Fuel Device Corp.,x\r\nMA-L,000C29,VMware,x\r\n"}};
  int reads = 0;
  VendorNames names({"/missing", "/fresh", "/shipped"},
                    [&](const std::string& path) -> std::optional<std::string> {
                      ++reads;
                      const auto found = files.find(path);
                      return found == files.end() ? std::nullopt : std::optional<std::string>(found->second);
                    });
  EXPECT_EQ(reads, 0);  // nothing is read before the first lookup
  EXPECT_EQ(VendorOf(names, "00-22-72-00-00-01"), "Renamed Corp.");
  EXPECT_EQ(Of(names, "00-0C-29-00-00-01").kind, VendorAnswer::Unknown);
  const int afterFirst = reads;
  for (int i = 0; i < 100; ++i) VendorOf(names, "00-22-72-00-00-01");
  EXPECT_EQ(reads, afterFirst);
}

}  // namespace
}  // namespace quarvo
