// The main window: the range panel (start box, direction label, end box, threads / pause box,
// Start/Stop and Clear), the list panel with the results table and its popup menu, laid out as the
// Windows window is, with Qt's layouts keeping it right whatever the font.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QWidget>
#include <functional>

namespace quarvo {

class ResultsModel;

// What the window's controls and its close request do; set by the program.
struct WindowActions {
  std::function<void()> startStop;
  std::function<void()> clear;
  std::function<void()> listRightClick;
  std::function<void(int command)> menu;  // a ListMenuItem
  std::function<void()> help;
  // The window is asked to close; false keeps it open.
  std::function<bool()> mayClose;
  // The user showed or hid an optional column of the list (kVendorColumn, kHostNameColumn).
  std::function<void(int column, bool shown)> columnShown;
};

class MainWindow final : public QWidget {
 public:
  MainWindow(ResultsModel& model, WindowActions actions);

  // Centres the window, with its frame, on the whole screen.
  void CenterOnScreen();
  // Shows or hides an optional column, as its entry in the header's menu does.
  void ShowColumn(int column, bool shown);

  QGroupBox* rangePanel;
  QLabel* directionLabel;
  QLineEdit* startIpEdit;
  QLineEdit* endIpEdit;
  QLineEdit* threadsEdit;
  QPushButton* startStopButton;
  QPushButton* clearButton;
  QGroupBox* listPanel;
  QTableView* resultsTable;
  QMenu* listMenu;
  QMenu* headerMenu;  // the list header's menu: the optional columns, checked when shown

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildRangePanel();
  void BuildListPanel(ResultsModel& model);
  void BuildListMenu();
  void BuildHeaderMenu();

  WindowActions actions_;
};

// The window's size with its frame, and the size of its inside with the usual frame of 8 pixels at
// the sides and the bottom and 30 at the top.
inline constexpr int kWindowWidth = 450;
inline constexpr int kWindowHeight = 380;
inline constexpr int kClientWidth = kWindowWidth - 16;
inline constexpr int kClientHeight = kWindowHeight - 38;

}  // namespace quarvo
