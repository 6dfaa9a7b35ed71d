#include "front/cli/RunSession.h"

#include <chrono>

#include "text/Cp936Texts.h"

namespace quarvo {

void CountingProbe::Request(std::uint32_t networkOrderAddress, MacBytes& mac) {
  if (inner_) inner_->Request(networkOrderAddress, mac);
  if (mac != MacBytes{}) ++answered_;
  ++done_;
}

bool SessionThreads::Launch(std::function<void()> body) {
  const bool started = inner_.Launch([keep = owner_(), body = std::move(body)] {
    static_cast<void>(keep);
    body();
  });
  if (!started) ++refused_;
  return started;
}

RunSession::RunSession(Clock& clock, ThreadLauncher& systemThreads, WakeSocket& wakeSocket,
                       FileStore& listFiles, std::shared_ptr<ArpProbe> arp, const std::string& listFile)
    : probe(std::move(arp)),
      threads(systemThreads, [this] { return std::shared_ptr<void>(shared_from_this()); }),
      run{state, table, window, clock, threads, probe},
      persistence{run, dialogs, listFiles, profile, listFile},
      files(persistence),
      commands{run, dialogs, files, wakeSocket, shell} {
  window.SetText(UiText::StartStop, texts::kStartCaption);
}

std::shared_ptr<RunSession> RunSession::Create(Clock& clock, ThreadLauncher& threads, WakeSocket& wakeSocket,
                                               FileStore& files, std::shared_ptr<ArpProbe> probe,
                                               const std::string& listFile) {
  return std::make_shared<RunSession>(clock, threads, wakeSocket, files, std::move(probe), listFile);
}

std::string RunSession::WaitForEnd(const std::string& runName, const std::function<bool()>& interrupted,
                                   const std::function<void()>& tick, bool& wasInterrupted) {
  wasInterrupted = false;
  for (;;) {
    const std::optional<std::string> summary = window.WaitForSummary(runName, std::chrono::milliseconds(200));
    if (summary && state.StopRequested && !state.RunThreadAlive()) return *summary;
    if (!wasInterrupted && interrupted && interrupted()) {
      // What the Stop button does while a run goes on. The handler itself is not called: should
      // the run end just now, it would read the start caption and begin a new scan.
      wasInterrupted = true;
      state.StopRequested = true;
    }
    if (tick) tick();
  }
}

}  // namespace quarvo
