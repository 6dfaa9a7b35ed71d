// The handlers that turn the user's clicks, menu commands and window messages into operations.
// They run on the user-interface thread and return quickly: scans and wake runs go on in threads.
#pragma once

#include <string>

#include "net/WakeSocket.h"
#include "scan/RunContext.h"
#include "sys/Dialogs.h"

namespace quarvo {

// The results-file commands as the handlers use them.
class ListFiles {
 public:
  virtual ~ListFiles() = default;
  virtual void Save() = 0;  // menu "保存": settings and results file, no question
  virtual void Load() = 0;  // menu "载入": the results file into the table
  // The window is closing: settings, then (perhaps after asking) the results file. False when the
  // window must stay open because the list the user wanted saved could not be written.
  virtual bool SaveOnClose() = 0;
};

// What the handlers need of the window besides texts and message boxes.
class Shell {
 public:
  virtual ~Shell() = default;
  // Opens the list's popup menu at the mouse pointer; nothing when the pointer cannot be read.
  virtual void ShowListMenuAtCursor() = 0;
  // Asks the main window to close, as its close box does.
  virtual void PostCloseRequest() = 0;
};

struct CommandContext {
  RunContext& run;
  Dialogs& dialogs;
  ListFiles& files;
  WakeSocket& wakeSocket;
  Shell& shell;
};

// The list menu's commands. Each front end maps its own menu items (and separators) to these.
enum ListMenuItem : int {
  kMenuAboutItem,
  kMenuWakeItem,
  kMenuSaveItem,
  kMenuLoadItem,
  kMenuDeleteItem,
  kMenuExitItem
};

// What the main window's hook is told of: a close request (the close box, the window menu, "退出")
// and a help request (F1).
enum FormMessage : int { kCloseMessage, kHelpMessage };

// What Stop, Ctrl-C and closing the window do to a scan or wake run: the stop flag is set, probes
// in flight end silent at once (where the platform can end them), and a wake pause ends.
void StopRuns(RunContext& run);
// "开始(&S)" starts a scan; any other caption only asks the running scan or wake run to stop, and so
// does "开始(&S)" while a thread of an earlier scan or wake run is still alive.
void OnStartStopClick(CommandContext& context);
// Whether a click on Start/Stop now would start a scan (rather than only ask for a stop).
bool StartStopClickStarts(CommandContext& context);
void OnClearClick(CommandContext& context);
// A right click on the list opens its menu at the pointer; a left click does nothing.
void OnListMouse(CommandContext& context, bool rightButton);
void OnListMenu(CommandContext& context, ListMenuItem item);
// The main window's hook. Returns true only to keep the window open after a failed closing save.
bool OnFormMessage(CommandContext& context, FormMessage message);
// The About box: the deciphered About text and the help text, captioned "关于".
void ShowAbout(CommandContext& context);
std::string AboutBoxText();

}  // namespace quarvo
