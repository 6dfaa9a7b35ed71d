// arp_engine_tool [--raw|--kernel] [--helper PATH] [--timeout MS] [--threads N] [--again] ADDRESS|FIRST-LAST...
// Opens an ARP engine, begins a scan over the addresses, asks every address on N threads and
// prints "IP<TAB>MAC" per answer in address order; the engine's name, its notes ("note: ...") and
// the time taken go to standard error. With --again it scans once more, with the same engine, for
// every line read from standard input, and ends each scan's answers with a line "--". Exit 1 when
// no engine opens, 2 for bad arguments. Run by the namespace tests only.
#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/ArpEngine.h"

using namespace quarvo;

namespace {

bool ParseAddress(const std::string& text, std::uint32_t& hostOrder) {
  in_addr address{};
  if (inet_pton(AF_INET, text.c_str(), &address) != 1) return false;
  hostOrder = ntohl(address.s_addr);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  ArpEngineOptions options;
  unsigned threads = 64;
  bool again = false;
  std::vector<std::uint32_t> addresses;
  options.report = [](const std::string& line) { std::fprintf(stderr, "note: %s\n", line.c_str()); };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--raw") {
      options.allowKernel = false;
    } else if (arg == "--kernel") {
      options.allowRaw = false;
    } else if (arg == "--helper" && i + 1 < argc) {
      options.helperPath = argv[++i];
    } else if (arg == "--again") {
      again = true;
    } else if ((arg == "--timeout" || arg == "--threads" || arg == "--rate") && i + 1 < argc) {
      const unsigned long value = std::strtoul(argv[++i], nullptr, 10);
      if (arg == "--timeout") options.timeoutMs = static_cast<std::uint32_t>(value);
      if (arg == "--threads") threads = static_cast<unsigned>(value);
      if (arg == "--rate") options.rateCap = static_cast<std::uint32_t>(value);
    } else {
      const std::size_t dash = arg.find('-');
      std::uint32_t first = 0, last = 0;
      if (!ParseAddress(arg.substr(0, dash), first) ||
          !ParseAddress(dash == std::string::npos ? arg : arg.substr(dash + 1), last) || last < first) {
        std::fprintf(stderr, "bad argument: %s\n", arg.c_str());
        return 2;
      }
      for (std::uint64_t a = first; a <= last; ++a) addresses.push_back(static_cast<std::uint32_t>(a));
    }
  }
  OpenedArpEngine engine = OpenArpEngine(options);
  if (engine.probe == nullptr) {
    std::fprintf(stderr, "%s\n", engine.error.c_str());
    return 1;
  }
  std::fprintf(stderr, "engine: %s\n", ArpEngineName(engine.kind));
  if (!engine.whyNotRaw.empty()) std::fprintf(stderr, "no raw: %s\n", engine.whyNotRaw.c_str());
  std::uint32_t low = ~0u, high = 0;
  for (std::uint32_t address : addresses) low = std::min(low, address), high = std::max(high, address);
  std::string line;
  do {
    if (!addresses.empty()) engine.probe->BeginScan(htonl(low), high - low + 1);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> answers(addresses.size());
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < std::max(1u, threads); ++t) {
      workers.emplace_back([&] {
        for (std::size_t i; (i = next++) < addresses.size();) {
          answers[i] = ArpLookup(*engine.probe, htonl(addresses[i]));
        }
      });
    }
    for (std::thread& worker : workers) worker.join();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
      if (answers[i].empty()) continue;
      in_addr address{htonl(addresses[i])};
      char text[INET_ADDRSTRLEN];
      inet_ntop(AF_INET, &address, text, sizeof text);
      std::printf("%s\t%s\n", text, answers[i].c_str());
    }
    if (again) std::printf("--\n");
    std::fflush(stdout);
    std::fprintf(
        stderr, "elapsed ms: %lld\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
  } while (again && std::getline(std::cin, line));
}
