// A scan over the range typed into the address boxes, on 1 to 1000 worker threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "scan/RunContext.h"

namespace quarvo {

enum class ScanStart {
  Started,              // the workers run; the last of them writes the summary line
  StartAddressRefused,  // the start box holds no address: nothing was scanned
  EndAddressRefused,    // the end box holds no address: nothing was scanned
};

// Reads the boxes, rewrites both addresses in canonical dotted form, sets the direction label and
// has the workers started by a thread of their own; returns at once. A refused start leaves the
// program idle (StopRequested set, button "开始(&S)"). A threads box that is no integer throws
// ConversionError, also after the program was returned to idle.
ScanStart StartScan(RunContext& context);

// The range and worker count of one scan, fixed before its first worker starts.
struct ScanPlan {
  std::uint32_t firstIp = 0;    // network order
  std::uint32_t firstHost = 0;  // host order
  std::uint32_t ipCount = 0;
  std::uint32_t threadCount = 0;
  std::int32_t numberBase = 0;
  std::uint32_t numberDigits = 0;
};

// The worker count the rules give for a threads box value and a range size.
std::uint32_t WorkerCount(std::uint32_t requested, std::uint32_t ipCount);

// How many addresses worker `index` (from 1) probes.
std::uint32_t WorkerShare(const ScanPlan& plan, std::uint32_t index);

// Merges one probe's answer into the table as one atomic step, so that no other thread's change of
// the table falls between finding the row and writing it. Sets listChanged, inside that step, when
// it adds a row or changes a row's MAC text.
void MergeAnswer(ResultsTable& table, std::atomic<bool>& listChanged, const std::string& number,
                 const std::string& dotted, const std::string& mac, std::uint32_t workerIndex);

}  // namespace quarvo
