// Message boxes owned by the main window; tests use a fake that answers from a script.
#pragma once

#include <string>

namespace quarvo {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Modal question with Yes and No (Yes the default) and the question icon; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
  // Modal error box with the error icon and one OK button, captioned with the program's name.
  virtual void ShowError(const std::string& text) = 0;
  // Modal box with one OK button and no icon.
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

}  // namespace quarvo
