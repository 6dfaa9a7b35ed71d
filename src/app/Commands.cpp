#include "app/Commands.h"

#include "scan/ScanRun.h"
#include "text/Cipher.h"
#include "text/Cp936Texts.h"
#include "text/EncipheredTexts.h"
#include "text/TextHelpers.h"
#include "wake/WakeRun.h"

namespace quarvo {

void StopRuns(RunContext& run) {
  run.state.StopRequested = true;
  run.arp.Cancel();
}

bool StartStopClickStarts(CommandContext& context) {
  RunContext& run = context.run;
  // A list load ends its run with the start caption even while a stopped scan's last workers or a
  // wake thread in its pause are still alive. No new scan starts before they are done: it would
  // clear the stop flag they obey, and their closing summary would stop it.
  return run.window.GetText(UiText::StartStop) == texts::kStartCaption && !run.state.RunThreadAlive();
}

void OnStartStopClick(CommandContext& context) {
  RunContext& run = context.run;
  if (!StartStopClickStarts(context)) {
    StopRuns(run);
    return;
  }
  run.window.SetText(UiText::MainCaption, texts::kInitialising);
  run.state.StopRequested = false;
  // A refused start leaves the program idle; the caption says why nothing was scanned.
  try {
    switch (StartScan(run)) {
      case ScanStart::Started:
        break;
      case ScanStart::StartAddressRefused:
        run.window.SetText(UiText::MainCaption, texts::kStartAddressRefused);
        break;
      case ScanStart::EndAddressRefused:
        run.window.SetText(UiText::MainCaption, texts::kEndAddressRefused);
        break;
    }
  } catch (const ConversionError& error) {
    run.window.SetText(UiText::MainCaption, texts::kThreadsRefused);
    context.dialogs.ShowError(error.what());
  }
}

void OnClearClick(CommandContext& context) {
  context.run.table.ClearRows();
}

void OnListMouse(CommandContext& context, bool rightButton) {
  if (rightButton) context.shell.ShowListMenuAtCursor();
}

void OnListMenu(CommandContext& context, ListMenuItem item) {
  ResultsTable& table = context.run.table;
  switch (item) {
    case kMenuAboutItem:
      ShowAbout(context);
      break;
    case kMenuWakeItem:
      // Starts only while no run is active and a row is selected.
      StartWakeRun(context.run, context.wakeSocket);
      break;
    case kMenuSaveItem:
      context.files.Save();
      break;
    case kMenuLoadItem:
      context.files.Load();
      break;
    case kMenuDeleteItem:
      // One step under the table's lock: a worker adding a row in between would move an unselected
      // row to the index just found.
      table.Transact([](ResultsTable::Rows& rows) {
        for (std::int32_t row = rows.FirstSelected(); row >= 0; row = rows.FirstSelected())
          rows.DeleteRow(row);
      });
      break;
    case kMenuExitItem:
      context.shell.PostCloseRequest();
      break;
  }
}

bool OnFormMessage(CommandContext& context, FormMessage message) {
  if (message == kCloseMessage) {
    StopRuns(context.run);
    return !context.files.SaveOnClose();
  }
  if (message == kHelpMessage) ShowAbout(context);
  return false;
}

std::string AboutBoxText() {
  return DecipherText(texts::kAboutTextHex) + texts::kHelpText;
}

void ShowAbout(CommandContext& context) {
  context.dialogs.ShowMessage(AboutBoxText(), texts::kAboutCaption);
}

}  // namespace quarvo
