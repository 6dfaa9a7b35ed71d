#include "front/cli/RunSession.h"

#include <chrono>

#include "text/Cp936Texts.h"

namespace quarvo {

namespace {

// The command line's messages are in English; the errors that name no code of the platform's
// table say what is wrong with the list in words.
std::string EnglishErrorText(const IoError& error, const std::string& listFile) {
  if (const auto* tooLarge = dynamic_cast<const TooLargeError*>(&error)) {
    const char* unit = tooLarge->unit == TooLargeError::Unit::Bytes ? " bytes" : " lines";
    return "'" + listFile + "' is too large to load: " + std::to_string(tooLarge->found) + unit +
           ", over the limit of " + std::to_string(tooLarge->limit) + unit;
  }
  if (dynamic_cast<const NotPlainFileError*>(&error) != nullptr) {
    return "'" + listFile + "' is not a regular file (a pipe, a device or a socket): not read nor written";
  }
  return error.what();
}

}  // namespace

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
      persistence{run,       dialogs,
                  listFiles, profile,
                  listFile,  [listFile](const IoError& error) { return EnglishErrorText(error, listFile); }},
      files(persistence),
      commands{run, dialogs, files, wakeSocket, shell} {
  window.SetText(UiText::StartStop, texts::kStartCaption);
}

std::shared_ptr<RunSession> RunSession::Create(Clock& clock, ThreadLauncher& threads, WakeSocket& wakeSocket,
                                               FileStore& files, std::shared_ptr<ArpProbe> probe,
                                               const std::string& listFile) {
  return std::make_shared<RunSession>(clock, threads, wakeSocket, files, std::move(probe), listFile);
}

std::string RunSession::WaitForEnd(const std::string& runName, CliEnvironment& env,
                                   const std::function<void()>& tick, bool& wasInterrupted) {
  wasInterrupted = false;
  std::atomic<bool> stopped{false};
  // What the Stop button does while a run goes on. The handler itself is not called: should the
  // run end just now, it would read the start caption and begin a new scan.
  const auto stop = [this, &stopped] {
    stopped = true;
    StopRuns(run);
  };
  if (env.onInterrupt) env.onInterrupt(stop);
  std::string line;
  for (;;) {
    const std::optional<std::string> summary = window.WaitForSummary(runName, std::chrono::milliseconds(200));
    if (summary && state.StopRequested && !state.RunThreadAlive()) {
      line = *summary;
      break;
    }
    if (!stopped && env.interrupted && env.interrupted()) stop();
    if (tick) tick();
  }
  if (env.onInterrupt) env.onInterrupt(nullptr);
  wasInterrupted = stopped;
  return line;
}

}  // namespace quarvo
