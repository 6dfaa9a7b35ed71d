// Message boxes answered by the test, files in memory that fail on request, a scan harness with both,
// and the checks of the platform's files with one of their calls failing.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <thread>

#include "app/Persistence.h"
#include "core/ScanHarness.h"
#include "store/IniProfile.h"
#include "store/IoError.h"

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
  std::function<void()> whileReading;  // runs as a file is read, before its bytes are returned
  bool IsPresent(const std::string& name) override { return files.count(name) != 0; }
  bool readRunsOutOfMemory = false;
  std::string ReadAll(const std::string& name, std::size_t limit) override {
    if (whileReading) whileReading();
    if (readRunsOutOfMemory) throw std::bad_alloc();
    if (failRead.count(name)) throw IoError(failRead[name]);
    if (files.at(name).size() > limit)
      throw TooLargeError(TooLargeError::Unit::Bytes, files.at(name).size(), limit);
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

// A new folder of the test's own, the current directory while the object lives.
struct TempFolder {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("quarvo-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  TempFolder() {
    std::filesystem::create_directories(path);
    std::filesystem::current_path(path);
  }
  ~TempFolder() {
    std::filesystem::current_path(path.parent_path());
    std::filesystem::remove_all(path);
  }
};

// One call of the platform's files that fails, as the test's fakes of those calls name it.
struct FailingStep {
  std::string call;
  int nth;              // which of its calls within one operation fails
  unsigned long error;  // the errno or GetLastError value it fails with
  std::string ops;      // R, C: the save on request and on close show the message; L: the load shows
                        // it; l: the load does nothing (the file is taken to be absent)
  std::string message;
};

// The step failing during the operation under way; the fakes ask Hits of each call.
struct Injected {
  const FailingStep* step = nullptr;
  int seen = 0;
  bool Hits(const char* call) { return step != nullptr && step->call == call && ++seen == step->nth; }
};
inline Injected injected;

// With the results file of the current directory holding two rows and the table three, each
// operation of `step.ops` runs against `files` with the step failing: it shows the message and
// returns, and the table, the caption, ListChanged and the file's bytes stay as they were.
inline void ExpectFailingStepChangesNothing(FileStore& files, const FailingStep& step) {
  SCOPED_TRACE(step.call + " #" + std::to_string(step.nth) + " error " + std::to_string(step.error));
  PersistenceHarness h;
  PersistenceContext real{h.context, h.dialogs, files, h.profile};
  const std::string old = "1\ta\tb\r\n2\tc\td\r\n";
  files.Replace("Quarvo.txt", old);
  LoadList(real);
  h.table.AddRow("3");
  h.state.ListChanged = true;
  const auto table = [&h] {
    std::string cells;
    for (std::int32_t row = 0; row < h.table.RowCount(); ++row) {
      for (int column = 0; column < kColumnCount; ++column) cells += h.table.GetCell(row, column) + "|";
    }
    return cells;
  };
  const std::string before = table();
  const std::vector<std::string> captions = h.window.History(UiText::MainCaption);
  std::vector<std::string> shown;
  for (const char op : step.ops) {
    injected = {&step, 0};
    // On close the user is asked and says Yes; the list is not written, so the window stays open.
    const bool written = op == 'R' ? SaveListOnRequest(real) : op == 'C' && SaveOnClose(real);
    if (op == 'L' || op == 'l') LoadList(real);
    injected = {};
    EXPECT_FALSE(written) << op;
    if (op != 'l') shown.push_back(step.message);
  }
  EXPECT_EQ(h.dialogs.errors, shown);
  EXPECT_EQ(table(), before);
  EXPECT_EQ(h.window.History(UiText::MainCaption), captions);
  EXPECT_TRUE(h.state.ListChanged);
  std::ifstream file("Quarvo.txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), old);
  // No file of the attempt is left behind.
  for (const auto& entry : std::filesystem::directory_iterator("."))
    EXPECT_EQ(entry.path().filename(), "Quarvo.txt");
}

// Fifty saves of the list of the current folder at the same time, a reader reading it meanwhile:
// none fails, the reader only ever sees one save's bytes whole, and no file is left beside it.
inline void ExpectConcurrentSavesEachWinWhole(FileStore& files) {
  constexpr int kSaves = 50;
  constexpr std::size_t kSize = 256 * 1024;  // long enough for the saves to overlap
  files.Replace("Quarvo.txt", std::string(kSize, 'A'));
  std::atomic<int> failures{0}, torn{0};
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done) {
      try {
        const std::string bytes = files.ReadAll("Quarvo.txt", 2 * kSize);
        if (bytes.size() != kSize || bytes.find_first_not_of(bytes[0]) != std::string::npos) ++torn;
      } catch (const IoError& error) {
        ADD_FAILURE() << "read: " << error.what();
        ++failures;
      }
    }
  });
  std::vector<std::thread> savers;
  for (int i = 0; i < kSaves; ++i) {
    savers.emplace_back([&, i] {
      try {
        files.Replace("Quarvo.txt", std::string(kSize, static_cast<char>('B' + i)));
      } catch (const IoError& error) {
        ADD_FAILURE() << "save: " << error.what();
        ++failures;
      }
    });
  }
  for (std::thread& saver : savers) saver.join();
  done = true;
  reader.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(torn, 0);
  std::ifstream file("Quarvo.txt", std::ios::binary);
  const std::string last(std::istreambuf_iterator<char>(file), {});
  EXPECT_EQ(last.size(), kSize);
  EXPECT_EQ(last.find_first_not_of(last[0]), std::string::npos);
  for (const auto& entry : std::filesystem::directory_iterator("."))
    EXPECT_EQ(entry.path().filename(), "Quarvo.txt");
}

}  // namespace quarvo::testing
