// Message boxes answered by the test, files in memory that fail on request, and a scan harness with both.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "core/ScanHarness.h"
#include "store/IniProfile.h"
#include "store/IoError.h"
#include "store/Persistence.h"

namespace quarvo::testing {

struct FakeDialogs final : Dialogs {
  bool answer = true;                          // to every question
  std::vector<std::string> questions, errors;  // questions as "text|caption"
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    questions.push_back(text + "|" + caption);
    return answer;
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void ShowMessage(const std::string&, const std::string&) override {}
};

struct MemoryFiles final : FileStore {
  std::map<std::string, std::string> files;
  std::map<std::string, int> failRead, failReplace;  // a read or replace of the name throws this code
  int folders = 0;                                   // folders created
  std::function<void()> whileWriting;  // runs as the results file is written, before it is in place
  bool IsPresent(const std::string& name) override { return files.count(name) != 0; }
  std::string ReadAll(const std::string& name) override {
    if (failRead.count(name)) throw IoError(failRead[name]);
    return files.at(name);
  }
  void Replace(const std::string& name, const std::string& bytes) override {
    if (whileWriting && name == texts::kResultsFileName) whileWriting();
    if (failReplace.count(name)) throw IoError(failReplace[name]);
    files[name] = bytes;
  }
  void CreateFolder(const std::string&) override { ++folders; }
};

struct PersistenceHarness : ScanHarness {
  FakeDialogs dialogs;
  MemoryFiles files;
  IniProfile profile{files, "Quarvo.ini"};
  PersistenceContext persistence{context, dialogs, files, profile};
  std::string ListFile() { return files.files.at("Quarvo.txt"); }
};

// The rules every settings store keeps; `profile` starts without its file.
inline void ExpectProfileRules(ProfileStore& profile) {
  EXPECT_EQ(profile.GetString("set", "startip", "192.168.0.1"), "192.168.0.1");
  EXPECT_TRUE(profile.WriteString("set", "endip", "10.0.0.9"));
  EXPECT_EQ(profile.GetString("SET", "EndIP", "d"), "10.0.0.9");
  EXPECT_EQ(profile.GetString("set", "startip", "d"), "d");
  EXPECT_TRUE(profile.WriteString("set", "startip", ""));
  EXPECT_EQ(profile.GetString("set", "startip", "d"), "");  // present, though empty
  const std::string longValue = std::string(255, 'a') + std::string(45, 'b');
  EXPECT_TRUE(profile.WriteString("set", "startip", longValue));
  EXPECT_EQ(profile.GetString("set", "startip", "d"), longValue.substr(0, 255));
  EXPECT_EQ(profile.GetString("set", "none", longValue), longValue.substr(0, 255));
}

}  // namespace quarvo::testing
