#pragma once

#include "fakes/ScanFakes.h"
#include "scan/RunContext.h"
#include "scan/ScanRun.h"
#include "text/Cp936Texts.h"

namespace quarvo::testing {

// A scan with every seam faked; Run joins the workers before it returns.
struct ScanHarness {
  RunState state;
  ResultsTable table;
  FakeWindow window;
  FakeClock clock;
  JoiningThreads threads;
  ScriptedProbe probe;
  RunContext context{state, table, window, clock, threads, probe};

  ScanStart Run(const std::string& start, const std::string& end, const std::string& threadsText) {
    window.Put(UiText::StartIp, start);
    window.Put(UiText::EndIp, end);
    window.Put(UiText::Threads, threadsText);
    window.Put(UiText::StartStop, texts::kStartCaption);
    state.StopRequested = false;  // as the Start button's handler does
    const ScanStart result = StartScan(context);
    threads.JoinAll();
    return result;
  }

  std::vector<std::string> Summaries() {
    std::vector<std::string> lines;
    for (const auto& caption : window.History(UiText::MainCaption)) {
      if (caption.rfind(texts::kRunScan, 0) == 0) lines.push_back(caption);
    }
    return lines;
  }

  std::vector<std::string> Row(const std::string& number) {
    const std::int32_t row = table.FindRow(number);
    std::vector<std::string> cells;
    for (int column = ColIp; column < kColumnCount; ++column) cells.push_back(table.GetCell(row, column));
    return cells;
  }
};

}  // namespace quarvo::testing
