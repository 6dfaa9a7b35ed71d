// The Linux window through its real widgets: layout and texts, a scan with a scripted probe, Stop,
// the menu commands, the close question, F1, the selection while rows arrive, and 65,536 rows from
// 1000 workers.
#include <gtest/gtest.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "app/Commands.h"
#include "front/qt/QtProgram.h"
#include "net/Ipv4Text.h"
#include "platform/posix/Cp936Utf8.h"
#include "scan/ScanRun.h"
#include "store/ResultsFileFormat.h"
#include "store/StoreFakes.h"

namespace quarvo {
namespace {

using testing::FakeClock;
using testing::JoiningThreads;
using testing::MemoryFiles;
using testing::ScriptedProbe;

struct ScriptedDialogs final : Dialogs {
  bool answer = true;
  std::vector<std::string> calls;  // "ask:", "error:" or "<caption>:" and the text
  bool AskYesNo(const std::string& text, const std::string&) override {
    calls.push_back("ask:" + text);
    return answer;
  }
  void ShowError(const std::string& text) override { calls.push_back("error:" + text); }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    calls.push_back(caption + ":" + text);
  }
};

struct CountingSocket final : WakeSocket {
  std::atomic<int> packets{0};
  bool Startup() override { return true; }
  SocketHandle OpenDatagram() override { return 3; }
  bool AllowBroadcast(SocketHandle) override { return true; }
  bool SendTo(SocketHandle, const std::uint8_t*, std::size_t, std::uint32_t, std::uint16_t) override {
    return ++packets, true;
  }
  void Close(SocketHandle) override {}
  void Cleanup() override {}
};

// The opened engine: whichever probe the test points it at.
struct ProbeRef final : ArpProbe {
  explicit ProbeRef(ArpProbe*& probe) : probe_(probe) {}
  void Request(std::uint32_t address, MacBytes& mac) override { probe_->Request(address, mac); }
  void BeginScan(std::uint32_t first, std::uint32_t count) override { probe_->BeginScan(first, count); }
  void Cancel() override { probe_->Cancel(); }
  ArpProbe*& probe_;
};

// An engine whose requests wait until they are cancelled (a network of silent addresses with a
// long time-out); it says a line for the user as each scan begins.
struct SilentEngine final : ArpProbe {
  std::mutex mutex;
  std::condition_variable cancelled;
  bool stopped = false;
  int cancels = 0;
  std::function<void(const std::string&)> report;
  void Request(std::uint32_t, MacBytes&) override {
    std::unique_lock<std::mutex> lock(mutex);
    cancelled.wait_for(lock, std::chrono::seconds(60), [this] { return stopped; });
  }
  void BeginScan(std::uint32_t, std::uint32_t) override {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopped = false;
    }
    if (report) report("10.0.1.7 has a permanent neighbour entry");
  }
  void Cancel() override {
    std::lock_guard<std::mutex> lock(mutex);
    stopped = true;
    ++cancels;
    cancelled.notify_all();
  }
};

QString U(const std::string& cp936) {
  return QString::fromStdString(Cp936ToUtf8(cp936));
}

// One program with every seam faked but the window.
struct Ui {
  FakeClock clock;
  JoiningThreads threads;
  MemoryFiles files;
  IniProfile profile{files, "Quarvo.ini"};
  CountingSocket socket;
  ScriptedProbe probe;
  ScriptedDialogs dialogs;
  std::optional<AddressRange> ownRange = AddressRange{"10.1.2.1", "10.1.2.254"};
  std::optional<ArpEngineKind> engine = ArpEngineKind::Raw;  // none: no engine opens
  std::vector<std::string> vendorFolders;
  std::shared_ptr<HostNameSource> names;           // none: no host names
  ArpProbe* engineProbe = &probe;                  // what the opened engine asks
  std::function<void(const std::string&)> report;  // what the engine may say
  std::shared_ptr<arp::ArpPacer> pacer;            // with the engine, when set
  bool lateAnswers = false;                        // every answer comes after its worker gave up
  std::unique_ptr<QtProgram> program;

  // The engine's side of answers that come too late: the pacer hears of each.
  struct LateProbe final : ArpProbe {
    Ui& ui;
    explicit LateProbe(Ui& owner) : ui(owner) {}
    void Request(std::uint32_t address, MacBytes& mac) override {
      ui.probe.Request(address, mac);
      if (!ui.lateAnswers) return;
      const arp::PaceTime sent = ui.pacer->PaceClock().Now();
      ui.pacer->GaveUp(address, sent);
      ui.pacer->Unclaimed(address, sent + std::chrono::milliseconds(900));
    }
  };

  void Open() {
    auto openEngine = [this](const ArpEngineOptions& options) {
      report = options.report;
      OpenedArpEngine opened;
      if (engine) opened.probe = std::make_unique<ProbeRef>(engineProbe);
      opened.pacer = pacer;
      opened.kind = engine.value_or(ArpEngineKind::Raw);
      opened.error = "socket: Operation not permitted";
      return opened;
    };
    std::function<std::unique_ptr<HostNames>()> hostNames;
    if (names) hostNames = [this] { return std::make_unique<HostNames>(names, 4, std::chrono::seconds(5)); };
    program = std::make_unique<QtProgram>(
        WindowSeams{clock, threads, files, profile, socket, openEngine, [this] { return ownRange; }, &dialogs,
                    "/opt/q/lib/quarvo/quarvo-arp", vendorFolders, hostNames});
    program->Show();
  }
  ~Ui() {
    threads.JoinAll();
    program.reset();
  }
  MainWindow& W() { return *program->Window(); }
  ResultsModel& M() { return program->Model(); }
  // Workers done, and every change shown.
  void Settle() {
    threads.JoinAll();
    QCoreApplication::processEvents();
    program->Batcher().CatchUpNow();
  }
  void Type(QLineEdit* box, const char* text) {
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
  }
  void Scan(const char* start, const char* end, const char* threadsText) {
    Type(W().startIpEdit, start);
    Type(W().endIpEdit, end);
    Type(W().threadsEdit, threadsText);
    QTest::mouseClick(W().startStopButton, Qt::LeftButton);
    Settle();
  }
  void Menu(const char* text) {
    for (QAction* action : W().listMenu->actions()) {
      if (action->text() == U(text)) return action->trigger();
    }
    FAIL() << text;
  }
  void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTableView* table = W().resultsTable;
    QTest::mouseClick(table->viewport(), Qt::LeftButton, modifiers,
                      table->visualRect(M().index(row, 1)).center());
  }
  QString Cell(int row, int column) { return M().data(M().index(row, column), Qt::DisplayRole).toString(); }
  QStringList Row(int row) {
    QStringList cells;
    for (int column = 0; column < kColumnCount; ++column) cells << Cell(row, column);
    return cells;
  }
  std::vector<int> ShownSelection() {
    std::vector<int> rows;
    for (const QModelIndex& index : W().resultsTable->selectionModel()->selectedRows())
      rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  void StoreList(const std::vector<StoredRow>& rows) { files.files["Quarvo.txt"] = FormatResultsFile(rows); }
};

TEST(QtWindow, LayoutTextsAndFirstStartRange) {
  Ui ui;
  ui.Open();
  MainWindow& w = ui.W();
  EXPECT_EQ(w.windowTitle(), "Quarvo扫描-网络唤醒 v1.2");
  EXPECT_EQ(w.rangePanel->title(), "IP范围 ／ 扫描线程　OR　唤醒延时");
  EXPECT_TRUE(w.listPanel->title().startsWith("列表"));
  EXPECT_GT(w.listPanel->title().size(), 2);  // the banner follows
  EXPECT_EQ(w.directionLabel->text(), "++>");
  EXPECT_EQ(w.threadsEdit->text(), "0");
  EXPECT_EQ(w.threadsEdit->alignment(), Qt::AlignCenter);
  EXPECT_EQ(w.startStopButton->text(), "开始(&S)");
  EXPECT_EQ(w.clearButton->text(), "清空(&C)");

  // Left to right with the Windows widths, all in the range panel, which sits above the list.
  const QWidget* row[] = {w.startIpEdit, w.directionLabel,  w.endIpEdit,
                          w.threadsEdit, w.startStopButton, w.clearButton};
  const int widths[] = {95, 20, 95, 30, 64, 64};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(row[i]->parentWidget(), w.rangePanel);
    EXPECT_EQ(row[i]->width(), widths[i]) << i;
    if (i > 0) {
      EXPECT_GE(row[i]->x(), row[i - 1]->x() + widths[i - 1]) << i;
    }
  }
  EXPECT_EQ(w.startIpEdit->x() + 95 + 2, w.directionLabel->x());
  EXPECT_LE(w.rangePanel->geometry().bottom(), w.listPanel->y());
  const QStringList captions = {"机号", "IP地址", "MAC地址", "线程", "变更", "状态"};
  const int columnWidths[] = {50, 95, 115, 50, 45, 45};  // wider only where the font needs it
  for (int column = 0; column < kColumnCount; ++column) {
    EXPECT_EQ(ui.M().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), captions[column]);
    EXPECT_GE(w.resultsTable->columnWidth(column), columnWidths[column]);
  }
  const QList<QAction*> items = w.listMenu->actions();
  ASSERT_EQ(items.size(), 11);
  const QStringList commands = {"关于", "唤醒", "保存", "载入", "删除", "退出"};
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(items[i]->isSeparator(), i % 2 == 1) << i;
    if (i % 2 == 0) {
      EXPECT_EQ(items[i]->text(), commands[i / 2]);
    }
  }

  // A larger window: the list grows, the range panel and its controls stay.
  const int panelHeight = w.rangePanel->height();
  const int listHeight = w.listPanel->height();
  const QPoint clear = w.clearButton->pos();
  w.resize(w.width() + 150, w.height() + 120);
  QCoreApplication::processEvents();
  EXPECT_EQ(w.rangePanel->height(), panelHeight);
  EXPECT_EQ(w.listPanel->height(), listHeight + 120);
  EXPECT_EQ(w.clearButton->pos(), clear);
  EXPECT_EQ(w.rangePanel->width(), w.width() - 4);

  // The boxes: the settings where they hold a key, else this machine's network, else the defaults.
  const struct {
    const char *startKey, *endKey;
    bool ownKnown;
    const char *start, *end;
  } starts[] = {
      {nullptr, nullptr, true, "10.1.2.1", "10.1.2.254"},
      {"172.16.0.9", "", true, "172.16.0.9", ""},
      {"172.16.0.9", nullptr, true, "172.16.0.9", "10.1.2.254"},
      {nullptr, nullptr, false, "192.168.0.1", "192.168.0.254"},
  };
  for (const auto& c : starts) {
    Ui other;
    if (c.startKey) other.profile.WriteString("set", "startip", c.startKey);
    if (c.endKey) other.profile.WriteString("set", "endip", c.endKey);
    if (!c.ownKnown) other.ownRange.reset();
    other.Open();
    EXPECT_EQ(other.W().startIpEdit->text(), c.start);
    EXPECT_EQ(other.W().endIpEdit->text(), c.end);
  }
}

// Loaded rows, then a scan: each row's marks, the summary in the title with the engine, Stop.
TEST(QtWindow, TypedRangeAndStartScanWithTheProbeMarksRowsAndStopEndsARun) {
  Ui ui;
  ui.StoreList({{"2", "10.0.0.2", "00-00-00-00-00-02"},
                {"4", "10.0.0.4", "00-00-00-00-00-04"},
                {"5", "10.0.0.5", "00-00-00-00-00-AA"}});
  ui.probe.Answer("10.0.0.2", {0, 0, 0, 0, 0, 2});
  ui.probe.Answer("10.0.0.3", {0, 0, 0, 0, 0, 3});
  ui.probe.Answer("10.0.0.5", {0, 0, 0, 0, 0, 5});
  ui.clock.Set(5000);
  ui.Open();
  ui.Menu(texts::kMenuLoad);
  ui.Settle();
  ASSERT_EQ(ui.M().rowCount(), 3);
  EXPECT_EQ(ui.Row(0), (QStringList{"2", "10.0.0.2", "00-00-00-00-00-02", "0", "No", "×"}));

  ui.Scan(" 10.0.0.6", "10.0.0.1", "2");  // typed backwards: the label turns
  EXPECT_EQ(ui.probe.RequestCount(), 6);
  EXPECT_EQ(ui.W().startIpEdit->text(), "10.0.0.6");
  EXPECT_EQ(ui.W().directionLabel->text(), "<++");
  ASSERT_EQ(ui.M().rowCount(), 4);
  EXPECT_EQ(ui.Row(0), (QStringList{"2", "10.0.0.2", "00-00-00-00-00-02", "0", "No", "√"}));
  EXPECT_EQ(ui.Row(1), (QStringList{"3", "10.0.0.3", "00-00-00-00-00-03", "1", "New", "√"}));
  EXPECT_EQ(ui.Row(2), (QStringList{"4", "10.0.0.4", "00-00-00-00-00-04", "0", "No", "×"}));
  EXPECT_EQ(ui.Row(3), (QStringList{"5", "10.0.0.5", "00-00-00-00-00-05", "0", "Yes", "√"}));
  EXPECT_EQ(ui.W().windowTitle(), "扫描耗时: 0 ms　IP: 3/4　New: 1  [ARP: raw]");
  EXPECT_EQ(ui.W().startStopButton->text(), "开始(&S)");
  EXPECT_TRUE(ui.program->state.ListChanged);
  EXPECT_TRUE(ui.dialogs.calls.empty());

  // A slow range with one worker: Stop ends it long before its end.
  ui.probe.SetLatency(20);
  ui.Type(ui.W().startIpEdit, "10.0.1.1");
  ui.Type(ui.W().endIpEdit, "10.0.1.100");
  ui.Type(ui.W().threadsEdit, "1");
  QTest::mouseClick(ui.W().startStopButton, Qt::LeftButton);
  EXPECT_EQ(ui.W().startStopButton->text(), "停止(&S)");
  QTest::qWait(50);
  QTest::mouseClick(ui.W().startStopButton, Qt::LeftButton);
  ui.Settle();
  EXPECT_LT(ui.probe.RequestCount(), 6 + 100);
  EXPECT_EQ(ui.W().startStopButton->text(), "开始(&S)");
  EXPECT_TRUE(ui.W().windowTitle().startsWith("扫描耗时"));
}

// A large list loads while the window goes on answering: the user can still move it, click and
// see it repaint. The file's read here waits until the window's event loop has answered.
TEST(QtWindow, TheWindowAnswersWhileALargeListLoads) {
  Ui ui;
  std::vector<StoredRow> rows;
  for (int i = 200000; i > 0; --i) rows.push_back({std::to_string(i), "10.0.0.1", "00-00-00-00-00-01"});
  ui.StoreList(rows);
  std::promise<void> answered;
  std::atomic<bool> waitedInVain{false};
  ui.files.whileReading = [&waitedInVain, heard = answered.get_future().share()] {
    waitedInVain = heard.wait_for(std::chrono::seconds(10)) != std::future_status::ready;
  };
  ui.clock.Set(1000);
  ui.Open();
  bool loopAnswered = false;
  QTimer::singleShot(0, [&] {
    loopAnswered = true;
    answered.set_value();
  });
  ui.Menu(texts::kMenuLoad);
  ui.Menu(texts::kMenuLoad);  // a second load meanwhile starts nothing more
  EXPECT_TRUE(QTest::qWaitFor([&] { return loopAnswered; }, 15000));
  ui.Settle();
  QCoreApplication::processEvents();  // the loaded rows arrive
  ui.program->Batcher().CatchUpNow();
  EXPECT_FALSE(waitedInVain);
  ASSERT_EQ(ui.M().rowCount(), 200000);
  EXPECT_EQ(ui.Cell(0, ColNumber), "1");
  EXPECT_EQ(ui.Cell(199999, ColNumber), "99999");
  EXPECT_TRUE(ui.W().windowTitle().startsWith("载入耗时"));
  EXPECT_TRUE(ui.dialogs.calls.empty());
}

// A network that could not keep up: the title says so after the summary, until a scan that went well.
TEST(QtWindow, TheTitleSaysWhenTheNetworkHeldThePaceBack) {
  Ui ui;
  ui.pacer = std::make_shared<arp::ArpPacer>(arp::SteadyPacerClock(), 800, 0);
  ui.lateAnswers = true;
  Ui::LateProbe late(ui);
  ui.engineProbe = &late;
  ui.Open();
  ui.Scan("10.0.0.1", "10.0.0.3", "1");
  ui.Settle();
  EXPECT_TRUE(ui.W().windowTitle().startsWith("扫描耗时")) << ui.W().windowTitle().toStdString();
  EXPECT_TRUE(ui.W().windowTitle().contains("[ARP: raw]  [网络限制了速度：约 "));
  EXPECT_TRUE(ui.W().windowTitle().endsWith("，迟到应答 3]")) << ui.W().windowTitle().toStdString();
  ui.lateAnswers = false;
  ui.Scan("10.0.0.1", "10.0.0.3", "1");
  ui.Settle();
  EXPECT_TRUE(ui.W().windowTitle().endsWith("  [ARP: raw]")) << ui.W().windowTitle().toStdString();
}

TEST(QtWindow, MenuCommandsRightClickAndF1) {
  Ui ui;
  ui.StoreList({{"1", "10.0.0.1", "00-00-00-00-00-01"},
                {"2", "10.0.0.2", "00-00-00-00-00-02"},
                {"3", "10.0.0.3", "00-00-00-00-00-03"}});
  ui.Open();
  ui.Menu(texts::kMenuLoad);
  ui.Settle();
  ui.ClickRow(0);
  ui.ClickRow(2, Qt::ControlModifier);
  EXPECT_EQ(ui.program->table.SelectedCount(), 2);

  ui.Menu(texts::kMenuWake);
  ui.Settle();
  EXPECT_EQ(ui.socket.packets, 2);
  ui.Menu(texts::kMenuDelete);
  ui.Settle();
  ASSERT_EQ(ui.M().rowCount(), 1);
  EXPECT_EQ(ui.Cell(0, ColNumber), "2");
  EXPECT_TRUE(ui.ShownSelection().empty());
  ui.Menu(texts::kMenuSave);
  EXPECT_EQ(ui.files.files.at("Quarvo.txt"), "2\t10.0.0.2\t00-00-00-00-00-02\r\n");
  EXPECT_EQ(ui.profile.GetString("set", "startip", "-"), "10.1.2.1");

  const std::string about = std::string(texts::kAboutCaption) + ":" + AboutBoxText();
  ui.Menu(texts::kMenuAbout);
  QTest::keyClick(&ui.W(), Qt::Key_F1);
  EXPECT_EQ(ui.dialogs.calls, (std::vector<std::string>{about, about}));

  QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(10, 10), QPoint(10, 10));
  QCoreApplication::sendEvent(ui.W().resultsTable->viewport(), &rightClick);
  EXPECT_TRUE(ui.W().listMenu->isVisible());
  ui.W().listMenu->hide();

  QTest::mouseClick(ui.W().clearButton, Qt::LeftButton);
  ui.Settle();
  EXPECT_EQ(ui.M().rowCount(), 0);
}

// Closing by the close box or by "退出": the settings always, the list by the rules of the question.
TEST(QtWindow, ClosingAsksAboutAChangedListAndStaysOpenWhenTheWantedSaveFails) {
  const struct {
    int rows;
    bool changed, answer, failWrite, byMenu;
    bool asked, written, closed;
  } cases[] = {
      {0, true, true, false, true, false, false, true},  // an empty list never replaces a stored one
      {2, false, true, false, false, false, true, true}, {2, true, true, false, true, true, true, true},
      {2, true, false, false, false, true, false, true}, {2, true, true, true, true, true, false, false},
  };
  for (const auto& c : cases) {
    Ui ui;
    ui.Open();
    for (int i = 0; i < c.rows; ++i) ui.program->table.AddRow(std::to_string(i));
    ui.program->state.ListChanged = c.changed;
    ui.dialogs.answer = c.answer;
    if (c.failWrite) ui.files.failReplace["Quarvo.txt"] = 5;
    if (c.byMenu) {
      ui.Menu(texts::kMenuExit);
      QCoreApplication::processEvents();
    } else {
      ui.W().close();
    }
    const bool asked = !ui.dialogs.calls.empty() && ui.dialogs.calls[0].rfind("ask:", 0) == 0;
    EXPECT_EQ(asked, c.asked) << &c - cases;
    EXPECT_EQ(ui.files.files.count("Quarvo.txt") == 1, c.written) << &c - cases;
    EXPECT_EQ(!ui.W().isVisible(), c.closed) << &c - cases;
    EXPECT_TRUE(ProfileHasKey(ui.profile, "set", "endip"));
    EXPECT_TRUE(ui.program->state.StopRequested);
  }
}

// The selection lives in the table: it stays on its machine when rows arrive above it, and a click
// on a row shown before the view caught up selects the machine shown there.
TEST(QtWindow, SelectionStaysOnTheSameMachineWhileRowsArrive) {
  Ui ui;
  ui.Open();
  for (const char* number : {"050", "060", "070"}) ui.program->table.AddRow(number);
  ui.Settle();
  ui.ClickRow(1);
  std::thread([&] {
    for (const char* number : {"010", "065", "020"}) ui.program->table.AddRow(number);
  }).join();
  ui.Settle();
  EXPECT_EQ(ui.ShownSelection(), std::vector<int>{3});
  EXPECT_EQ(ui.program->table.GetCell(ui.program->table.FirstSelected(), ColNumber), "060");
  EXPECT_EQ(ui.W().resultsTable->currentIndex().row(), 3);

  ui.program->table.AddRow("005");  // not yet shown
  ui.ClickRow(0);
  EXPECT_EQ(ui.program->table.GetCell(ui.program->table.FirstSelected(), ColNumber), "010");
  EXPECT_EQ(ui.program->table.SelectedCount(), 1);
  ui.Settle();
  EXPECT_EQ(ui.ShownSelection(), std::vector<int>{1});
}

// 65,536 machines from 1000 workers while the event loop runs: every row shown, in order, the
// selection on its machine, and the view caught up in batches, not once a row.
TEST(QtWindow, SixtyFiveThousandRowsFromAThousandWorkers) {
  constexpr int kRows = 65536;
  constexpr int kWorkers = 1000;
  Ui ui;
  ui.Open();
  ui.program->table.AddRow("x");  // sorts after every number
  ui.Settle();
  ui.ClickRow(0);
  QSignalSpy inserts(&ui.M(), &QAbstractItemModel::rowsInserted);
  QElapsedTimer elapsed;
  elapsed.start();
  std::vector<std::thread> workers;
  for (int worker = 0; worker < kWorkers; ++worker) {
    workers.emplace_back([&, worker] {
      char number[16];
      for (int i = worker; i < kRows; i += kWorkers) {
        std::snprintf(number, sizeof number, "%05d", i);
        MergeAnswer(ui.program->table, ui.program->state.ListChanged, number, "10.0.0.1", "00-00-00-00-00-01",
                    static_cast<std::uint32_t>(worker + 1));
      }
    });
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return ui.M().rowCount() == kRows + 1; }, 60000));
  for (std::thread& worker : workers) worker.join();
  ui.Settle();
  ASSERT_EQ(ui.M().rowCount(), kRows + 1);
  char number[16];
  for (int row = 0; row < kRows; ++row) {
    std::snprintf(number, sizeof number, "%05d", row);
    ASSERT_EQ(ui.Cell(row, ColNumber), number);
  }
  EXPECT_EQ(ui.ShownSelection(), std::vector<int>{kRows});
  EXPECT_EQ(ui.program->table.FirstSelected(), kRows);
  EXPECT_LE(inserts.count(), elapsed.elapsed() / UiBatcher::kBatchMs + 3);
  ui.W().resultsTable->scrollToBottom();
  QCoreApplication::processEvents();
  EXPECT_EQ(ui.W().resultsTable->rowAt(ui.W().resultsTable->viewport()->height() - 2) >= kRows - 40, true);
}

// The engine: the kernel engine scans and says how to grant the raw one its helper's capability;
// the helper's engine is named; with none the lists work.
TEST(QtWindow, EngineNoteKernelHintAndNoEngine) {
  Ui kernel;
  kernel.engine = ArpEngineKind::Kernel;
  kernel.probe.Answer("10.0.0.1", {0, 0, 0, 0, 0, 1});
  kernel.Open();
  kernel.Scan("10.0.0.1", "10.0.0.1", "0");
  kernel.Scan("10.0.0.1", "10.0.0.1", "0");  // the hint comes once
  ASSERT_EQ(kernel.dialogs.calls.size(), 1u);
  EXPECT_NE(U(kernel.dialogs.calls[0]).indexOf("sudo setcap cap_net_raw+ep /opt/q/lib/quarvo/quarvo-arp"),
            -1);
  EXPECT_TRUE(kernel.W().windowTitle().endsWith("[ARP: kernel]"));
  EXPECT_EQ(kernel.M().rowCount(), 1);

  // Raw ARP through the helper: the title says so, and there is nothing to grant.
  Ui helper;
  helper.engine = ArpEngineKind::Helper;
  helper.Open();
  helper.Scan("10.0.0.1", "10.0.0.1", "0");
  EXPECT_TRUE(helper.dialogs.calls.empty());
  EXPECT_TRUE(helper.W().windowTitle().endsWith("[ARP: raw (helper)]"));

  Ui none;
  none.engine.reset();
  none.StoreList({{"1", "10.0.0.1", "00-00-00-00-00-01"}});
  none.Open();
  none.Scan("10.0.0.1", "10.0.0.2", "0");
  ASSERT_EQ(none.dialogs.calls.size(), 1u);
  EXPECT_EQ(none.dialogs.calls[0].rfind("error:", 0), 0u);
  EXPECT_NE(U(none.dialogs.calls[0]).indexOf("Operation not permitted"), -1);
  EXPECT_EQ(none.probe.RequestCount(), 0);
  EXPECT_EQ(none.W().startStopButton->text(), "开始(&S)");
  EXPECT_EQ(none.W().windowTitle(), "Quarvo扫描-网络唤醒 v1.2");
  none.Menu(texts::kMenuLoad);
  none.Settle();
  EXPECT_EQ(none.M().rowCount(), 1);
}

struct NamesByAddress final : HostNameSource {
  std::map<std::string, std::string> names;  // dotted address: name
  std::string Resolve(std::uint32_t address) override {
    for (const auto& [dotted, name] : names) {
      if (ParseBerkeleyAddress(dotted) == address) return name;
    }
    return "";
  }
};

TEST(QtWindow, VendorAndHostNameShowAsTooltipsAndInColumnsTheUserTurnsOn) {
  Ui ui;
  ui.vendorFolders = {"/nonexistent", QUARVO_IEEE_FIXTURES};
  auto names = std::make_shared<NamesByAddress>();
  names->names = {{"10.0.0.2", "router.lan"}, {"10.0.0.4", "silent.lan"}};
  ui.names = names;
  ui.StoreList({{"4", "10.0.0.4", "00-0C-29-00-00-04"}});
  ui.probe.Answer("10.0.0.2", {0x00, 0x22, 0x72, 0x01, 0x02, 0x03});
  ui.probe.Answer("10.0.0.3", {0x02, 0x42, 0xAC, 0x11, 0x00, 0x03});
  ui.Open();
  QHeaderView* header = ui.W().resultsTable->horizontalHeader();
  // Hidden until asked for: the list looks as it always did.
  EXPECT_TRUE(header->isSectionHidden(kVendorColumn));
  EXPECT_TRUE(header->isSectionHidden(kHostNameColumn));
  ui.Menu(texts::kMenuLoad);
  ui.Settle();
  ui.Scan("10.0.0.1", "10.0.0.3", "0");
  ASSERT_EQ(ui.M().rowCount(), 3);
  const auto tip = [&ui](int row, int column) {
    return ui.M().data(ui.M().index(row, column), Qt::ToolTipRole).toString();
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return ui.program->VendorsLoaded() && !tip(0, ColIp).isEmpty(); }, 5000));
  EXPECT_EQ(tip(0, ColMac), "American Micro-Fuel Device Corp.");
  EXPECT_EQ(tip(0, ColIp), "router.lan");
  EXPECT_EQ(tip(1, ColMac), "随机或本地地址");
  EXPECT_EQ(tip(1, ColIp), "");
  EXPECT_EQ(tip(2, ColMac), "VMware, Inc.");  // a loaded row gets its vendor too,
  EXPECT_EQ(tip(2, ColIp), "");               // but no name: it did not answer
  // The six cells keep their texts.
  EXPECT_EQ(ui.Row(0), (QStringList{"2", "10.0.0.2", "00-22-72-01-02-03", "2", "New", "√"}));

  // The header's menu turns the columns on; the settings remember it for the next start.
  QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(10, 5), header->mapToGlobal(QPoint(10, 5)));
  QCoreApplication::sendEvent(header->viewport(), &rightClick);
  EXPECT_TRUE(ui.W().headerMenu->isVisible());
  ui.W().headerMenu->hide();
  ASSERT_EQ(ui.W().headerMenu->actions().size(), 2);
  ui.W().headerMenu->actions()[0]->trigger();
  EXPECT_FALSE(header->isSectionHidden(kVendorColumn));
  EXPECT_TRUE(header->isSectionHidden(kHostNameColumn));
  EXPECT_EQ(ui.M().headerData(kVendorColumn, Qt::Horizontal, Qt::DisplayRole).toString(), "厂商");
  EXPECT_EQ(ui.Cell(0, kVendorColumn), "American Micro-Fuel Device Corp.");
  EXPECT_EQ(ui.Cell(0, kHostNameColumn), "router.lan");

  // The saved list is the same three fields a row as ever.
  ui.Menu(texts::kMenuSave);
  EXPECT_EQ(ui.files.files.at("Quarvo.txt"),
            "2\t10.0.0.2\t00-22-72-01-02-03\r\n3\t10.0.0.3\t02-42-AC-11-00-03\r\n4\t10.0.0.4\t00-0C-29-00-00-"
            "04\r\n");

  ui.threads.JoinAll();
  ui.program.reset();
  ui.Open();
  EXPECT_FALSE(ui.W().resultsTable->horizontalHeader()->isSectionHidden(kVendorColumn));
  EXPECT_TRUE(ui.W().resultsTable->horizontalHeader()->isSectionHidden(kHostNameColumn));
  EXPECT_TRUE(ui.W().headerMenu->actions()[0]->isChecked());
  ui.W().headerMenu->actions()[0]->trigger();
  EXPECT_TRUE(ui.W().resultsTable->horizontalHeader()->isSectionHidden(kVendorColumn));
  EXPECT_EQ(ui.profile.GetString("columns", "vendor", "-"), "0");
}

TEST(QtWindow, WithoutTheRegistriesTheMacTooltipSaysWhichPackageGivesVendors) {
  Ui ui;
  ui.vendorFolders = {"/nonexistent"};
  ui.StoreList({{"1", "10.0.0.1", "00-22-72-01-02-03"}, {"2", "10.0.0.2", "0A-00-00-00-00-02"}});
  ui.Open();
  ui.Menu(texts::kMenuLoad);
  ui.Settle();
  EXPECT_EQ(ui.M().data(ui.M().index(0, ColMac), Qt::ToolTipRole).toString(),
            "无厂商数据：请安装 ieee-data 软件包");
  EXPECT_EQ(ui.Cell(0, kVendorColumn), "");
  EXPECT_EQ(ui.M().data(ui.M().index(1, ColMac), Qt::ToolTipRole).toString(), "随机或本地地址");
}

// Stop and closing the window end the probes in flight at once, whatever the engine's time-out,
// and a probe ended so is no silence: the row it was asking for keeps its answer. The title tells
// what the engine said as the scan began, and a scan that not every worker could be started for.
TEST(QtWindow, StopEndsProbesInFlightAndTheTitleTellsAPartialScan) {
  Ui ui;
  SilentEngine silent;
  ui.probe.Answer("10.0.1.1", {0, 0, 0, 0, 0, 1});
  ui.Open();
  ui.Scan("10.0.1.1", "10.0.1.1", "0");
  ASSERT_EQ(ui.Row(0)[5], "√");

  ui.engineProbe = &silent;
  silent.report = ui.report;
  ui.Type(ui.W().startIpEdit, "10.0.1.1");
  ui.Type(ui.W().endIpEdit, "10.0.1.40");
  ui.Type(ui.W().threadsEdit, "0");
  QTest::mouseClick(ui.W().startStopButton, Qt::LeftButton);
  QTest::qWait(50);
  const auto stopped = std::chrono::steady_clock::now();
  QTest::mouseClick(ui.W().startStopButton, Qt::LeftButton);
  ui.Settle();
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(5));
  EXPECT_EQ(silent.cancels, 1);
  EXPECT_EQ(ui.Row(0)[5], "√");  // asked, but not to the end: no "×"
  EXPECT_EQ(ui.W().startStopButton->text(), "开始(&S)");
  EXPECT_TRUE(ui.W().windowTitle().endsWith("  [ARP: raw]  [10.0.1.7 has a permanent neighbour entry]"))
      << ui.W().windowTitle().toStdString();

  // Closing the window during a scan stops it the same way.
  QTest::mouseClick(ui.W().startStopButton, Qt::LeftButton);
  QTest::qWait(50);
  ui.W().close();
  ui.Settle();
  EXPECT_EQ(silent.cancels, 2);

  // Workers 3 to 9 cannot be had (the first launch starts the workers): 2 of 9 addresses probed.
  Ui partial;
  partial.Open();
  partial.threads.RefuseFrom(3);
  partial.Scan("10.0.0.1", "10.0.0.9", "0");
  EXPECT_EQ(partial.probe.RequestCount(), 2);
  EXPECT_TRUE(partial.W().windowTitle().endsWith("[ARP: raw]  [只探测了 2/9 个地址：无法再启动线程]"))
      << partial.W().windowTitle().toStdString();
}

}  // namespace
}  // namespace quarvo
