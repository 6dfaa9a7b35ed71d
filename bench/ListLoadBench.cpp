// Loading a list of a million rows, the most a list file may hold, through the platform's files as
// the menu's "载入" does: the time it takes and the process's peak memory.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "BenchParts.h"
#include "app/Persistence.h"
#include "scan/RunContext.h"

namespace {

using namespace quarvo;
using namespace quarvo::bench;

class NoWindow final : public WindowPort {
 public:
  std::string GetText(UiText) override { return ""; }
  void SetText(UiText, const std::string&) override {}
};

class ErrorsOut final : public Dialogs {
 public:
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  void ShowError(const std::string& text) override {
    std::fprintf(stderr, "load failed: %s\n", text.c_str());
  }
  void ShowMessage(const std::string&, const std::string&) override {}
};

class NoAnswer final : public ArpProbe {
 public:
  void Request(std::uint32_t, MacBytes&) override {}
};

constexpr int kRows = 1000000;

// A saved list of kRows machines, in the table's order as a save writes it, or in the reverse one.
void WriteList(const std::filesystem::path& path, bool reversed) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(kRows) * 40);
  char line[64];
  for (int i = 0; i < kRows; ++i) {
    const int n = reversed ? kRows - 1 - i : i;
    std::snprintf(line, sizeof line, "%07d\t10.%d.%d.%d\t02-00-00-%02X-%02X-%02X\r\n", n, n >> 16,
                  (n >> 8) & 255, n & 255, n >> 16, (n >> 8) & 255, n & 255);
    bytes += line;
  }
  std::ofstream(path, std::ios::binary) << bytes;
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

}  // namespace

int main() {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("quarvo-load-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  RunState state;
  ResultsTable table;
  NoWindow window;
  NoAnswer probe;
  RunContext run{state, table, window, SystemClock(), SystemThreads(), probe};
  ErrorsOut dialogs;
  PersistenceContext context{run, dialogs, SystemFiles(), SystemProfile(), (folder / "Quarvo.txt").string()};
  bool met = true;
  for (const bool reversed : {false, true}) {
    WriteList(folder / "Quarvo.txt", reversed);
    const auto start = Steady::now();
    LoadList(context);
    const double ms = MillisecondsSince(start);
    met = met && table.RowCount() == kRows;
    Report("native",
           reversed ? "load 1,000,000 rows, file in reverse order" : "load 1,000,000 rows (a saved list)",
           Figure("%.0f ms", ms).c_str(), reversed ? "" : "<= 2000 ms",
           table.RowCount() == kRows && ms <= 2000);
    if (!reversed) {
      const double peak = PeakMegabytes();
      Report("native", "  peak memory of the process (RSS)", Figure("%.0f MB", peak).c_str(), "< 300 MB",
             peak < 300);
    }
  }
  std::filesystem::remove_all(folder);
  return met ? 0 : 1;
}
