#include "front/qt/MainWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Commands.h"
#include "front/qt/LinuxTexts.h"
#include "front/qt/ResultsModel.h"
#include "platform/posix/Cp936Utf8.h"
#include "text/Cipher.h"
#include "text/Cp936Texts.h"
#include "text/EncipheredTexts.h"

namespace quarvo {

namespace {

QString Shown(const std::string& cp936) {
  return QString::fromStdString(Cp936ToUtf8(cp936));
}

QLineEdit* Box(QWidget* panel, int width) {
  auto* box = new QLineEdit(panel);
  box->setFixedWidth(width);
  box->setMinimumHeight(22);
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, Qt::white);
  box->setPalette(palette);
  return box;
}

QPushButton* Button(QWidget* panel, const char* caption) {
  auto* button = new QPushButton(Shown(caption), panel);
  button->setFixedWidth(64);
  button->setMinimumHeight(22);
  return button;
}

}  // namespace

MainWindow::MainWindow(ResultsModel& model, WindowActions actions) : actions_(std::move(actions)) {
  setWindowTitle(Shown(texts::kMainCaption));
  QFont font = this->font();
  font.setPixelSize(12);
  setFont(font);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  BuildRangePanel();
  BuildListPanel(model);
  BuildListMenu();
  BuildHeaderMenu();
  layout->addWidget(rangePanel);
  layout->addWidget(listPanel, 1);
  // Where this font widened the columns, the window grows to keep all six in view.
  int columns = style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * resultsTable->frameWidth() + 12;
  for (int column = 0; column < kColumnCount; ++column) columns += resultsTable->columnWidth(column);
  resize(std::max(kClientWidth, columns), kClientHeight);

  // F1 shows the About box, as the help request does on Windows.
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  help->setContext(Qt::WindowShortcut);
  connect(help, &QShortcut::activated, this, [this] { actions_.help(); });
}

void MainWindow::BuildRangePanel() {
  rangePanel = new QGroupBox(Shown(texts::kRangePanelCaption), this);
  rangePanel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  startIpEdit = Box(rangePanel, 95);
  directionLabel = new QLabel(Shown(texts::kDirectionUp), rangePanel);
  directionLabel->setFixedWidth(20);
  QPalette blue = directionLabel->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  directionLabel->setPalette(blue);
  endIpEdit = Box(rangePanel, 95);
  threadsEdit = Box(rangePanel, 30);
  threadsEdit->setAlignment(Qt::AlignCenter);
  threadsEdit->setText("0");
  startStopButton = Button(rangePanel, texts::kStartCaption);
  clearButton = Button(rangePanel, texts::kClearCaption);

  // The gaps of the Windows window: 8 | box 95 | 2 | label 20 | box 95 | 8 | threads 30 | 8 |
  // button 64 | 6 | button 64.
  auto* row = new QHBoxLayout(rangePanel);
  row->setContentsMargins(6, 2, 6, 4);
  row->setSpacing(0);
  row->addWidget(startIpEdit);
  row->addSpacing(2);
  row->addWidget(directionLabel);
  row->addWidget(endIpEdit);
  row->addSpacing(8);
  row->addWidget(threadsEdit);
  row->addSpacing(8);
  row->addWidget(startStopButton);
  row->addSpacing(6);
  row->addWidget(clearButton);
  row->addStretch(1);

  connect(startStopButton, &QPushButton::clicked, this, [this] { actions_.startStop(); });
  connect(clearButton, &QPushButton::clicked, this, [this] { actions_.clear(); });
}

void MainWindow::BuildListPanel(ResultsModel& model) {
  listPanel =
      new QGroupBox(Shown(std::string(texts::kListPanelCaption) + DecipherText(texts::kListBannerHex)), this);
  resultsTable = new QTableView(listPanel);
  resultsTable->setModel(&model);
  model.AttachSelection(resultsTable->selectionModel());
  resultsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  resultsTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
  resultsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  resultsTable->setShowGrid(true);
  resultsTable->setWordWrap(false);
  resultsTable->setSortingEnabled(false);
  resultsTable->setContextMenuPolicy(Qt::CustomContextMenu);
  // One fixed height for every row: tens of thousands of rows scroll without measuring any.
  QHeaderView* rows = resultsTable->verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(resultsTable->fontMetrics().height() + 4);
  QHeaderView* columns = resultsTable->horizontalHeader();
  columns->setSectionsMovable(true);  // the user may reorder the columns on screen
  columns->setHighlightSections(false);
  columns->setStretchLastSection(false);
  // The Windows widths, widened where this font needs more for the longest address or MAC text.
  const struct {
    int width;
    const char* longest;
  } widths[kColumnCount] = {{50, ""}, {95, "255.255.255.255"}, {115, "00-00-00-00-00-00"}, {50, ""}, {45, ""},
                            {45, ""}};
  for (int column = 0; column < kColumnCount; ++column) {
    const int needed = resultsTable->fontMetrics().horizontalAdvance(widths[column].longest) + 12;
    resultsTable->setColumnWidth(column, std::max(widths[column].width, needed));
  }
  connect(resultsTable, &QWidget::customContextMenuRequested, this, [this] { actions_.listRightClick(); });

  auto* layout = new QVBoxLayout(listPanel);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(resultsTable);
}

void MainWindow::BuildListMenu() {
  listMenu = new QMenu(resultsTable);
  const struct {
    const char* text;
    ListMenuItem command;
  } items[] = {{texts::kMenuAbout, kMenuAboutItem},   {texts::kMenuWake, kMenuWakeItem},
               {texts::kMenuSave, kMenuSaveItem},     {texts::kMenuLoad, kMenuLoadItem},
               {texts::kMenuDelete, kMenuDeleteItem}, {texts::kMenuExit, kMenuExitItem}};
  for (const auto& item : items) {
    if (item.command != kMenuAboutItem) listMenu->addSeparator();
    const int command = item.command;
    listMenu->addAction(Shown(item.text), this, [this, command] { actions_.menu(command); });
  }
}

void MainWindow::BuildHeaderMenu() {
  QHeaderView* header = resultsTable->horizontalHeader();
  headerMenu = new QMenu(header);
  const struct {
    int column;
    const char* caption;
    int width;
  } optional[] = {{kVendorColumn, linuxtexts::kVendorCaption, 170},
                  {kHostNameColumn, linuxtexts::kHostNameCaption, 140}};
  for (const auto& column : optional) {
    resultsTable->setColumnWidth(column.column, column.width);
    resultsTable->setColumnHidden(column.column, true);
    QAction* action = headerMenu->addAction(QString::fromUtf8(column.caption));
    action->setCheckable(true);
    action->setData(column.column);
    connect(action, &QAction::triggered, this, [this, number = column.column](bool shown) {
      ShowColumn(number, shown);
      if (actions_.columnShown) actions_.columnShown(number, shown);
    });
  }
  header->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(header, &QWidget::customContextMenuRequested, this,
          [this, header](const QPoint& at) { headerMenu->popup(header->mapToGlobal(at)); });
}

void MainWindow::ShowColumn(int column, bool shown) {
  resultsTable->setColumnHidden(column, !shown);
  for (QAction* action : headerMenu->actions()) {
    if (action->data().toInt() == column) action->setChecked(shown);
  }
}

void MainWindow::CenterOnScreen() {
  // The whole screen, not the work area; halving rounds towards minus infinity.
  const QRect screen = this->screen()->geometry();
  move(screen.left() + ((screen.width() - kWindowWidth) >> 1),
       screen.top() + ((screen.height() - kWindowHeight) >> 1));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (actions_.mayClose()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace quarvo
