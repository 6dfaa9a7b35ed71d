// Texts of controls: code-page-936 bytes in the program, wide characters on the screen, and calls
// from any thread.
#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include <atomic>
#include <set>
#include <vector>

#include "UiTestSupport.h"
#include "text/Cp936Texts.h"
#include "ui/controls/WideText.h"

namespace quarvo::testing_ui {
namespace {

using TextTest = UiTest;

// The texts show right whatever the system's ANSI code page is, and read back byte for byte.
TEST_F(TextTest, ChineseTextsShowAsWideCharactersAndReadBackAsTheSameBytes) {
  ControlObject* edit = CreateEditBox(form);
  ControlObject* list = CreateReportList(form, LVS_REPORT, 0);
  AddColumn(list, texts::kListPanelCaption, Align::Center, 50);
  MenuObject* menu = CreateContextMenu(list, nullptr);
  AddMenuItem(menu, -1, texts::kRunWake, 0);
  SetControlText(form, texts::kMainCaption);
  CreateMissingWindows(app);

  const std::wstring mainCaption = L"Quarvo\u626B\u63CF-\u7F51\u7EDC\u5524\u9192 v1.2";
  EXPECT_EQ(WindowText(WindowHandle(form)), mainCaption);
  EXPECT_EQ(GetControlText(form), texts::kMainCaption);
  SetControlText(form, texts::kRangePanelCaption);
  EXPECT_EQ(GetControlText(form), texts::kRangePanelCaption);

  // Typed text comes back as code-page-936 bytes.
  SendMessageW(WindowHandle(edit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"\u5524\u9192 1"));
  EXPECT_EQ(GetControlText(edit), std::string(texts::kRunWake) + " 1");

  wchar_t buffer[64] = {};
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT;
  column.pszText = buffer;
  column.cchTextMax = 64;
  SendMessageW(WindowHandle(list), LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  EXPECT_STREQ(buffer, L"\u5217\u8868");
  GetMenuStringW(menu->handle, 0, buffer, 64, MF_BYPOSITION);
  EXPECT_STREQ(buffer, L"\u5524\u9192");
}

// Workers write the caption and read an edit box while the loop runs; every text read is one that
// was written, whole, and the window ends up showing the text stored last.
TEST_F(TextTest, TextCallsFromManyThreadsWhileTheLoopRuns) {
  ControlObject* edit = CreateEditBox(form);
  constexpr int kThreads = 8;
  constexpr int kRounds = 60;
  std::set<std::string> written;
  auto textOf = [](int thread, int round) {
    return std::string(texts::kRunScan) + " " + std::to_string(thread) + "/" + std::to_string(round) +
           std::string(static_cast<std::size_t>(round % 40), '#');
  };
  for (int t = 0; t < kThreads; ++t) {
    for (int r = 0; r < kRounds; ++r) written.insert(textOf(t, r));
  }
  std::atomic<int> torn{0};
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      while (WindowHandle(form) == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      for (int r = 0; r < kRounds; ++r) {
        SetControlText(form, textOf(t, r));
        SetControlText(edit, textOf(t, r));
        if (written.count(GetControlText(form)) == 0) ++torn;
        if (written.count(GetControlText(edit)) == 0) ++torn;
      }
      if (++finished == kThreads) PostCloseRequest(form);
    });
  }
  // The loop's own thread writes the same control meanwhile.
  form->MessageHook = [&](ControlMessage& message) {
    if (message.message == WM_SETTEXT && finished < kThreads) {
      SetControlText(edit, textOf(0, 0));
    }
    return false;
  };
  RunLoop();
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(torn, 0);
  const std::string stored = GetControlText(edit);  // the window is gone: the stored text
  EXPECT_EQ(written.count(stored), 1u) << stored;
}

TEST_F(TextTest, WindowShowsTheTextStoredLast) {
  ControlObject* label = CreateLabel(form, "");
  CreateMissingWindows(app);
  std::atomic<int> done{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([label, t, &done] {
      for (int r = 0; r < 100; ++r) SetControlText(label, std::to_string(t * 1000 + r));
      ++done;
    });
  }
  EXPECT_TRUE(PumpUntil([&] { return done == 4; }));
  for (auto& worker : workers) worker.join();
  std::lock_guard<std::mutex> lock(label->textLock);
  EXPECT_EQ(Cp936FromWide(WindowText(WindowHandle(label))), label->text);
}

// Tab moves no focus and an edit box does not take it as text; other characters go in.
TEST_F(TextTest, TabIsDiscarded) {
  ControlObject* first = CreateEditBox(form);
  ControlObject* second = CreateEditBox(form);
  // A multi-line edit box would take the Tab as text; a single-line one may ignore it anyway.
  SetWindowStyle(first, first->style | ES_MULTILINE | ES_WANTRETURN);
  SetControlText(first, "12");
  CenterOnScreen(form);
  CreateMissingWindows(app);
  ShowWindow(WindowHandle(form), SW_SHOW);
  HWND edit = WindowHandle(first);
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 2, 2);
  PostMessageW(edit, WM_KEYDOWN, VK_TAB, 0);
  PostMessageW(edit, WM_CHAR, '\t', 0);
  PostMessageW(edit, WM_CHAR, '3', 0);
  PumpFor(50);
  EXPECT_EQ(GetControlText(first), "123");
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_EQ(GetControlText(second), "");
}

}  // namespace
}  // namespace quarvo::testing_ui
