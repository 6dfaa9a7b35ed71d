#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "model/ResultsTable.h"

namespace quarvo {
namespace {

std::vector<std::string> Keys(ResultsTable& table) {
  std::vector<std::string> keys;
  for (std::int32_t i = 0; i < table.RowCount(); ++i) keys.push_back(table.GetCell(i, ColNumber));
  return keys;
}

TEST(ResultsTable, RowsStaySortedAndAddRowReturnsTheLandingIndex) {
  ResultsTable table;
  EXPECT_EQ(table.AddRow("010"), 0);
  EXPECT_EQ(table.AddRow("002"), 0);
  EXPECT_EQ(table.AddRow(".000"), 0);  // dotted numbers sort before plain ones
  EXPECT_EQ(table.AddRow("..255"), 0);
  EXPECT_EQ(table.AddRow("9"), 4);  // character order: a key 9 comes after 10
  EXPECT_EQ(table.AddRow("10"), 4);
  EXPECT_EQ(Keys(table), (std::vector<std::string>{"..255", ".000", "002", "010", "10", "9"}));
  // FindRow ignores case but matches whole texts.
  table.AddRow("AB");
  EXPECT_EQ(table.FindRow("ab"), 6);
  EXPECT_EQ(table.FindRow("01"), -1);
  EXPECT_EQ(table.FindRow("0100"), -1);
  // Only ASCII letters fold: the second byte of a double-byte character is compared as it is.
  table.AddRow("\xB0\x41");
  EXPECT_EQ(table.FindRow("\xB0\x61"), -1);
  EXPECT_EQ(table.FindRow("\xB0\x41"), 7);
}

// Thousands of rows in a shuffled order, with duplicates, deletes and selections among them: the
// table agrees with a plain sorted list at every index (the rows are kept in blocks internally).
TEST(ResultsTable, ManyRowsInAnyOrderMatchASortedList) {
  ResultsTable table;
  std::vector<std::string> model;
  std::uint32_t seed = 7;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 8) % 3000u; };
  for (int i = 0; i < 6000; ++i) {
    const std::string key = std::to_string(next());
    const auto at = std::upper_bound(model.begin(), model.end(), key);
    EXPECT_EQ(table.AddRow(key), at - model.begin());
    model.insert(at, key);
    if (i % 5 == 4) {
      const std::int32_t row = static_cast<std::int32_t>(next() % model.size());
      table.DeleteRow(row);
      model.erase(model.begin() + row);
    }
  }
  ASSERT_EQ(Keys(table), model);
  for (std::int32_t row : {0, 700, 2999, static_cast<std::int32_t>(model.size()) - 1}) {
    table.SetSelected(row, true);
    EXPECT_EQ(
        table.FindRow(model[static_cast<std::size_t>(row)]),
        std::lower_bound(model.begin(), model.end(), model[static_cast<std::size_t>(row)]) - model.begin());
  }
  EXPECT_EQ(table.SelectedCount(), 4);
  EXPECT_EQ(table.NextSelected(700), 2999);
  EXPECT_EQ(table.NextSelected(2999), static_cast<std::int32_t>(model.size()) - 1);
}

// A saved list comes back in order: each row's place is found among those already there. The
// rows looked at for that must grow with the logarithm of the table, not with its blocks, or a
// million rows take minutes to load.
TEST(ResultsTable, FindingARowsPlaceLooksAtLogarithmicallyManyRows) {
  RowBlocks<int> rows;
  std::uint64_t looked = 0;
  constexpr int kRows = 200000;
  for (int value = 0; value < kRows; ++value) {
    const std::size_t at = rows.PartitionPoint([&](int row) { return ++looked, row <= value; });
    ASSERT_EQ(at, static_cast<std::size_t>(value));
    rows.Insert(at, std::make_unique<int>(value));
  }
  EXPECT_LE(looked, std::uint64_t{kRows} * 2 * 18);  // 2 log2(rows) each, with room to spare
  for (int value : {0, 255, 256, 511, 512, 131071, kRows - 1}) EXPECT_EQ(rows.At(value), value);
  EXPECT_EQ(rows.FindFrom(1000, [](int row) { return row % 997 == 0; }), 1994u);
}

TEST(ResultsTable, OutOfRangeIndexesChangeNothingAndCellsKeepAnyBytes) {
  ResultsTable table;
  table.AddRow("001");
  EXPECT_EQ(table.GetCell(1, ColNumber) + table.GetCell(-1, ColIp) + table.GetCell(0, 6), "");
  table.SetCell(1, ColIp, "x");
  table.SetCell(-1, ColIp, "x");
  table.DeleteRow(1);
  table.DeleteRow(-1);
  EXPECT_EQ(table.RowCount(), 1);
  table.SetCell(0, ColNumber, "999");  // the key never changes
  EXPECT_EQ(table.GetCell(0, ColNumber), "001");
  const std::string bytes = std::string("a\0\t\xFF", 4) + std::string(5000, 'x');
  table.SetCell(0, ColMac, bytes);
  EXPECT_EQ(table.GetCell(0, ColMac), bytes);
  // A cell that grows or shrinks leaves its neighbours as they were.
  table.SetCell(0, ColStatus, "s");
  table.SetCell(0, ColIp, "192.168.100.200");
  table.SetCell(0, ColThread, "12");
  table.SetCell(0, ColIp, "");
  EXPECT_EQ(table.GetCell(0, ColNumber) + "|" + table.GetCell(0, ColIp) + "|" + table.GetCell(0, ColThread) +
                "|" + table.GetCell(0, ColChange) + "|" + table.GetCell(0, ColStatus),
            "001||12||s");
  EXPECT_EQ(table.GetCell(0, ColMac), bytes);
}

TEST(ResultsTable, SelectionFollowsRowsAcrossInsertsAndDeletes) {
  ResultsTable table;
  for (const char* key : {"010", "020", "030", "040"}) table.AddRow(key);
  EXPECT_EQ(table.FirstSelected(), -1);
  table.SetSelected(table.FindRow("020"), true);
  table.SetSelected(table.FindRow("040"), true);
  table.AddRow("001");  // inserted above both selected rows
  EXPECT_EQ(table.GetCell(table.FirstSelected(), ColNumber), "020");
  const std::int32_t second = table.NextSelected(table.FirstSelected());
  EXPECT_EQ(table.GetCell(second, ColNumber), "040");
  EXPECT_EQ(table.NextSelected(second), -1);
  // Deleting the selection the way the menu command does removes exactly the selected rows.
  table.SetSelected(table.FindRow("001"), true);
  while (table.SelectedCount() > 0) table.DeleteRow(table.FirstSelected());
  EXPECT_EQ(Keys(table), (std::vector<std::string>{"010", "030"}));
  // The place after a machine number, rows of one number counted in the order they came: what the
  // wake run goes on from when rows came or went since it found its row.
  table.Transact([](ResultsTable::Rows& rows) {
    for (const char* key : {"b", "B", "b", "c"}) rows.AddRow(key);  // 010 030 b B b c
    for (const std::int32_t row : {3, 5}) rows.SetSelected(row, true);
    EXPECT_EQ(rows.NumberOrdinal(4), 3);
    EXPECT_EQ(rows.NumberOrdinal(6), 0);
    const struct {
      const char* number;
      std::int32_t ordinal, next;
    } after[] = {{"b", 0, 3},  {"b", 1, 3},   {"B", 2, 5}, {"b", 9, 5},
                 {"bb", 1, 5}, {"030", 1, 3}, {"c", 1, -1}};
    for (const auto& a : after) EXPECT_EQ(rows.NextSelectedAfter(a.number, a.ordinal), a.next) << a.number;
  });
}

struct CountingListener final : TableListener {
  void TableChanged() override { ++calls; }
  std::atomic<int> calls{0};
};

TEST(ResultsTable, ListenerHearsOfContentChangesOnly) {
  ResultsTable table;
  CountingListener listener;
  table.SetListener(&listener);
  table.AddRow("001");
  table.SetCell(0, ColIp, "1.2.3.4");
  table.SetCell(0, ColIp, "1.2.3.4");  // same text: no change
  table.SetSelected(0, true);
  table.GetCell(0, ColIp);
  table.Transact([](ResultsTable::Rows& rows) {
    rows.AddRow("002");
    rows.AddRow("003");
  });
  EXPECT_EQ(listener.calls, 3);
  table.SetListener(nullptr);
}

TEST(ResultsTable, ConcurrentTransactionsNeverDuplicateAKey) {
  ResultsTable table;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&table] {
      for (int i = 0; i < 200; ++i) {
        const std::string key = std::to_string(i % 50);
        table.Transact([&](ResultsTable::Rows& rows) {
          if (rows.FindRow(key) < 0) rows.AddRow(key);
        });
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(table.RowCount(), 50);
}

}  // namespace
}  // namespace quarvo
