#include "front/qt/ResultsModel.h"

#include "front/qt/LinuxTexts.h"
#include "platform/posix/Cp936Utf8.h"
#include "text/Cp936Texts.h"

namespace quarvo {

namespace {

struct ColumnLook {
  const char* caption;
  Qt::Alignment alignment;
};

const ColumnLook kColumns[kColumnCount] = {
    {texts::kColNumberCaption, Qt::AlignCenter},
    {texts::kColIpCaption, Qt::AlignLeft | Qt::AlignVCenter},
    {texts::kColMacCaption, Qt::AlignLeft | Qt::AlignVCenter},
    {texts::kColThreadCaption, Qt::AlignCenter},
    {texts::kColChangeCaption, Qt::AlignCenter},
    {texts::kColStatusCaption, Qt::AlignCenter},
};

QString Shown(const std::string& cp936) {
  return QString::fromStdString(Cp936ToUtf8(cp936));
}

}  // namespace

ResultsModel::ResultsModel(ResultsTable& table, UiBatcher& batcher)
    : table_(table), batcher_(batcher), view_(table) {
  table_.SetListener(this);
}

ResultsModel::~ResultsModel() {
  table_.SetListener(nullptr);
}

void ResultsModel::SetNames(VendorNames* vendors,
                            std::function<std::string(const std::string& ip)> hostName) {
  vendors_ = vendors;
  hostName_ = std::move(hostName);
}

QVariant ResultsModel::VendorText(int row, bool tooltip) const {
  if (vendors_ == nullptr) return QVariant();
  // The registries are read on a thread of their own; until they are, only local MACs are told.
  const std::string mac = view_.CellText(row, ColMac);
  const std::optional<MacBytes> bytes = MacOfText(mac);
  if (bytes && IsLocallyAdministered(*bytes)) return QString::fromUtf8(linuxtexts::kLocalMac);
  if (!vendors_->Loaded()) return tooltip ? QVariant() : QVariant(QString());
  const VendorAnswer answer = vendors_->Lookup(mac);
  if (answer.kind == VendorAnswer::Local) return QString::fromUtf8(linuxtexts::kLocalMac);
  if (answer.kind == VendorAnswer::Vendor) return QString::fromStdString(answer.name);
  // Over the MAC cell, the user learns why no vendor shows.
  if (tooltip && !vendors_->Available()) return QString::fromUtf8(linuxtexts::kNoVendorData);
  return tooltip ? QVariant() : QVariant(QString());
}

QVariant ResultsModel::HostNameText(int row) const {
  if (!hostName_) return QVariant();
  const std::string name = hostName_(view_.CellText(row, ColIp));
  return name.empty() ? QVariant() : QVariant(QString::fromStdString(name));
}

void ResultsModel::AttachSelection(QItemSelectionModel* selection) {
  selection_ = selection;
  QObject::connect(selection, &QItemSelectionModel::selectionChanged, selection,
                   [this](const QItemSelection& selected, const QItemSelection& deselected) {
                     UserChanged(selected, deselected);
                   });
  CatchUp();
}

QItemSelection ResultsModel::Rows(const std::vector<std::int32_t>& rows) const {
  // Runs of neighbouring rows become one range each: a selection of thousands of rows stays cheap.
  QItemSelection ranges;
  for (std::size_t i = 0; i < rows.size();) {
    std::size_t j = i;
    while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
    ranges.select(index(rows[i], 0), index(rows[j], kShownColumnCount - 1));
    i = j + 1;
  }
  return ranges;
}

void ResultsModel::CatchUp() {
  // The machine under the keyboard's cursor keeps it.
  std::string current;
  if (selection_ != nullptr && selection_->currentIndex().isValid()) {
    current = view_.CellText(selection_->currentIndex().row(), ColNumber);
  }
  const TableView::Update update = view_.Refresh();
  syncing_ = true;
  if (selection_ != nullptr) selection_->select(Rows(update.deselect), QItemSelectionModel::Deselect);
  if (update.count > shown_) {
    beginInsertRows(QModelIndex(), shown_, update.count - 1);
    shown_ = update.count;
    endInsertRows();
  } else if (update.count < shown_) {
    beginRemoveRows(QModelIndex(), update.count, shown_ - 1);
    shown_ = update.count;
    endRemoveRows();
  }
  if (shown_ > 0) {
    emit dataChanged(index(0, 0), index(shown_ - 1, kShownColumnCount - 1),
                     {Qt::DisplayRole, Qt::ToolTipRole});
  }
  if (selection_ != nullptr) {
    selection_->select(Rows(update.select), QItemSelectionModel::Select);
    if (!current.empty()) {
      const std::int32_t row = view_.FindPrefix(current, 0, false);
      if (row >= 0 && view_.CellText(row, ColNumber) == current) {
        selection_->setCurrentIndex(index(row, selection_->currentIndex().column()),
                                    QItemSelectionModel::NoUpdate);
      }
    }
  }
  syncing_ = false;
}

void ResultsModel::UserChanged(const QItemSelection& selected, const QItemSelection& deselected) {
  if (syncing_) return;
  for (const QItemSelectionRange& range : deselected) view_.UserSelected(range.top(), range.bottom(), false);
  for (const QItemSelectionRange& range : selected) view_.UserSelected(range.top(), range.bottom(), true);
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_;
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kShownColumnCount;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return QVariant();
  const int column = index.column();
  if (role == Qt::DisplayRole) {
    if (column == kVendorColumn) return VendorText(index.row(), false);
    if (column == kHostNameColumn) return HostNameText(index.row());
    return Shown(view_.CellText(index.row(), column));
  }
  if (role == Qt::ToolTipRole) {
    if (column == ColMac || column == kVendorColumn) return VendorText(index.row(), true);
    if (column == ColIp || column == kHostNameColumn) return HostNameText(index.row());
    return QVariant();
  }
  if (role == Qt::TextAlignmentRole) {
    return column < kColumnCount ? QVariant::fromValue(kColumns[column].alignment)
                                 : QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  }
  return QVariant();
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kShownColumnCount) return QVariant();
  if (section == kVendorColumn || section == kHostNameColumn) {
    if (role == Qt::DisplayRole) {
      return QString::fromUtf8(section == kVendorColumn ? linuxtexts::kVendorCaption
                                                        : linuxtexts::kHostNameCaption);
    }
    if (role == Qt::TextAlignmentRole)
      return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return QVariant();
  }
  if (role == Qt::DisplayRole) return Shown(kColumns[section].caption);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(kColumns[section].alignment);
  return QVariant();
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QModelIndexList ResultsModel::match(const QModelIndex& start, int role, const QVariant& value, int hits,
                                    Qt::MatchFlags flags) const {
  if (role != Qt::DisplayRole || hits != 1 || (flags & Qt::MatchTypeMask) != Qt::MatchStartsWith) {
    return QAbstractTableModel::match(start, role, value, hits, flags);
  }
  const std::int32_t row = view_.FindPrefix(Utf8ToCp936(value.toString().toStdString()), start.row(),
                                            flags.testFlag(Qt::MatchWrap));
  return row < 0 ? QModelIndexList() : QModelIndexList{index(row, 0)};
}

}  // namespace quarvo
