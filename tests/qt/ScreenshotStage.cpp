// Makes docs/screenshot-linux.png: the Linux window after loading a saved list of six machines and
// scanning 192.168.1.1 to 192.168.1.24 with scripted ARP answers. A virtual display has no window
// manager to draw a title bar, so the picture gets a plain one with the window's title, which is
// the status line.
//
//   qt_screenshot_stage <output.png>
#include <QApplication>
#include <QEventLoop>
#include <QPainter>
#include <QTimer>

#include "front/qt/QtProgram.h"
#include "store/ResultsFileFormat.h"
#include "store/StoreFakes.h"

using namespace quarvo;
using namespace quarvo::testing;

namespace {

struct ProbeRef final : ArpProbe {
  explicit ProbeRef(ArpProbe& probe) : probe_(probe) {}
  void Request(std::uint32_t address, MacBytes& mac) override { probe_.Request(address, mac); }
  ArpProbe& probe_;
};

struct NoSocket final : WakeSocket {
  bool Startup() override { return false; }
  SocketHandle OpenDatagram() override { return kNoSocket; }
  bool AllowBroadcast(SocketHandle) override { return false; }
  bool SendTo(SocketHandle, const std::uint8_t*, std::size_t, std::uint32_t, std::uint16_t) override {
    return false;
  }
  void Close(SocketHandle) override {}
  void Cleanup() override {}
};

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  QApplication application(argc, argv);
  FakeClock clock;
  clock.SetStep(3);
  JoiningThreads threads;
  MemoryFiles files;
  IniProfile profile(files, "Quarvo.ini");
  profile.WriteString("set", "startip", "192.168.1.1");
  profile.WriteString("set", "endip", "192.168.1.24");
  files.files["Quarvo.txt"] = FormatResultsFile({{"01", "192.168.1.1", "00-1A-2B-3C-4D-01"},
                                                 {"02", "192.168.1.2", "00-1A-2B-3C-4D-02"},
                                                 {"05", "192.168.1.5", "00-1A-2B-3C-4D-05"},
                                                 {"08", "192.168.1.8", "00-1A-2B-3C-4D-08"},
                                                 {"12", "192.168.1.12", "00-1A-2B-3C-4D-12"},
                                                 {"20", "192.168.1.20", "00-1A-2B-3C-4D-20"}});
  ScriptedProbe probe;
  for (const char* answering :
       {"192.168.1.1", "192.168.1.2", "192.168.1.8", "192.168.1.12", "192.168.1.20"}) {
    const auto last = static_cast<std::uint8_t>(std::stoi(std::string(answering).substr(10), nullptr, 16));
    probe.Answer(answering, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, last});
  }
  probe.Answer("192.168.1.5", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x55});  // a new network card
  probe.Answer("192.168.1.9", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x09});
  probe.Answer("192.168.1.17", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x17});
  NoSocket socket;
  FakeDialogs dialogs;
  QtProgram program(WindowSeams{clock, threads, files, profile, socket,
                                [&probe] {
                                  OpenedArpEngine opened;
                                  opened.probe = std::make_unique<ProbeRef>(probe);
                                  return opened;
                                },
                                [] { return std::optional<AddressRange>(); }, &dialogs, ""});
  program.Show();
  program.Window()->move(0, 0);
  Wait(300);
  OnListMenu(program.Commands(), kMenuLoadItem);
  program.Commands().run.window.SetText(UiText::Threads, "8");
  program.Window()->startStopButton->click();
  threads.JoinAll();
  program.Batcher().CatchUpNow();
  program.Window()->resultsTable->selectRow(2);
  Wait(300);

  const QPixmap inside = program.Window()->grab();
  const int bar = 26;
  QPixmap picture(inside.width(), inside.height() + bar);
  picture.fill(QColor(0xE8, 0xE8, 0xE8));
  QPainter painter(&picture);
  QFont font = program.Window()->font();
  font.setPixelSize(13);
  painter.setFont(font);
  painter.drawText(QRect(8, 0, inside.width() - 16, bar), Qt::AlignVCenter | Qt::AlignLeft,
                   program.Window()->windowTitle());
  painter.drawPixmap(0, bar, inside);
  painter.end();
  const bool saved = picture.save(QString::fromLocal8Bit(argv[1]));
  program.Close();
  return saved ? 0 : 1;
}
