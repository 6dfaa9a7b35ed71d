#include "app/Persistence.h"

#include <algorithm>
#include <cstdint>
#include <new>
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

// Limits of a results file that "载入" takes. A saved list has a line of about 40 bytes a machine,
// so even every address of a /12 network (about a million machines) fits both; a file beyond them
// is refused before the table is touched. In the 32-bit build a million rows take some 200 MB in
// the table and as much again while they are built beside the table they replace.
constexpr std::size_t kMaxListFileBytes = 64u << 20;
constexpr std::size_t kMaxListRows = 1000000;

// The rows of a file as they will stand in the table, built aside so that a failure leaves the
// table as it was. They are added in the table's order (rows of equal numbers in the order they
// came), so each lands at the end and a file of any order loads in linear time.
void BuildLoadedRows(std::vector<StoredRow> stored, ResultsTable::Rows& loaded) {
  std::vector<std::pair<std::string, std::size_t>> keys;
  keys.reserve(stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i) keys.emplace_back(SortKeyOf(stored[i].number), i);
  std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& key : keys) {
    StoredRow line = std::move(stored[key.second]);  // its texts go once the row holds them
    const std::int32_t row = loaded.AddRow(line.number);
    loaded.SetCell(row, ColIp, line.ip);
    loaded.SetCell(row, ColMac, line.mac);
    loaded.SetCell(row, ColThread, texts::kLoadedThread);
    loaded.SetCell(row, ColChange, texts::kChangeNo);
    loaded.SetCell(row, ColStatus, texts::kStatusSilent);
  }
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
  ResultsTable::Rows loaded;
  try {
    std::vector<StoredRow> stored;
    {
      const std::string bytes = context.files.ReadAll(context.listFile, kMaxListFileBytes);
      stored = ParseResultsFile(bytes, kMaxListRows);
    }  // the file's bytes go before the rows are built
    BuildLoadedRows(std::move(stored), loaded);
  } catch (const IoError& error) {
    context.dialogs.ShowError(error.what());
    return;
  } catch (const std::bad_alloc&) {
    // Out of memory is reported as the platform's file calls report it; the table stays.
    context.dialogs.ShowError(IoErrorMessage(io_code::kNotEnoughMemory));
    return;
  }
  run.table.Transact([&loaded](ResultsTable::Rows& rows) { rows.SwapRows(loaded); });
  ShowRunSummary(run, texts::kRunLoad, 0);
}  // the table's old rows go here, outside its lock

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
