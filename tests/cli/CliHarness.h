// The command line run against scripted parts: a probe that answers from a script, files in memory,
// a socket that records packets, a fake clock, joined threads and captured output.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <sstream>

#include "fakes/ScanFakes.h"
#include "front/cli/CommandLine.h"
#include "store/StoreFakes.h"

namespace quarvo::testing {

// Keeps each packet; from packet `failFrom` (counted from 0) on, every send fails with `error`.
struct RecordingSocket final : WakeSocket {
  std::vector<std::vector<std::uint8_t>> packets;
  int failFrom = -1, error = ENETUNREACH, sends = 0;
  bool Startup() override { return true; }
  SocketHandle OpenDatagram() override { return 7; }
  bool AllowBroadcast(SocketHandle) override { return true; }
  bool SendTo(SocketHandle, const std::uint8_t* bytes, std::size_t size, std::uint32_t address,
              std::uint16_t port) override {
    EXPECT_EQ(address, 0xFFFFFFFFu);
    EXPECT_EQ(port, 9);
    if (failFrom >= 0 && sends++ >= failFrom) {
      errno = error;
      return false;
    }
    packets.emplace_back(bytes, bytes + size);
    return true;
  }
  void Close(SocketHandle) override {}
  void Cleanup() override {}
};

// The engine the command opens, answering through the harness's scripted probe.
struct ProbeHandle final : ArpProbe {
  std::shared_ptr<ScriptedProbe> probe;
  std::atomic<int>& cancels;
  std::atomic<int>& begins;
  ProbeHandle(std::shared_ptr<ScriptedProbe> p, std::atomic<int>& c, std::atomic<int>& b)
      : probe(std::move(p)), cancels(c), begins(b) {}
  void Request(std::uint32_t address, MacBytes& mac) override { probe->Request(address, mac); }
  void BeginScan(std::uint32_t, std::uint32_t) override { ++begins; }
  void Cancel() override { ++cancels; }
};

// Every answer comes after its worker gave up, and the engine's pacer hears of it.
struct LateHandle final : ArpProbe {
  std::shared_ptr<ScriptedProbe> probe;
  std::shared_ptr<arp::ArpPacer> pacer;
  LateHandle(std::shared_ptr<ScriptedProbe> p, std::shared_ptr<arp::ArpPacer> q)
      : probe(std::move(p)), pacer(std::move(q)) {}
  void Request(std::uint32_t address, MacBytes& mac) override {
    probe->Request(address, mac);
    const arp::PaceTime sent = pacer->PaceClock().Now();
    pacer->GaveUp(address, sent);
    pacer->Unclaimed(address, sent + std::chrono::milliseconds(900));
  }
};

struct CliHarness {
  JoiningThreads threads;  // first: joined last, after every part a thread may use is still there
  FakeClock clock;
  std::shared_ptr<ScriptedProbe> probe = std::make_shared<ScriptedProbe>();
  std::atomic<int> cancels{0};  // Cancel calls of the opened engine
  std::atomic<int> begins{0};   // and its BeginScan calls
  MemoryFiles files;
  RecordingSocket socket;
  std::ostringstream out, err;
  bool terminal = false;
  std::atomic<bool> interrupt{false};
  std::vector<AttachedNetwork> networks;
  std::string engineError;                   // when set, no engine opens and this is the reason
  ArpEngineOptions opened;                   // the options of the last opening
  std::shared_ptr<arp::ArpPacer> latePacer;  // when set, every answer comes too late

  CliEnvironment env{[this](const ArpEngineOptions& options) {
                       opened = options;
                       OpenedArpEngine engine;
                       engine.error = engineError;
                       if (engineError.empty())
                         engine.probe = std::make_unique<ProbeHandle>(probe, cancels, begins);
                       if (latePacer) engine.probe = std::make_unique<LateHandle>(probe, latePacer);
                       engine.pacer = latePacer;
                       return engine;
                     },
                     [this] { return networks; },
                     [](ArpEngineKind kind) { return kind == ArpEngineKind::Raw ? "raw" : "kernel"; },
                     socket,
                     files,
                     clock,
                     threads,
                     out,
                     err,
                     false,
                     [this] { return interrupt.load(); }};

  CliHarness() {
    env.onInterrupt = [this](std::function<void()> action) {
      std::lock_guard<std::mutex> lock(interruptMutex);
      interruptAction = std::move(action);
    };
  }

  // Ctrl-C, as the program's signal watcher passes it on.
  void Interrupt() {
    interrupt = true;
    std::lock_guard<std::mutex> lock(interruptMutex);
    if (interruptAction) interruptAction();
  }
  std::mutex interruptMutex;
  std::function<void()> interruptAction;

  int Run(const std::vector<std::string>& words) {
    out.str("");
    err.str("");
    env.errIsTerminal = terminal;
    const int status = RunCommandLine(words, env);
    threads.JoinAll();
    return status;
  }
};

}  // namespace quarvo::testing
