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
    context.dialogs.ShowError(context.errorText(error));
    return false;
  }
}

// Limits of a results file that "载入" takes. A saved list has a line of about 40 bytes a machine,
// so even every address of a /12 network (about a million machines) fits both; a file beyond them
// is refused before the table is touched.
constexpr std::size_t kMaxListFileBytes = 64u << 20;
constexpr std::size_t kMaxListRows = 1000000;

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

LoadedList ReadList(FileStore& files, const std::string& name,
                    const std::function<std::string(const IoError&)>& errorText) {
  LoadedList list;
  try {
    const std::string bytes = files.ReadAll(name, kMaxListFileBytes);
    // Each row is built whole and goes in where the table's order puts it: at the end for a file
    // in that order, as every saved file is. Rows of equal numbers keep the file's order.
    ForEachResultsRow(bytes, kMaxListRows, [&list](StoredRow& line) {
      list.rows.AddRow(
          {line.number, line.ip, line.mac, texts::kLoadedThread, texts::kChangeNo, texts::kStatusSilent});
    });
  } catch (const IoError& error) {
    list.error = errorText(error);
  } catch (const std::bad_alloc&) {
    // Out of memory is reported as the platform's file calls report it; the table stays.
    list.error = IoErrorMessage(io_code::kNotEnoughMemory);
  }
  if (!list.error.empty()) list.rows.ClearRows();  // the rows read before the failure go at once
  return list;
}

void ShowLoadedList(PersistenceContext& context, LoadedList& list) {
  if (!list.error.empty()) {
    context.dialogs.ShowError(list.error);
    return;
  }
  context.run.table.Transact([&list](ResultsTable::Rows& rows) { rows.SwapRows(list.rows); });
  ShowRunSummary(context.run, texts::kRunLoad, 0);
}

bool StartLoad(PersistenceContext& context) {
  if (!context.files.IsPresent(context.listFile)) return false;
  context.run.state.RunStartTick = context.run.clock.TickCount();
  return true;
}

void LoadList(PersistenceContext& context) {
  if (!StartLoad(context)) return;
  LoadedList list = ReadList(context.files, context.listFile, context.errorText);
  ShowLoadedList(context, list);
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
