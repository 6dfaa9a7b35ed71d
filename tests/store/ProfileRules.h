// The rules every settings store keeps, checked on the program's own file and on the platform's.
#pragma once

#include <gtest/gtest.h>

#include "store/ProfileStore.h"

namespace quarvo::testing {

// `profile` starts with no file.
inline void ExpectProfileRules(ProfileStore& profile) {
  EXPECT_EQ(profile.GetString("set", "startip", "192.168.0.1"), "192.168.0.1");
  EXPECT_TRUE(profile.WriteString("set", "endip", "10.0.0.9"));
  EXPECT_EQ(profile.GetString("set", "startip", "d"), "d");
  EXPECT_EQ(profile.GetString("set", "endip", "d"), "10.0.0.9");
  EXPECT_EQ(profile.GetString("SET", "EndIP", "d"), "10.0.0.9");
  EXPECT_EQ(profile.GetString("other", "endip", "d"), "d");

  EXPECT_TRUE(profile.WriteString("set", "startip", ""));
  EXPECT_EQ(profile.GetString("set", "startip", "d"), "");  // present, though empty
  EXPECT_TRUE(ProfileHasKey(profile, "set", "startip"));
  EXPECT_FALSE(ProfileHasKey(profile, "set", "none"));

  const std::string longValue = std::string(255, 'a') + std::string(45, 'b');
  EXPECT_TRUE(profile.WriteString("set", "startip", longValue));
  EXPECT_EQ(profile.GetString("set", "startip", "d"), longValue.substr(0, 255));
  EXPECT_EQ(profile.GetString("set", "none", longValue), longValue.substr(0, 255));
  EXPECT_TRUE(profile.WriteString("set", "startip", "test"));
  EXPECT_EQ(profile.GetString("set", "startip", "d"), "test");
  EXPECT_EQ(profile.GetString("set", "endip", "d"), "10.0.0.9");
}

}  // namespace quarvo::testing
