// The results table as Qt's table views see it: rows, cells and the selection, all kept in the
// ResultsTable; the model only shows them.
//
// Changes of the table, from any thread, reach the model through the batcher. Between two catch-ups
// the rows shown are those of the last one (TableView), so an index that the view hands in (a row to
// paint, a row the user selects) reaches the same machine in the table whatever was added since.
// At each catch-up the rows shown grow or shrink at the end, every visible cell is repainted, and
// the view's selection is set again from the table's, so a selected machine stays selected when
// rows arrive above it.
#pragma once

#include <QAbstractTableModel>
#include <QItemSelectionModel>
#include <functional>

#include "app/TableView.h"
#include "front/qt/UiBatcher.h"
#include "model/ResultsTable.h"
#include "vendor/VendorRegistry.h"

namespace quarvo {

// Two columns after the table's six that only the window shows: the vendor of the MAC address and
// the machine's host name. The list hides them until the user asks for them.
inline constexpr int kVendorColumn = kColumnCount;
inline constexpr int kHostNameColumn = kColumnCount + 1;
inline constexpr int kShownColumnCount = kColumnCount + 2;

class ResultsModel final : public QAbstractTableModel, public TableListener {
 public:
  ResultsModel(ResultsTable& table, UiBatcher& batcher);
  ~ResultsModel() override;

  // The view's selection model; the user's selections go into the table from now on.
  void AttachSelection(QItemSelectionModel* selection);

  // Where vendors and host names come from (the host name of an IP cell's text, "" when unknown);
  // either may be left out. Before the window is shown.
  void SetNames(VendorNames* vendors, std::function<std::string(const std::string& ip)> hostName);

  // Any thread.
  void TableChanged() override { batcher_.Request(); }
  // User-interface thread: show the table as it is now.
  void CatchUp();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Typing in the list finds a machine number by its beginning.
  QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits,
                        Qt::MatchFlags flags) const override;

 private:
  void UserChanged(const QItemSelection& selected, const QItemSelection& deselected);
  QItemSelection Rows(const std::vector<std::int32_t>& rows) const;
  QVariant VendorText(int row, bool tooltip) const;
  QVariant HostNameText(int row) const;

  ResultsTable& table_;
  VendorNames* vendors_ = nullptr;
  std::function<std::string(const std::string&)> hostName_;
  UiBatcher& batcher_;
  mutable TableView view_;  // reading a cell takes the table's lock
  QItemSelectionModel* selection_ = nullptr;
  int shown_ = 0;
  bool syncing_ = false;  // the view is being made to show the table's selection
};

}  // namespace quarvo
