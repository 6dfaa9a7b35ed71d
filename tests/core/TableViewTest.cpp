#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "store/ResultsTable.h"
#include "text/TextHelpers.h"
#include "ui/controls/TableView.h"

namespace quarvo {
namespace {

using Rows = std::vector<std::int32_t>;

void AddMachines(ResultsTable& table, std::initializer_list<const char*> numbers) {
  for (const char* number : numbers) {
    const std::int32_t row = table.AddRow(number);
    table.SetCell(row, ColIp, std::string("ip-") + number);
  }
}

// Does to `shown` what the list does to its selection on a refresh.
void Apply(const TableView::Update& update, std::vector<bool>& shown) {
  for (std::int32_t row : update.deselect) shown.at(static_cast<std::size_t>(row)) = false;
  shown.resize(static_cast<std::size_t>(update.count));
  for (std::int32_t row : update.select) shown.at(static_cast<std::size_t>(row)) = true;
}

Rows Selected(ResultsTable& table) {
  Rows rows;
  for (std::int32_t row = table.FirstSelected(); row >= 0; row = table.NextSelected(row)) rows.push_back(row);
  return rows;
}

TEST(TableView, RefreshShowsTheRowsAndTheUsersSelectionGoesIntoTheTable) {
  ResultsTable table;
  TableView view(table);
  AddMachines(table, {"020", "010", "030"});
  TableView::Update update = view.Refresh();
  EXPECT_EQ(update.count, 3);
  EXPECT_TRUE(update.select.empty());
  EXPECT_EQ(view.CellText(0, ColNumber), "010");
  EXPECT_EQ(view.CellText(2, ColIp), "ip-030");
  EXPECT_EQ(view.CellText(3, ColIp), "");

  view.UserSelected(1, 2, true);
  view.UserSelected(2, 2, false);
  EXPECT_EQ(Selected(table), Rows{1});
  // The list already shows the user's selection: nothing to change.
  update = view.Refresh();
  EXPECT_TRUE(update.select.empty());
  EXPECT_TRUE(update.deselect.empty());

  view.UserSelected(-1, -1, true);
  EXPECT_EQ(table.SelectedCount(), 3);
  view.UserSelected(-1, -1, false);
  EXPECT_EQ(table.SelectedCount(), 0);
  view.UserSelected(5, 9, true);  // beyond the rows shown: nothing
  EXPECT_EQ(table.SelectedCount(), 0);
}

TEST(TableView, TheSelectedMachineStaysSelectedWhenRowsArriveAboveIt) {
  ResultsTable table;
  TableView view(table);
  AddMachines(table, {"050", "060"});
  view.Refresh();
  view.UserSelected(1, 1, true);  // 060
  AddMachines(table, {"010", "020", "070"});
  EXPECT_EQ(table.GetCell(table.FirstSelected(), ColNumber), "060");
  const TableView::Update update = view.Refresh();
  EXPECT_EQ(update.deselect, Rows{1});
  EXPECT_EQ(update.count, 5);
  EXPECT_EQ(update.select, Rows{3});
  EXPECT_EQ(Selected(table), Rows{3});
}

// Between a change of the table and the list's refresh, the rows the list shows keep their
// indexes: what the user draws and selects there is still the machine that was shown.
TEST(TableView, IndexesFromTheListReachTheMachineShownUntilTheNextRefresh) {
  ResultsTable table;
  TableView view(table);
  AddMachines(table, {"030", "040"});
  view.Refresh();
  AddMachines(table, {"010", "020"});
  EXPECT_EQ(view.CellText(0, ColIp), "ip-030");
  view.UserSelected(1, 1, true);
  EXPECT_EQ(Selected(table), Rows{3});
  table.DeleteRow(table.FindRow("030"));
  EXPECT_EQ(view.CellText(0, ColIp), "");
  view.UserSelected(0, 0, true);  // a machine that has gone selects nothing
  EXPECT_EQ(Selected(table), Rows{2});

  // The list shows both clicks until the refresh puts the table's selection on it.
  const TableView::Update update = view.Refresh();
  EXPECT_EQ(update.deselect, (Rows{0, 1}));
  EXPECT_EQ(update.select, Rows{2});
  EXPECT_EQ(view.CellText(2, ColIp), "ip-040");
}

TEST(TableView, RowsWithEqualKeysAreToldApartByTheirOrder) {
  ResultsTable table;
  TableView view(table);
  AddMachines(table, {"AB", "ab", "0"});
  view.Refresh();
  AddMachines(table, {"00", "Ab"});  // one above, one after the equal keys
  EXPECT_EQ(view.CellText(1, ColIp), "ip-AB");
  EXPECT_EQ(view.CellText(2, ColIp), "ip-ab");
  view.UserSelected(2, 2, true);
  EXPECT_EQ(table.GetCell(table.FirstSelected(), ColIp), "ip-ab");
}

TEST(TableView, RemovedSelectedRowsLeaveTheListsSelection) {
  ResultsTable table;
  TableView view(table);
  AddMachines(table, {"010", "020", "030"});
  view.Refresh();
  view.UserSelected(1, 2, true);
  table.DeleteRow(2);
  TableView::Update update = view.Refresh();
  EXPECT_EQ(update.deselect, Rows{2});
  EXPECT_EQ(update.count, 2);
  EXPECT_TRUE(update.select.empty());
  table.ClearRows();
  update = view.Refresh();
  EXPECT_EQ(update.deselect, Rows{1});
  EXPECT_EQ(update.count, 0);
}

TEST(TableView, FindPrefixIgnoresCaseAndWrapsOnlyWhenAsked) {
  ResultsTable table;
  TableView view(table);
  AddMachines(table, {"A10", "b20", "B30", "c40"});
  view.Refresh();
  EXPECT_EQ(view.FindPrefix("B", 0, false), 1);
  EXPECT_EQ(view.FindPrefix("b3", 0, false), 2);
  EXPECT_EQ(view.FindPrefix("a", 1, false), -1);
  EXPECT_EQ(view.FindPrefix("a", 1, true), 0);
  EXPECT_EQ(view.FindPrefix("x", 0, true), -1);
  EXPECT_EQ(view.FindPrefix("c", 9, false), -1);
}

// Workers add rows while the user-interface side refreshes and the user selects: afterwards the
// list shows exactly the table's selection, and it is the machines the user chose.
TEST(TableView, WorkersAddingRowsNeverMoveTheSelectionToAnotherMachine) {
  ResultsTable table;
  TableView view(table);
  for (int i = 0; i < 400; i += 2) table.AddRow(DecimalText(1000 + i));
  view.Refresh();
  std::atomic<bool> go{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&table, &go, w] {
      while (!go) std::this_thread::yield();
      for (int i = 1 + 2 * w; i < 400; i += 8) table.AddRow(DecimalText(1000 + i));
    });
  }
  go = true;
  std::vector<bool> shown;  // the selection the list would show, by shown index
  for (int round = 0; round < 50; ++round) {
    Apply(view.Refresh(), shown);
    // The user selects every shown machine whose number ends in 0 or 4.
    for (std::int32_t row = 0; row < view.Count(); ++row) {
      const std::string number = view.CellText(row, ColNumber);
      if (!number.empty() && (number.back() == '0' || number.back() == '4')) {
        view.UserSelected(row, row, true);
        shown[static_cast<std::size_t>(row)] = true;
      }
    }
  }
  for (auto& worker : workers) worker.join();
  Apply(view.Refresh(), shown);

  ASSERT_EQ(table.RowCount(), 400);
  for (std::int32_t row = 0; row < 400; ++row) {
    const std::string number = table.GetCell(row, ColNumber);
    EXPECT_EQ(table.IsSelected(row), shown[static_cast<std::size_t>(row)]) << number;
    if (table.IsSelected(row)) {
      EXPECT_TRUE(number.back() == '0' || number.back() == '4') << number;
    }
  }
  EXPECT_EQ(table.SelectedCount(), 80);  // the machines ending in 0 or 4, all there from the start
}

}  // namespace
}  // namespace quarvo
