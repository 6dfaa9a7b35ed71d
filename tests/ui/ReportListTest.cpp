// The report list as a view of the results table, on a real list view.
#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include <atomic>
#include <vector>

#include "UiTestSupport.h"
#include "store/ResultsTable.h"
#include "ui/controls/ReportList.h"
#include "ui/controls/WideText.h"

namespace quarvo::testing_ui {
namespace {

class ReportListTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    list = CreateReportList(form, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SORTASCENDING, 0x31);
    SetControlSize(list, 400, 300);
    for (const char* caption : {"number", "ip", "mac"}) AddColumn(list, caption, Align::Left, 80);
  }

  std::string ShownCell(int row, int column) {
    wchar_t buffer[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 256;
    SendMessageW(WindowHandle(list), LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    return Cp936FromWide(buffer);
  }

  int ShownCount() { return static_cast<int>(SendMessageW(WindowHandle(list), LVM_GETITEMCOUNT, 0, 0)); }

  std::vector<int> ShownSelection() {
    std::vector<int> rows;
    for (int row = -1;
         (row = static_cast<int>(SendMessageW(WindowHandle(list), LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                              LVNI_SELECTED))) >= 0;) {
      rows.push_back(row);
    }
    return rows;
  }

  std::vector<int> TableSelection() {
    std::vector<int> rows;
    for (int row = table.FirstSelected(); row >= 0; row = table.NextSelected(row)) rows.push_back(row);
    return rows;
  }

  // Clicks the middle of a shown row, as the user does.
  void ClickRow(int row, WPARAM keys = 0) {
    RECT r{};
    r.left = LVIR_BOUNDS;
    SendMessageW(WindowHandle(list), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(WindowHandle(list), WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
    PostMessageW(WindowHandle(list), WM_LBUTTONUP, keys, at);
    PumpFor(50);
  }

  void AddMachine(const std::string& number) {
    table.Transact([&](ResultsTable::Rows& rows) {
      const std::int32_t row = rows.AddRow(number);
      rows.SetCell(row, ColIp, "10.0.0." + number);
      rows.SetCell(row, ColMac, "mac-" + number);
    });
  }

  ResultsTable table;
  ControlObject* list = nullptr;
};

TEST_F(ReportListTest, ShowsTheTablesRowsInItsOrder) {
  for (const char* number : {"030", "010", "020"}) AddMachine(number);
  BindTable(list, table);
  CenterOnScreen(form);
  CreateMissingWindows(app);
  ShowWindow(WindowHandle(form), SW_SHOW);
  EXPECT_EQ(ShownCount(), 3);
  EXPECT_EQ(ShownCell(0, ColNumber), "010");
  EXPECT_EQ(ShownCell(2, ColMac), "mac-030");
  EXPECT_FALSE(GetWindowLongW(WindowHandle(list), GWL_STYLE) & (LVS_SORTASCENDING | LVS_SINGLESEL));

  // Dragging a header changes the order on screen, not the columns' indexes.
  const int order[] = {2, 0, 1};
  SendMessageW(WindowHandle(list), LVM_SETCOLUMNORDERARRAY, 3, reinterpret_cast<LPARAM>(order));
  EXPECT_EQ(ShownCell(1, ColMac), "mac-020");

  AddMachine("015");
  table.SetCell(0, ColIp, "changed");
  ASSERT_TRUE(PumpUntil([&] { return ShownCount() == 4; }));
  EXPECT_EQ(ShownCell(1, ColNumber), "015");
  EXPECT_EQ(ShownCell(0, ColIp), "changed");
  table.ClearRows();
  ASSERT_TRUE(PumpUntil([&] { return ShownCount() == 0; }));
}

// The user's selection is the table's: it stays on the machine when rows arrive above it.
TEST_F(ReportListTest, SelectionStaysOnTheMachineWhenRowsArriveAbove) {
  for (const char* number : {"050", "060", "070"}) AddMachine(number);
  CenterOnScreen(form);
  BindTable(list, table);
  CreateMissingWindows(app);
  ShowWindow(WindowHandle(form), SW_SHOW);
  ClickRow(1);
  ASSERT_EQ(TableSelection(), std::vector<int>{1});
  ClickRow(2, MK_CONTROL);
  ASSERT_EQ(TableSelection(), (std::vector<int>{1, 2}));
  EXPECT_EQ(ShownSelection(), TableSelection());

  std::thread worker([this] {
    for (const char* number : {"010", "065", "020", "080"}) AddMachine(number);
  });
  worker.join();
  ASSERT_TRUE(PumpUntil([&] { return ShownCount() == 7; }));
  PumpFor(80);
  EXPECT_EQ(TableSelection(), (std::vector<int>{3, 5}));
  EXPECT_EQ(ShownSelection(), TableSelection());
  EXPECT_EQ(SendMessageW(WindowHandle(list), LVM_GETSELECTEDCOUNT, 0, 0), table.SelectedCount());
  EXPECT_EQ(ShownCell(3, ColNumber), "060");

  // A click elsewhere moves the selection there, in the table too.
  ClickRow(0);
  EXPECT_EQ(TableSelection(), std::vector<int>{0});
  EXPECT_EQ(ShownSelection(), std::vector<int>{0});
  table.DeleteRow(0);
  ASSERT_TRUE(PumpUntil([&] { return ShownCount() == 6; }));
  EXPECT_EQ(table.SelectedCount(), 0);
  EXPECT_TRUE(ShownSelection().empty());
}

// 65,536 rows from a worker while the loop runs: the list catches up in batches, and the loop keeps
// serving other threads' requests meanwhile.
TEST_F(ReportListTest, ManyRowsArrivingDuringAScanRepaintInBatches) {
  BindTable(list, table);
  int refreshes = 0;
  list->MessageHook = [&](ControlMessage& message) {
    if (message.message == LVM_SETITEMCOUNT) ++refreshes;
    return false;
  };
  constexpr int kRows = 65536;
  std::atomic<bool> added{false};
  DWORD slowest = 0;
  std::thread worker([&] {
    while (WindowHandle(list) == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (int i = 0; i < kRows; ++i) {
      char number[16];
      snprintf(number, sizeof number, "%05d", i ^ 0x0F);  // nearly in order, as a scan finds them
      table.Transact([&](ResultsTable::Rows& rows) { rows.SetCell(rows.AddRow(number), ColStatus, "x"); });
    }
    added = true;
  });
  std::thread caller([&] {
    while (WindowHandle(form) == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    while (!added || SendMessageW(WindowHandle(list), LVM_GETITEMCOUNT, 0, 0) != kRows) {
      const DWORD start = GetTickCount();
      SetControlText(form, "caption");
      slowest = std::max(slowest, GetTickCount() - start);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    PostCloseRequest(form);
  });
  RunLoop();
  worker.join();
  caller.join();
  EXPECT_EQ(table.RowCount(), kRows);
  EXPECT_GE(refreshes, 1);
  EXPECT_LT(refreshes, 1000);
  EXPECT_LT(slowest, 1000u);
}

}  // namespace
}  // namespace quarvo::testing_ui
