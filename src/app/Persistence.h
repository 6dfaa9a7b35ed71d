// Saving and loading what outlives a session: the range in the settings file, and the table in the
// results file ("Quarvo.txt" of the current directory unless the front end names another). Everything
// here runs on the user-interface thread; a file that cannot be read or written is reported in an error
// box and the program goes on.
#pragma once

#include <functional>
#include <string>

#include "scan/RunContext.h"
#include "store/FileStore.h"
#include "store/IoError.h"
#include "store/ProfileStore.h"
#include "sys/Dialogs.h"
#include "text/Cp936Texts.h"

namespace quarvo {

struct PersistenceContext {
  RunContext& run;
  Dialogs& dialogs;
  FileStore& files;
  ProfileStore& profile;
  // The results file; the window keeps "Quarvo.txt", the command line takes the name it is given.
  std::string listFile = texts::kResultsFileName;
  // What a failed read or write of the list is told with: the error's own text (the window's
  // language) unless a front end speaks another.
  std::function<std::string(const IoError&)> errorText = [](const IoError& error) { return error.what(); };
};

// Start-up: fills the two address boxes from the settings file, or with the default range.
void LoadSettings(PersistenceContext& context);

// Stores the two address boxes' texts as they are, not trimmed, possibly empty.
void SaveSettings(PersistenceContext& context);

// The menu's "载入": replaces the table by the rows of the results file, marked as loaded ("0",
// "No", "×"), and writes the load's summary line. A missing file (or a folder of that name) changes
// nothing. The rows are built beside the table and take its place in one step, so a failed read,
// a file too large to load (over 64 MiB or a million lines) or memory running out leaves the table
// as it was, with an error box. ListChanged is left as it was.
void LoadList(PersistenceContext& context);

// LoadList in three steps, so that a window can read a large file off its user-interface thread.
// StartLoad: false for a missing file (nothing more to do), else the run's start is taken.
bool StartLoad(PersistenceContext& context);
// The rows of the file, or the message of its failure; touches neither the table nor the window.
struct LoadedList {
  ResultsTable::Rows rows;
  std::string error;  // shown instead of the rows when not empty
};
LoadedList ReadList(FileStore& files, const std::string& name,
                    const std::function<std::string(const IoError&)>& errorText);
// On the user-interface thread: the error box, or the rows in the table's place and the summary.
void ShowLoadedList(PersistenceContext& context, LoadedList& list);

// The menu's "保存": the settings, then the results file, whatever the table holds (no rows give an
// empty file). Returns whether the results file was written.
bool SaveListOnRequest(PersistenceContext& context);

// The main window is closing: the settings, then the results file. When the table has rows that a
// scan changed since the file was written, the user is asked first, and No leaves the file alone.
// An empty table never replaces a stored list. Returns false only when the user asked for the list
// to be saved and it could not be: the window then stays open, and the next close asks again.
bool SaveOnClose(PersistenceContext& context);

}  // namespace quarvo
