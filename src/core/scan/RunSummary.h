#pragma once

#include <cstdint>
#include <string>

#include "scan/RunContext.h"

namespace quarvo {

// Ends a run (scan, wake or load): marks the program idle, gives the Start/Stop button its start
// caption back, stops the run clock and writes the summary line into the main window's caption:
// "<name>耗时: <ms> ms　IP: <count>/<rows>", and after a scan "　New: <rows found by scans>", where
// the count of a scan is the rows whose status is not "×".
void ShowRunSummary(RunContext& context, const std::string& runName, std::uint32_t count);

// The summary line itself.
std::string SummaryLine(const std::string& runName, std::uint32_t elapsedMs, std::uint32_t count,
                        std::uint32_t rowCount, bool withNew, std::uint32_t newCount);

}  // namespace quarvo
