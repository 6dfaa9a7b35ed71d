#include <gtest/gtest.h>

#include "ProfileRules.h"
#include "StoreFakes.h"
#include "store/IoError.h"
#include "store/LayeredProfile.h"

namespace quarvo {
namespace {

using testing::MemoryFiles;
using std::string_literals::operator""s;

TEST(IniProfile, KeepsTheProfileRules) {
  MemoryFiles files;
  IniProfile profile(files, "Quarvo.ini");
  testing::ExpectProfileRules(profile);
  EXPECT_EQ(files.files["Quarvo.ini"], "[set]\r\nendip=10.0.0.9\r\nstartip=test\r\n");
}

TEST(IniProfile, KeepsOtherBytesAndStoresOnlyWhatALineCanHold) {
  MemoryFiles files;
  files.files["p.ini"] = "; note\n[other]\nstartip=x\n\n[SET]\n startip = 1.2.3.4\nk=a=b\n\n[tail]\nz=1";
  IniProfile profile(files, "p.ini", "dir");
  EXPECT_EQ(profile.GetString("set", "startip", "d"), " 1.2.3.4");  // the value as stored
  EXPECT_EQ(profile.GetString("set", "k", "d"), "a=b");
  EXPECT_EQ(profile.GetString("set", "z", "d"), "d");
  EXPECT_TRUE(profile.WriteString("set", "startip", "5"));
  EXPECT_TRUE(profile.WriteString("set", "endip", "10\r\n[x]"));
  EXPECT_TRUE(profile.WriteString("new", "zero", "ab\0cd"s));
  EXPECT_EQ(files.files["p.ini"],
            "; note\n[other]\nstartip=x\n\n[SET]\nstartip=5\nk=a=b\nendip=10\r\n\n[tail]\nz=1\r\n"
            "[new]\r\nzero=ab\r\n");
  EXPECT_EQ(files.folders, (std::vector<std::string>{"dir", "dir", "dir"}));

  // A file that cannot be read gives the defaults and is never replaced.
  files.failRead["p.ini"] = io_code::kAccessDenied;
  EXPECT_EQ(profile.GetString("set", "startip", "d"), "d");
  EXPECT_FALSE(profile.WriteString("set", "startip", "6"));
  EXPECT_NE(files.files["p.ini"].find("startip=5"), std::string::npos);
}

TEST(LayeredProfile, WhatTheDefaultPlaceRefusesGoesToThePerUserPlace) {
  MemoryFiles files;
  files.files["main.ini"] = "[set]\r\nstartip=1.1.1.1\r\nendip=2.2.2.2\r\n";
  IniProfile main(files, "main.ini");
  IniProfile perUser(files, "user/Quarvo.ini", "user");
  LayeredProfile profile(main, perUser);
  EXPECT_EQ(profile.GetString("set", "startip", "d"), "1.1.1.1");

  files.failReplace["main.ini"] = io_code::kAccessDenied;
  EXPECT_TRUE(profile.WriteString("set", "startip", "3.3.3.3"));
  EXPECT_EQ(files.files["user/Quarvo.ini"], "[set]\r\nstartip=3.3.3.3\r\n");
  EXPECT_EQ(profile.GetString("set", "startip", "d"), "3.3.3.3");
  EXPECT_EQ(profile.GetString("set", "endip", "d"), "2.2.2.2");
  EXPECT_EQ(profile.GetString("set", "none", "d"), "d");

  // Once the default place takes writes again, the per-user copy follows it instead of hiding it.
  files.failReplace.clear();
  EXPECT_TRUE(profile.WriteString("set", "startip", "4.4.4.4"));
  EXPECT_TRUE(profile.WriteString("set", "endip", "5.5.5.5"));
  EXPECT_EQ(files.files["user/Quarvo.ini"], "[set]\r\nstartip=4.4.4.4\r\n");
  EXPECT_EQ(main.GetString("set", "startip", "d"), "4.4.4.4");
  EXPECT_EQ(profile.GetString("set", "endip", "d"), "5.5.5.5");

  files.failReplace = {{"main.ini", 5}, {"user/Quarvo.ini", 5}};
  EXPECT_FALSE(profile.WriteString("set", "endip", "6.6.6.6"));
}

}  // namespace
}  // namespace quarvo
