#include "scan/ScanRun.h"

#include <mutex>

#include "net/AddressForms.h"
#include "net/Ipv4Text.h"
#include "scan/RunSummary.h"
#include "text/Cp936Texts.h"
#include "text/TextHelpers.h"

namespace quarvo {

namespace {

// One scan's lock and plan. Every worker holds a reference; the last one to let go destroys the
// lock, so no worker can ever use a lock that another has destroyed.
struct ScanSession {
  ScanPlan plan;
  std::mutex resultsLock;
};

struct ParsedAddress {
  std::uint32_t network = 0;
  std::uint32_t host = 0;
  std::string dotted;
};

// Parses a box by the Berkeley rules; false when the parser refuses it.
bool ReadAddressBox(WindowPort& window, UiText box, ParsedAddress& out) {
  const std::uint32_t value = ParseBerkeleyAddress(TrimText(window.GetText(box)));
  if (value == kAddressNone) return false;
  const std::string hex = AddressHex(value);
  out.network = value;
  out.host = static_cast<std::uint32_t>(SwapHexBytes(hex));
  out.dotted = HexToDotted(hex);
  return true;
}

void ReturnToIdle(RunContext& context) {
  context.state.StopRequested = true;
  context.window.SetText(UiText::StartStop, texts::kStartCaption);
}

// The scan's end, on its last thread: the summary, then the scan no longer counts as a live run.
void EndScan(RunContext& context, std::shared_ptr<ScanSession>& session) {
  session.reset();  // the scan's lock goes with it
  ShowRunSummary(context, texts::kRunScan, 0);
  context.state.LiveRuns.fetch_sub(1);
}

void FinishWorker(RunContext& context, std::shared_ptr<ScanSession>& session) {
  if (context.state.LiveThreads.fetch_sub(1) == 1) EndScan(context, session);
}

void ScanWorker(RunContext& context, std::shared_ptr<ScanSession> session, std::uint32_t index) {
  const ScanPlan& plan = session->plan;
  const std::uint32_t share = WorkerShare(plan, index);
  for (std::uint32_t r = 0; r < share; ++r) {
    if (context.state.StopRequested) break;
    const std::uint32_t offset = r * plan.threadCount + index - 1;
    const std::uint32_t host = plan.firstHost + offset;
    const auto network = static_cast<std::uint32_t>(SwapHexBytes(AddressHex(host)));
    const std::string dotted = HexToDotted(AddressHex(network));
    const std::string mac = ArpLookup(context.arp, network);
    // A probe that comes back empty after a Stop may have been cut short by it: that is no answer,
    // and an existing row keeps its status rather than read "×" for a machine nobody finished asking.
    if (mac.empty() && context.state.StopRequested) break;

    std::lock_guard<std::mutex> lock(session->resultsLock);
    context.window.SetText(UiText::MainCaption, dotted);
    // The machine number is the last octet of the first address plus the offset; numbers past
    // 2^31 wrap as 32-bit integers do.
    const auto number = static_cast<std::int32_t>(static_cast<std::uint32_t>(plan.numberBase) + offset + 1);
    MergeAnswer(context.table, context.state.ListChanged, FormatMachineNumber(number, plan.numberDigits),
                dotted, mac, index);
  }
  FinishWorker(context, session);
}

// Starts the workers one after another with no waiting; nothing ever joins them.
void LaunchWorkers(RunContext& context, std::shared_ptr<ScanSession> session) {
  const std::uint32_t threadCount = session->plan.threadCount;
  for (std::uint32_t index = 1; index <= threadCount; ++index) {
    if (context.threads.Launch([&context, session, index] { ScanWorker(context, session, index); })) continue;
    // No more threads can be had: the workers not started are not counted, so that the last worker
    // that did run ends the scan; when none is left running, the scan ends here.
    const std::uint32_t missing = threadCount - index + 1;
    std::uint32_t unprobed = 0;
    for (std::uint32_t left = index; left <= threadCount; ++left)
      unprobed += WorkerShare(session->plan, left);
    context.state.UnprobedAddresses = unprobed;
    if (context.state.LiveThreads.fetch_sub(missing) == missing) EndScan(context, session);
    return;
  }
}

}  // namespace

std::uint32_t WorkerCount(std::uint32_t requested, std::uint32_t ipCount) {
  std::uint32_t count = requested;
  if (ipCount < count || count == 0) count = ipCount;
  if (count > 1000) count = 800;
  return count;
}

std::uint32_t WorkerShare(const ScanPlan& plan, std::uint32_t index) {
  const std::uint32_t q = plan.ipCount / plan.threadCount;
  const std::uint32_t m = plan.ipCount % plan.threadCount;
  return q + (m >= index ? 1u : 0u);
}

void MergeAnswer(ResultsTable& table, std::atomic<bool>& listChanged, const std::string& number,
                 const std::string& dotted, const std::string& mac, std::uint32_t workerIndex) {
  table.Transact([&](ResultsTable::Rows& rows) {
    std::int32_t row = rows.FindRow(number);
    if (mac.empty()) {
      if (row >= 0) rows.SetCell(row, ColStatus, texts::kStatusSilent);
      return;
    }
    if (row < 0) {
      listChanged = true;
      row = rows.AddRow(number);
      rows.SetCell(row, ColIp, dotted);
      rows.SetCell(row, ColMac, mac);
      rows.SetCell(row, ColThread, DecimalText(workerIndex));
      rows.SetCell(row, ColChange, texts::kChangeNew);
    } else if (rows.GetCell(row, ColMac) != mac) {
      listChanged = true;
      rows.SetCell(row, ColMac, mac);
      rows.SetCell(row, ColChange, texts::kChangeYes);
    }
    rows.SetCell(row, ColStatus, texts::kStatusAnswered);
  });
}

ScanStart StartScan(RunContext& context) {
  RunState& state = context.state;
  WindowPort& window = context.window;
  state.StopRequested = false;
  window.SetText(UiText::StartStop, texts::kStopCaption);

  ParsedAddress start;
  ParsedAddress end;
  if (!ReadAddressBox(window, UiText::StartIp, start)) {
    ReturnToIdle(context);
    return ScanStart::StartAddressRefused;
  }
  if (!ReadAddressBox(window, UiText::EndIp, end)) {
    ReturnToIdle(context);
    return ScanStart::EndAddressRefused;
  }
  window.SetText(UiText::StartIp, start.dotted);
  window.SetText(UiText::EndIp, end.dotted);

  ScanPlan plan;
  const ParsedAddress& first = start.host < end.host ? start : end;
  const ParsedAddress& last = start.host < end.host ? end : start;
  plan.ipCount = last.host - first.host + 1;
  plan.firstIp = first.network;
  plan.firstHost = first.host;
  window.SetText(UiText::Direction, start.host < end.host ? texts::kDirectionUp : texts::kDirectionDown);

  std::uint32_t requested = 0;
  try {
    requested = static_cast<std::uint32_t>(ParseInt(window.GetText(UiText::Threads)));
  } catch (const ConversionError&) {
    ReturnToIdle(context);
    throw;
  }
  plan.numberBase = LeadHexByte(AddressHex(plan.firstIp)) - 1;
  plan.numberDigits = static_cast<std::uint32_t>(DecimalText(plan.ipCount).size());
  if (plan.numberDigits > 3) plan.numberDigits = 3;
  plan.threadCount = WorkerCount(requested, plan.ipCount);

  state.FirstIp = plan.firstIp;
  state.IpCount = plan.ipCount;
  state.NumberBase = plan.numberBase;
  state.NumberDigits = plan.numberDigits;
  state.ThreadCount = plan.threadCount;

  // The probe takes the machine's interfaces afresh for this scan and forgets an earlier Stop.
  context.arp.BeginScan(plan.firstIp, plan.ipCount);
  auto session = std::make_shared<ScanSession>();
  session->plan = plan;
  state.LiveRuns.fetch_add(1);
  state.LiveThreads = plan.threadCount;
  state.UnprobedAddresses = 0;
  state.RunStartTick = context.clock.TickCount();
  // The workers are started from a thread of their own, so that the window goes on answering while
  // a thousand threads are created, which takes seconds on a busy system. When not even that thread
  // can be had, they are started here.
  if (!context.threads.Launch([&context, session] { LaunchWorkers(context, session); })) {
    LaunchWorkers(context, session);
  }
  return ScanStart::Started;
}

}  // namespace quarvo
