// The report list: a list view in report mode whose rows are those of a results table.
//
// The list holds no rows of its own (an owner-data list view): it asks for the texts of the rows it
// paints and reports the user's selection, both through a TableView. Changes of the table, made on
// any thread, post one message to the list; the list catches up at most once per batch interval,
// so that thousands of rows arriving during a scan cost a few repaints, not one each.
#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include <algorithm>

#include "front/win32/controls/ControlInternals.h"
#include "front/win32/controls/ReportList.h"
#include "front/win32/controls/TableBinding.h"
#include "front/win32/controls/WideText.h"

namespace quarvo {

namespace {

constexpr UINT_PTR kRefreshTimer = 0x5154;
constexpr DWORD kBatchMilliseconds = 50;
constexpr DWORD kExtendedStyleMask = 0x3FFF;

bool InsertColumn(HWND list, int index, const ListColumn& column) {
  std::wstring caption = WideFromCp936(column.caption);
  LVCOLUMNW info{};
  info.mask = LVCF_FMT | LVCF_TEXT;
  info.fmt = static_cast<int>(column.align);  // LVCFMT_LEFT, LVCFMT_RIGHT, LVCFMT_CENTER
  info.pszText = caption.data();
  if (column.width > 0) {
    info.mask |= LVCF_WIDTH;
    info.cx = column.width;
  }
  const LRESULT at =
      SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info));
  return at >= 0;
}

void SetSelectedState(HWND list, std::int32_t row, bool selected) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

void TableBinding::TableChanged() {
  if (pending_.exchange(true)) return;
  HWND window = list_.handle;
  if (window == nullptr || !PostMessageW(window, kTableChangedMessage, 0, 0)) pending_ = false;
}

void TableBinding::Attach() {
  table_.SetListener(this);
  Refresh();
}

void TableBinding::Detach() {
  table_.SetListener(nullptr);
  if (list_.handle != nullptr) KillTimer(list_.handle, kRefreshTimer);
}

// Catches up at once, or when the batch interval since the last refresh is over.
bool TableBinding::OwnMessage(ControlMessage& message) {
  if (message.message == kTableChangedMessage) {
    const DWORD since = GetTickCount() - lastRefresh_;
    if (since >= kBatchMilliseconds) {
      Refresh();
    } else {
      SetTimer(message.window, kRefreshTimer, kBatchMilliseconds - since, nullptr);
    }
    return true;
  }
  if (message.message == WM_TIMER && message.wParam == kRefreshTimer) {
    KillTimer(message.window, kRefreshTimer);
    Refresh();
    return true;
  }
  return false;
}

bool TableBinding::Notify(ControlMessage& message) {
  const auto* header = reinterpret_cast<const NMHDR*>(message.lParam);
  switch (header->code) {
    case LVN_GETDISPINFOW:
      ShowCell(reinterpret_cast<NMLVDISPINFOW*>(message.lParam)->item);
      return true;
    case LVN_ITEMCHANGED: {
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(message.lParam);
      if ((change->uChanged & LVIF_STATE) != 0) {
        SelectionChanged(change->iItem, change->iItem, change->uOldState, change->uNewState);
      }
      return true;
    }
    case LVN_ODSTATECHANGED: {
      const auto* change = reinterpret_cast<const NMLVODSTATECHANGE*>(message.lParam);
      SelectionChanged(change->iFrom, change->iTo, change->uOldState, change->uNewState);
      return true;
    }
    case LVN_GETINFOTIPW:
      ShowTip(*reinterpret_cast<NMLVGETINFOTIPW*>(message.lParam));
      return true;
    case LVN_ODFINDITEMW: {
      // Typing in the list finds a machine number.
      const auto* find = reinterpret_cast<const NMLVFINDITEMW*>(message.lParam);
      const bool byText = (find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) != 0 && find->lvfi.psz != nullptr;
      message.result = byText ? view_.FindPrefix(Cp936FromWide(find->lvfi.psz), find->iStart,
                                                 (find->lvfi.flags & LVFI_WRAP) != 0)
                              : -1;
      return true;
    }
    default:
      return false;
  }
}

// The list asks for a row's tooltip wherever the row is hovered; the cell under the cursor decides.
void TableBinding::ShowTip(NMLVGETINFOTIPW& info) {
  if (!tip_ || info.pszText == nullptr || info.cchTextMax <= 0 || list_.handle == nullptr) return;
  LVHITTESTINFO hit{};
  if (!GetCursorPos(&hit.pt) || !ScreenToClient(list_.handle, &hit.pt)) return;
  SendMessageW(list_.handle, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  if (hit.iItem != info.iItem || hit.iSubItem != tipColumn_) return;
  const std::wstring text = tip_(view_.CellText(info.iItem, tipColumn_));
  if (text.empty()) return;
  const std::size_t length = std::min(text.size(), static_cast<std::size_t>(info.cchTextMax - 1));
  std::copy_n(text.begin(), length, info.pszText);
  info.pszText[length] = L'\0';
}

void TableBinding::Refresh() {
  HWND window = list_.handle;
  if (window == nullptr) return;
  pending_ = false;
  lastRefresh_ = GetTickCount();
  const TableView::Update update = view_.Refresh();
  syncing_ = true;
  for (std::int32_t row : update.deselect) SetSelectedState(window, row, false);
  SendMessageW(window, LVM_SETITEMCOUNT, static_cast<WPARAM>(update.count), LVSICF_NOSCROLL);
  for (std::int32_t row : update.select) SetSelectedState(window, row, true);
  syncing_ = false;
  InvalidateRect(window, nullptr, FALSE);
}

void TableBinding::ShowCell(LVITEMW& item) {
  if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) return;
  const std::wstring text = WideFromCp936(view_.CellText(item.iItem, item.iSubItem));
  const std::size_t length = std::min(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
  text.copy(item.pszText, length);
  item.pszText[length] = L'\0';
}

// The user's selection goes into the table. What the list reports while it is being made to show the
// table's selection is not the user's.
void TableBinding::SelectionChanged(int first, int last, UINT oldState, UINT newState) {
  if (syncing_ || ((oldState ^ newState) & LVIS_SELECTED) == 0) return;
  view_.UserSelected(first, last, (newState & LVIS_SELECTED) != 0);
}

ControlObject* CreateReportList(ControlObject* parent, DWORD listStyle, DWORD listExStyle) {
  static bool initialised = false;
  if (!initialised) {
    InitCommonControls();
    INITCOMMONCONTROLSEX classes{sizeof classes, 0xFF};
    InitCommonControlsEx(&classes);
    initialised = true;
  }
  ControlObject* list = NewControl(ControlKind::ReportList, parent, "");
  // The table keeps the rows sorted and the list only shows them, so the list sorts nothing itself
  // and holds no rows (owner data); nor can the user edit a cell.
  const DWORD notOurs = LVS_SORTASCENDING | LVS_SORTDESCENDING | LVS_EDITLABELS;
  list->style |= (listStyle & ~notOurs) | LVS_OWNERDATA;
  list->extendedListStyle = listExStyle;
  return list;
}

void AddColumn(ControlObject* list, const std::string& caption, Align align, int width) {
  const ListColumn column{caption, align, width};
  const bool inserted =
      list->handle == nullptr || InsertColumn(list->handle, static_cast<int>(list->columns.size()), column);
  if (inserted) list->columns.push_back(column);
}

void BindTable(ControlObject* list, ResultsTable& table) {
  UnbindTable(*list);
  list->table = std::make_unique<TableBinding>(*list, table);
  if (list->handle != nullptr) list->table->Attach();
}

void SetCellTip(ControlObject* list, int column, std::function<std::wstring(const std::string& cell)> tip) {
  if (!list->table) return;
  list->table->SetTip(column, std::move(tip));
  list->extendedListStyle |= LVS_EX_INFOTIP;
  if (list->handle != nullptr) {
    SendMessageW(list->handle, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP, LVS_EX_INFOTIP);
  }
}

void UnbindTable(ControlObject& list) {
  if (list.table) list.table->Detach();
}

void ReportListCreated(ControlObject& self) {
  HWND window = self.handle;
  SendMessageW(window, CCM_SETUNICODEFORMAT, TRUE, 0);
  SendMessageW(window, LVM_SETEXTENDEDLISTVIEWSTYLE, kExtendedStyleMask,
               static_cast<LPARAM>(self.extendedListStyle));
  if (self.backColorSet) {
    SendMessageW(window, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(self.backColor));
    SendMessageW(window, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(self.backColor));
  }
  for (std::size_t i = 0; i < self.columns.size(); ++i) {
    InsertColumn(window, static_cast<int>(i), self.columns[i]);
  }
  if (self.table) self.table->Attach();
}

bool ReportListMessage(ControlObject& self, ControlMessage& message) {
  return self.table && self.table->OwnMessage(message);
}

bool ReportListNotify(ControlObject& self, ControlMessage& message) {
  if (message.message != WM_NOTIFY) return false;
  const UINT code = reinterpret_cast<const NMHDR*>(message.lParam)->code;
  if (code == NM_CLICK || code == NM_RCLICK) {
    self.RightButtonClick = code == NM_RCLICK;
    if (self.ClickEvent) self.ClickEvent(&self);
    return true;
  }
  return self.table && self.table->Notify(message);
}

}  // namespace quarvo
