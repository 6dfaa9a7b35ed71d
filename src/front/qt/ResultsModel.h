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

#include "app/TableView.h"
#include "front/qt/UiBatcher.h"
#include "model/ResultsTable.h"

namespace quarvo {

class ResultsModel final : public QAbstractTableModel, public TableListener {
 public:
  ResultsModel(ResultsTable& table, UiBatcher& batcher);
  ~ResultsModel() override;

  // The view's selection model; the user's selections go into the table from now on.
  void AttachSelection(QItemSelectionModel* selection);

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

  ResultsTable& table_;
  UiBatcher& batcher_;
  mutable TableView view_;  // reading a cell takes the table's lock
  QItemSelectionModel* selection_ = nullptr;
  int shown_ = 0;
  bool syncing_ = false;  // the view is being made to show the table's selection
};

}  // namespace quarvo
