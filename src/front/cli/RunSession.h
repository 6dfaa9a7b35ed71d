// The program's parts for one run of the command line (scan, wake or list load), as the window
// holds them: run state, table, window seam, message boxes, list files and command handlers.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/Commands.h"
#include "app/Persistence.h"
#include "front/cli/CliEnvironment.h"
#include "front/cli/TerminalWindow.h"
#include "net/ArpProbe.h"

namespace quarvo {

// Counts the probes that returned and those that found a machine: the progress line and the check
// that every address of the range was probed.
class CountingProbe final : public ArpProbe {
 public:
  explicit CountingProbe(std::shared_ptr<ArpProbe> inner) : inner_(std::move(inner)) {}
  void Request(std::uint32_t networkOrderAddress, MacBytes& mac) override;
  void BeginScan(std::uint32_t firstNetworkOrder, std::uint32_t count) override {
    if (inner_) inner_->BeginScan(firstNetworkOrder, count);
  }
  void Cancel() override {
    if (inner_) inner_->Cancel();
  }
  std::uint32_t Done() const { return done_; }
  std::uint32_t Answered() const { return answered_; }

 private:
  std::shared_ptr<ArpProbe> inner_;  // null: nothing answers (a wake run probes nothing)
  std::atomic<std::uint32_t> done_{0};
  std::atomic<std::uint32_t> answered_{0};
};

// Threads of the system's launcher that hold the session while they run: nothing joins the scan's
// workers, and the last of them is still returning from its summary when the command goes on.
class SessionThreads final : public ThreadLauncher {
 public:
  SessionThreads(ThreadLauncher& inner, std::function<std::shared_ptr<void>()> owner)
      : inner_(inner), owner_(std::move(owner)) {}
  bool Launch(std::function<void()> body) override;
  int Refused() const { return refused_; }

 private:
  ThreadLauncher& inner_;
  std::function<std::shared_ptr<void>()> owner_;
  std::atomic<int> refused_{0};
};

// A settings store that keeps nothing: the command line writes no settings file.
class NoProfile final : public ProfileStore {
 public:
  std::string GetString(const std::string&, const std::string&, const std::string& defaultText) override {
    return defaultText;
  }
  bool WriteString(const std::string&, const std::string&, const std::string&) override { return true; }
};

struct RunSession : std::enable_shared_from_this<RunSession> {
  // `probe` may be null (a run that probes nothing); `listFile` is the results file's name.
  static std::shared_ptr<RunSession> Create(Clock& clock, ThreadLauncher& threads, WakeSocket& wakeSocket,
                                            FileStore& files, std::shared_ptr<ArpProbe> probe,
                                            const std::string& listFile);

  // Waits for the named run's summary line and returns it. While waiting, `tick` is called about
  // five times a second, and a Ctrl-C stops the run as the Stop button does, at once through the
  // environment's `onInterrupt`, else when `interrupted` is next looked at; `wasInterrupted` tells
  // whether that happened.
  std::string WaitForEnd(const std::string& runName, CliEnvironment& env, const std::function<void()>& tick,
                         bool& wasInterrupted);

  RunSession(Clock& clock, ThreadLauncher& threads, WakeSocket& wakeSocket, FileStore& files,
             std::shared_ptr<ArpProbe> probe, const std::string& listFile);

  class Files final : public ListFiles {
   public:
    explicit Files(PersistenceContext& context) : context_(context) {}
    void Save() override { SaveListOnRequest(context_); }
    void Load() override { LoadList(context_); }
    bool SaveOnClose() override { return quarvo::SaveOnClose(context_); }

   private:
    PersistenceContext& context_;
  };
  class NoShell final : public Shell {
   public:
    void ShowListMenuAtCursor() override {}
    void PostCloseRequest() override {}
  };

  RunState state;
  ResultsTable table;
  TerminalWindow window;
  TerminalDialogs dialogs;
  CountingProbe probe;
  SessionThreads threads;
  NoProfile profile;
  NoShell shell;
  RunContext run;
  PersistenceContext persistence;
  Files files;
  CommandContext commands;
};

}  // namespace quarvo
