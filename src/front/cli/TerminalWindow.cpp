#include "front/cli/TerminalWindow.h"

#include "text/Cp936Texts.h"

namespace quarvo {

std::string TerminalWindow::GetText(UiText control) {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_[control];
}

void TerminalWindow::SetText(UiText control, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  texts_[control] = text;
  // Every run ends with "<run name>耗时: ..." in the caption; nothing else written there holds "耗时: ".
  if (control == UiText::MainCaption && text.find(texts::kSummaryElapsed) != std::string::npos) {
    summaries_.push_back(text);
    summaryWritten_.notify_all();
  }
}

std::optional<std::string> TerminalWindow::WaitForSummary(const std::string& runName,
                                                          std::chrono::milliseconds timeout) {
  const std::string prefix = runName + texts::kSummaryElapsed;
  std::optional<std::string> found;
  std::unique_lock<std::mutex> lock(mutex_);
  summaryWritten_.wait_for(lock, timeout, [&] {
    for (const std::string& line : summaries_) {
      if (line.compare(0, prefix.size(), prefix) == 0) found = line;
    }
    return found.has_value();
  });
  return found;
}

bool TerminalDialogs::AskYesNo(const std::string&, const std::string&) {
  return false;
}

void TerminalDialogs::ShowError(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  errors_.push_back(text);
}

void TerminalDialogs::ShowMessage(const std::string& text, const std::string&) {
  ShowError(text);
}

std::vector<std::string> TerminalDialogs::Errors() {
  std::lock_guard<std::mutex> lock(mutex_);
  return errors_;
}

}  // namespace quarvo
