#include "front/cli/ScanCommand.h"

#include <algorithm>
#include <memory>
#include <sstream>
#include <vector>

#include "front/cli/CommandLine.h"
#include "front/cli/NameColumns.h"
#include "front/cli/RunSession.h"
#include "front/cli/TableOutput.h"
#include "platform/posix/Cp936Utf8.h"
#include "text/Cp936Texts.h"
#include "text/TextHelpers.h"

namespace quarvo {

namespace {

constexpr int kWidestPrefix = 16;

struct ScanRange {
  std::string first, last;  // the address boxes' texts
  std::string label;        // said on standard error before the scan; empty for a typed range
};

// What went wrong, with the exit status that goes with it.
struct ScanFailure {
  int status;
  std::string message;
};

// The networks of the interfaces that have a link, each range once: a second address of an
// interface in its network, or two interfaces on one network (wired and wireless), give the same
// range. An interface without carrier (an idle bridge, an unplugged port) has nobody to answer.
std::vector<ScanRange> LocalnetRanges(CliEnvironment& env) {
  std::vector<ScanRange> ranges;
  std::vector<std::vector<std::string>> names;  // the interfaces of each range
  std::vector<std::string> networks;            // "10.77.0.0/24" of each range
  for (const AttachedNetwork& network : env.attachedNetworks()) {
    const std::uint32_t mask = network.prefixLength == 0 ? 0 : ~0u << (32 - network.prefixLength);
    const std::string cidr = DottedHost(network.address & mask) + "/" + std::to_string(network.prefixLength);
    if (!network.running) {
      env.err << "quarvo: skipping " << network.interfaceName << " " << cidr
              << ": it has no link (no carrier)\n";
      continue;
    }
    const HostRange range = LocalnetRange(network);
    const std::string first = DottedHost(range.first), last = DottedHost(range.last);
    std::size_t at = 0;
    while (at < ranges.size() && (ranges[at].first != first || ranges[at].last != last)) ++at;
    if (at == ranges.size()) {
      ranges.push_back({first, last, ""});
      names.emplace_back();
      networks.push_back(cidr);
    }
    if (std::find(names[at].begin(), names[at].end(), network.interfaceName) == names[at].end())
      names[at].push_back(network.interfaceName);
  }
  for (std::size_t at = 0; at < ranges.size(); ++at) {
    std::string label;
    for (const std::string& name : names[at]) label += (label.empty() ? "" : ", ") + name;
    ranges[at].label = label + " " + networks[at] + ": " + ranges[at].first + " - " + ranges[at].last;
  }
  if (ranges.empty())
    throw ScanFailure{kExitFailed, "no IPv4 network is attached to an interface that is up and has a link"};
  return ranges;
}

// Progress on a terminal: "done/total addresses, found, seconds" on one line that is rewritten.
class ProgressLine {
 public:
  ProgressLine(CliEnvironment& env, RunSession& session) : env_(env), session_(session) {}
  void Show() {
    if (!env_.errIsTerminal) return;
    const std::uint32_t elapsed = env_.clock.TickCount() - session_.state.RunStartTick;
    env_.err << "\r\033[K" << session_.probe.Done() << "/" << session_.state.IpCount << " addresses, "
             << session_.probe.Answered() << " found, " << elapsed / 1000 << "." << elapsed % 1000 / 100
             << " s" << std::flush;
  }
  void Clear() {
    if (env_.errIsTerminal) env_.err << "\r\033[K" << std::flush;
  }

 private:
  CliEnvironment& env_;
  RunSession& session_;
};

// Passes each machine that answers on to the host-name lookup, which runs beside the scan.
class NamingProbe final : public ArpProbe {
 public:
  NamingProbe(std::shared_ptr<ArpProbe> inner, HostNames& names) : inner_(std::move(inner)), names_(names) {}
  void Request(std::uint32_t networkOrderAddress, MacBytes& mac) override {
    inner_->Request(networkOrderAddress, mac);
    if (mac != MacBytes{}) names_.Submit(networkOrderAddress);
  }
  void BeginScan(std::uint32_t firstNetworkOrder, std::uint32_t count) override {
    inner_->BeginScan(firstNetworkOrder, count);
  }
  void Cancel() override { inner_->Cancel(); }

 private:
  std::shared_ptr<ArpProbe> inner_;
  HostNames& names_;
};

// What the user should know about the pace: said only when the network held it back.
std::string PaceNote(const arp::PaceReport& report) {
  if (!report.limited) return std::string();
  std::string note = "the network limited the pace to about " +
                     std::to_string(static_cast<long>(report.averageRate + 0.5)) + " ARP requests a second";
  if (report.lateAnswers > 0) note += " (" + std::to_string(report.lateAnswers) + " answers came too late)";
  return note;
}

// One scan of one range through the Start button's handler; returns the table and summary text
// for standard output (and the summary for standard error with --tsv).
std::string ScanOne(const ScanArguments& arguments, const ScanRange& range, std::shared_ptr<ArpProbe> engine,
                    arp::ArpPacer* pacer, CliEnvironment& env, HostNames* hostNames, bool& interrupted) {
  if (hostNames != nullptr) engine = std::make_shared<NamingProbe>(std::move(engine), *hostNames);
  auto session = RunSession::Create(env.clock, env.threads, env.wakeSocket, env.files, std::move(engine),
                                    arguments.listFile.value_or(texts::kResultsFileName));
  RunSession& s = *session;
  const auto failedWithErrors = [&s](int status) {
    std::string message;
    for (const std::string& error : s.dialogs.Errors())
      message += (message.empty() ? "" : "; ") + Cp936ToUtf8(error);
    return ScanFailure{status, message};
  };
  if (arguments.listFile) {
    LoadList(s.persistence);
    if (!s.dialogs.Errors().empty()) throw failedWithErrors(kExitFailed);
  }
  s.window.SetText(UiText::StartIp, range.first);
  s.window.SetText(UiText::EndIp, range.last);
  s.window.SetText(UiText::Threads, arguments.threads);
  OnStartStopClick(s.commands);
  const std::string caption = s.window.GetText(UiText::MainCaption);
  if (caption == texts::kThreadsRefused) throw failedWithErrors(kExitBadArguments);
  if (caption == texts::kStartAddressRefused || caption == texts::kEndAddressRefused) {
    throw ScanFailure{kExitBadArguments, Cp936ToUtf8(caption)};
  }

  ProgressLine progress(env, s);
  progress.Show();
  const std::string summary = Cp936ToUtf8(s.WaitForEnd(
      texts::kRunScan, env, [&progress] { progress.Show(); }, interrupted));
  progress.Clear();
  // Workers that could not be started leave their addresses unprobed; the window cannot tell, the
  // command line says so rather than list a part of the range as if it were all of it.
  if (!interrupted && s.probe.Done() != s.state.IpCount) {
    throw ScanFailure{kExitFailed, "only " + std::to_string(s.probe.Done()) + " of " +
                                       std::to_string(s.state.IpCount) +
                                       " addresses were probed: no more threads could be started"};
  }
  if (arguments.save && !SaveListOnRequest(s.persistence)) throw failedWithErrors(kExitFailed);

  const std::vector<CellRow> rows = Utf8Rows(s.table);
  const std::string pace = pacer != nullptr ? PaceNote(pacer->TakeReport()) : std::string();
  if (!pace.empty()) env.err << "quarvo: " << pace << "\n";
  if (arguments.tsv) {
    env.err << summary << "\n";
    return TsvLines(rows);
  }
  if (arguments.json) env.err << summary << "\n" << std::flush;  // the summary does not wait for names
  if (!arguments.json && !arguments.names) return AlignedTable(rows) + summary + "\n";
  if (hostNames != nullptr && !interrupted) hostNames->WaitAll();
  const std::vector<NameCells> names = RowNames(rows, env.vendors, hostNames);
  if (arguments.json) return JsonLines(rows, names);
  return AlignedTableWithNames(rows, names) + summary + "\n";
}

}  // namespace

std::string DottedHost(std::uint32_t host) {
  return std::to_string(host >> 24) + "." + std::to_string((host >> 16) & 0xFF) + "." +
         std::to_string((host >> 8) & 0xFF) + "." + std::to_string(host & 0xFF);
}

HostRange LocalnetRange(const AttachedNetwork& network) {
  const int prefix = std::clamp(network.prefixLength, 0, 32);
  const auto block = [&network](int bits) {
    const std::uint32_t mask = bits == 0 ? 0 : ~0u << (32 - bits);
    return HostRange{network.address & mask, (network.address & mask) | ~mask};
  };
  const HostRange whole = block(prefix);
  if (prefix >= 31) return whole;
  const HostRange cut = block(std::max(prefix, kWidestPrefix));
  return {std::max(cut.first, whole.first + 1), std::min(cut.last, whole.last - 1)};
}

int RunScanCommand(const ScanArguments& arguments, CliEnvironment& env) {
  std::string output;
  bool interrupted = false;
  try {
    const std::vector<ScanRange> ranges = arguments.localnet
                                              ? LocalnetRanges(env)
                                              : std::vector<ScanRange>{{arguments.first, arguments.last, ""}};
    if (arguments.listFile && ranges.size() > 1) {
      std::string names;
      for (const ScanRange& range : ranges) names += "\n  " + range.label;
      throw ScanFailure{kExitBadArguments, "--list keeps one range, and --localnet found " +
                                               std::to_string(ranges.size()) +
                                               " networks; give FIRST LAST instead:" + names};
    }
    ArpEngineOptions options;
    options.timeoutMs = arguments.timeoutMs;
    // On the thread that starts each scan, before its progress line.
    options.report = [&env](const std::string& line) { env.err << "quarvo: " << line << "\n" << std::flush; };
    options.rateCap = arguments.rate;
    OpenedArpEngine opened = env.openArpEngine(options);
    if (!opened.probe) throw ScanFailure{kExitFailed, opened.error};
    env.err << "quarvo: " << env.engineName(opened.kind) << " ARP engine\n";
    if (!opened.whyNotRaw.empty()) env.err << "quarvo: no raw ARP: " << opened.whyNotRaw << "\n";
    const std::shared_ptr<ArpProbe> engine(std::move(opened.probe));
    std::unique_ptr<HostNames> hostNames;
    if (arguments.names || arguments.json) {
      if (env.vendors == nullptr || !env.vendors->Available()) {
        env.err
            << "quarvo: no vendor names: the IEEE registries are missing (install the ieee-data package)\n";
      }
      if (env.hostNames) hostNames = env.hostNames();
    }
    if (opened.pacer != nullptr) opened.pacer->TakeReport();  // the scans' own reports start here
    // Machine numbers are unique within one range only: each network is scanned into a table of
    // its own and printed on its own.
    for (const ScanRange& range : ranges) {
      if (!range.label.empty()) env.err << "quarvo: scanning " << range.label << "\n";
      output += ScanOne(arguments, range, engine, opened.pacer.get(), env, hostNames.get(), interrupted);
      if (interrupted) break;
    }
  } catch (const ScanFailure& failure) {
    env.err << "quarvo: " << failure.message << "\n";
    return failure.status;
  }
  env.out << output << std::flush;
  return interrupted ? kExitInterrupted : kExitDone;
}

}  // namespace quarvo
