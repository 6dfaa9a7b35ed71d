// The window seam of the command line: the boxes hold the arguments, the caption is watched for
// the run's summary line, and message boxes become messages kept for standard error.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sys/Dialogs.h"
#include "sys/WindowPort.h"

namespace quarvo {

class TerminalWindow final : public WindowPort {
 public:
  std::string GetText(UiText control) override;
  void SetText(UiText control, const std::string& text) override;

  // The summary line of the named run ("扫描", "唤醒", "载入") once it was written; waits for it
  // at most `timeout`.
  std::optional<std::string> WaitForSummary(const std::string& runName, std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::condition_variable summaryWritten_;
  std::map<UiText, std::string> texts_;
  std::vector<std::string> summaries_;
};

// Questions are answered No (the command line never asks); errors and messages are kept, in the
// program's code page, for the command to report.
class TerminalDialogs final : public Dialogs {
 public:
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void ShowError(const std::string& text) override;
  void ShowMessage(const std::string& text, const std::string& caption) override;
  std::vector<std::string> Errors();

 private:
  std::mutex mutex_;
  std::vector<std::string> errors_;
};

}  // namespace quarvo
