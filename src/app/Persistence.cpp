#include "app/Persistence.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "scan/RunSummary.h"
#include "store/IoError.h"
#include "store/ResultsFileFormat.h"
#include "text/Cp936Texts.h"

namespace quarvo {

namespace {

std::vector<StoredRow> StoredRows(const ResultsTable::Rows& rows) {
  std::vector<StoredRow> stored;
  stored.reserve(static_cast<std::size_t>(rows.RowCount()));
  for (std::int32_t row = 0; row < rows.RowCount(); ++row) {
    stored.push_back({rows.GetCell(row, ColNumber), rows.GetCell(row, ColIp), rows.GetCell(row, ColMac)});
  }
  return stored;
}

// Writes the table to the results file; throws IoError, leaving the file and ListChanged as they were.
void WriteList(PersistenceContext& context) {
  ResultsTable& table = context.run.table;
  std::vector<StoredRow> rows;
  std::uint64_t version = 0;
  table.Transact([&](ResultsTable::Rows& current) {
    rows = StoredRows(current);
    version = current.Version();
  });
  context.files.Replace(context.listFile, FormatResultsFile(rows));
  // A scan's worker may have changed the table while the file was written. ListChanged is cleared
  // only when the file still holds what the table does (a status may have changed meanwhile).
  table.Transact([&](ResultsTable::Rows& current) {
    if (current.Version() == version || StoredRows(current) == rows) context.run.state.ListChanged = false;
  });
}

bool TryWriteList(PersistenceContext& context) {
  try {
    WriteList(context);
    return true;
  } catch (const IoError& error) {
    context.dialogs.ShowError(error.what());
    return false;
  }
}

// The rows in the table's order, rows of equal numbers in the order they came: each row added in
// this order lands at the end of the table, so a file of any order loads in linear time.
void SortForTable(std::vector<StoredRow>& rows) {
  std::vector<std::pair<std::string, std::size_t>> keys;
  keys.reserve(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) keys.emplace_back(SortKeyOf(rows[i].number), i);
  std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<StoredRow> sorted;
  sorted.reserve(rows.size());
  for (const auto& key : keys) sorted.push_back(std::move(rows[key.second]));
  rows = std::move(sorted);
}

}  // namespace

void LoadSettings(PersistenceContext& context) {
  ProfileStore& profile = context.profile;
  WindowPort& window = context.run.window;
  window.SetText(UiText::StartIp, profile.GetString(texts::kSettingsSection, texts::kSettingsStartKey,
                                                    texts::kDefaultStartIp));
  window.SetText(UiText::EndIp,
                 profile.GetString(texts::kSettingsSection, texts::kSettingsEndKey, texts::kDefaultEndIp));
}

void SaveSettings(PersistenceContext& context) {
  ProfileStore& profile = context.profile;
  WindowPort& window = context.run.window;
  profile.WriteString(texts::kSettingsSection, texts::kSettingsStartKey, window.GetText(UiText::StartIp));
  profile.WriteString(texts::kSettingsSection, texts::kSettingsEndKey, window.GetText(UiText::EndIp));
}

void LoadList(PersistenceContext& context) {
  if (!context.files.IsPresent(context.listFile)) return;
  RunContext& run = context.run;
  run.state.RunStartTick = run.clock.TickCount();
  std::vector<StoredRow> stored;
  try {
    stored = ParseResultsFile(context.files.ReadAll(context.listFile));
  } catch (const IoError& error) {
    context.dialogs.ShowError(error.what());
    return;
  }
  SortForTable(stored);
  run.table.Transact([&](ResultsTable::Rows& rows) {
    rows.ClearRows();
    for (const StoredRow& line : stored) {
      const std::int32_t row = rows.AddRow(line.number);
      rows.SetCell(row, ColIp, line.ip);
      rows.SetCell(row, ColMac, line.mac);
      rows.SetCell(row, ColThread, texts::kLoadedThread);
      rows.SetCell(row, ColChange, texts::kChangeNo);
      rows.SetCell(row, ColStatus, texts::kStatusSilent);
    }
  });
  ShowRunSummary(run, texts::kRunLoad, 0);
}

bool SaveListOnRequest(PersistenceContext& context) {
  SaveSettings(context);
  return TryWriteList(context);
}

bool SaveOnClose(PersistenceContext& context) {
  SaveSettings(context);
  // Closing with no rows would replace a stored list by an empty file; the menu's save still can.
  if (context.run.table.RowCount() == 0) return true;
  const bool asked = context.run.state.ListChanged;
  if (asked && !context.dialogs.AskYesNo(texts::kSavePrompt, texts::kSavePromptCaption)) return true;
  // A list the user chose to keep is not lost to a failed write: the window stays open.
  return TryWriteList(context) || !asked;
}

}  // namespace quarvo
