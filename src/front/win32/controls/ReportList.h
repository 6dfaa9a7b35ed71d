// The report list as a view of the results table.
#pragma once

#include <functional>
#include <string>

#include "front/win32/controls/ControlObject.h"
#include "model/ResultsTable.h"

namespace quarvo {

// From now on the list shows the table: its rows in the table's order, their cells, and the
// selection, which the user changes on the list and which lives in the table (SelectedCount,
// FirstSelected, NextSelected report exactly what the list shows). Changes of the table from any
// thread reach the screen in batches. The table must outlive the message loop.
void BindTable(ControlObject* list, ResultsTable& table);

// From now on the cells of `column` have a tooltip: the text that `tip` gives for the cell's text,
// none where it gives an empty one. After BindTable.
void SetCellTip(ControlObject* list, int column, std::function<std::wstring(const std::string& cell)> tip);

}  // namespace quarvo
