// The link between a report list and the results table it shows (see ReportList.cpp).
#pragma once

#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>

#include "app/TableView.h"
#include "front/win32/controls/ControlObject.h"
#include "model/ResultsTable.h"

namespace quarvo {

class TableBinding final : public TableListener {
 public:
  TableBinding(ControlObject& list, ResultsTable& table) : list_(list), table_(table), view_(table) {}

  // Any thread: posts one message to the list until the list has caught up.
  void TableChanged() override;

  // User-interface thread.
  void Attach();
  void Detach();
  bool OwnMessage(ControlMessage& message);  // the list's own window
  bool Notify(ControlMessage& message);      // the list's WM_NOTIFY, passed on by its parent
  void SetTip(int column, std::function<std::wstring(const std::string&)> tip) {
    tipColumn_ = column;
    tip_ = std::move(tip);
  }

 private:
  void Refresh();
  void ShowCell(LVITEMW& item);
  void SelectionChanged(int first, int last, UINT oldState, UINT newState);
  void ShowTip(NMLVGETINFOTIPW& info);

  ControlObject& list_;
  ResultsTable& table_;
  TableView view_;
  std::atomic<bool> pending_{false};
  bool syncing_ = false;  // the list is being made to show the table's selection
  DWORD lastRefresh_ = 0;
  int tipColumn_ = -1;
  std::function<std::wstring(const std::string&)> tip_;
};

}  // namespace quarvo
