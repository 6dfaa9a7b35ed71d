#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "app/TableView.h"
#include "model/ResultsTable.h"
#include "text/TextHelpers.h"

namespace quarvo {
namespace {

using Rows = std::vector<std::int32_t>;

class TableViewTest : public testing::Test {
 protected:
  void Add(std::initializer_list<const char*> numbers) {
    for (const char* n : numbers) table.SetCell(table.AddRow(n), ColIp, "ip-" + std::string(n));
  }
  Rows Selected() {
    Rows rows;
    for (std::int32_t r = table.FirstSelected(); r >= 0; r = table.NextSelected(r)) rows.push_back(r);
    return rows;
  }
  ResultsTable table;
  TableView view{table};
};

// Until the next refresh, an index from the list reaches the machine shown there, whatever arrived
// above it or left since (equal keys keep their order); the refresh then shows the table's selection.
TEST_F(TableViewTest, IndexesReachTheMachineShownAndTheSelectionFollowsItOnRefresh) {
  Add({"050", "AB", "ab"});
  EXPECT_EQ(view.Refresh().count, 3);
  Add({"010", "020", "Ab"});
  EXPECT_EQ(view.CellText(0, ColIp), "ip-050");
  EXPECT_EQ(view.CellText(2, ColIp), "ip-ab");
  EXPECT_EQ(view.CellText(3, ColIp), "");
  view.UserSelected(1, 2, true);
  view.UserSelected(1, 1, false);
  EXPECT_EQ(Selected(), Rows{4});
  table.DeleteRow(table.FindRow("050"));
  EXPECT_EQ(view.CellText(0, ColIp), "");
  view.UserSelected(0, 0, true);    // a machine that has gone selects nothing
  view.UserSelected(3, 999, true);  // nor do rows beyond those shown
  EXPECT_EQ(Selected(), Rows{3});

  TableView::Update update = view.Refresh();
  EXPECT_EQ(update.deselect, (Rows{0, 2}));
  EXPECT_EQ(update.select, Rows{3});
  view.UserSelected(-1, -1, true);
  EXPECT_EQ(table.SelectedCount(), 5);
  update = view.Refresh();  // the list already shows the user's selection
  EXPECT_TRUE(update.select.empty() && update.deselect.empty());
  table.ClearRows();
  EXPECT_EQ(view.Refresh().deselect, (Rows{0, 1, 2, 3, 4}));
}

TEST_F(TableViewTest, FindPrefixIgnoresCaseAndWrapsOnlyWhenAsked) {
  Add({"A10", "b20", "B30", "c40"});
  view.Refresh();
  EXPECT_EQ(view.FindPrefix("B", 0, false), 1);
  EXPECT_EQ(view.FindPrefix("a", 1, false), -1);
  EXPECT_EQ(view.FindPrefix("a", 1, true), 0);
  EXPECT_EQ(view.FindPrefix("c", 9, false), -1);
}

// A worker adds rows while the list refreshes and the user selects the machines ending in 0: the
// selection lands on those machines only, and the list shows exactly the table's selection.
TEST_F(TableViewTest, WorkersAddingRowsNeverMoveTheSelectionToAnotherMachine) {
  for (int i = 0; i < 400; i += 2) table.AddRow(DecimalText(1000 + i));
  std::thread worker([this] {
    for (int i = 1; i < 400; i += 2, std::this_thread::yield()) table.AddRow(DecimalText(1000 + i));
  });
  std::vector<bool> shown;  // what the list shows selected, by shown index
  for (int round = 0; round < 50; ++round) {
    if (round == 49) worker.join();
    const TableView::Update update = view.Refresh();
    for (std::int32_t row : update.deselect) shown.at(row) = false;
    shown.resize(update.count);
    for (std::int32_t row : update.select) shown.at(row) = true;
    for (std::int32_t row = 0; row < view.Count(); ++row) {
      if (view.CellText(row, ColNumber).rfind('0') != 3) continue;  // not ending in 0
      view.UserSelected(row, row, true);
      shown[row] = true;
    }
  }
  for (std::int32_t row = 0; row < 400; ++row) {
    EXPECT_EQ(table.IsSelected(row), shown[row]) << row;
    EXPECT_EQ(table.IsSelected(row), table.GetCell(row, ColNumber).back() == '0') << row;
  }
}

}  // namespace
}  // namespace quarvo
