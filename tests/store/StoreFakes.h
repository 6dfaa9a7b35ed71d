// Fakes for the persistence tests: message boxes that answer from the test, files in memory that
// fail on request, and a scan harness with both wired into a PersistenceContext.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/ScanHarness.h"
#include "store/FileStore.h"
#include "store/IniProfile.h"
#include "store/Persistence.h"
#include "sys/Dialogs.h"

namespace quarvo::testing {

class FakeDialogs final : public Dialogs {
 public:
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void ShowMessage(const std::string& text, const std::string&) override { messages.push_back(text); }

  bool answer = true;                  // the answer to every question
  std::vector<std::string> questions;  // "text|caption" of each question asked
  std::vector<std::string> errors, messages;
};

class MemoryFiles final : public FileStore {
 public:
  bool IsPresent(const std::string& name) override { return files.count(name) != 0; }
  std::string ReadAll(const std::string& name) override;
  void Replace(const std::string& name, const std::string& bytes) override;
  void CreateFolder(const std::string& name) override;

  std::map<std::string, std::string> files;
  std::vector<std::string> folders;
  // An IoError code that every read, or every replace, of that name fails with.
  std::map<std::string, int> failRead, failReplace;
  // Runs while a replace of the name writes, before the new bytes are in place.
  std::function<void(const std::string&)> whileReplacing;
};

// The code of the IoError that the step throws; 0 when it throws none.
int IoCodeOf(const std::function<void()>& step);

struct PersistenceHarness : ScanHarness {
  FakeDialogs dialogs;
  MemoryFiles files;
  IniProfile profile{files, "Quarvo.ini"};
  PersistenceContext persistence{context, dialogs, files, profile};

  std::string ListFile() { return files.files.count("Quarvo.txt") ? files.files["Quarvo.txt"] : "<none>"; }
};

}  // namespace quarvo::testing
