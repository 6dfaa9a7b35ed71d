#include "front/qt/WindowMain.h"

#include <QApplication>

#include "front/qt/QtProgram.h"
#include "platform/System.h"

namespace quarvo {

namespace {

std::string HelperPath() {
#ifdef QUARVO_WITH_ARP_ENGINE
  return ArpHelperPath();
#else
  return std::string();
#endif
}

OpenedArpEngine OpenEngine([[maybe_unused]] const ArpEngineOptions& options) {
#ifdef QUARVO_WITH_ARP_ENGINE
  return OpenArpEngine(options);
#else
  OpenedArpEngine none;
  none.error = "this build has no ARP engine";
  return none;
#endif
}

}  // namespace

int RunWindow(int argc, char** argv) {
  QApplication application(argc, argv);
  // Never freed: worker threads still finishing when the window closes keep using the table and
  // the state until the process ends.
  auto* program = new QtProgram(WindowSeams{
      SystemClock(),
      SystemThreads(),
      SystemFiles(),
      SystemProfile(),
      SystemWakeSocket(),
      OpenEngine,
      OwnNetworkRange,
      nullptr,
      HelperPath(),
      {"/var/lib/ieee-data", "/usr/share/ieee-data"},
      [] {
        return std::make_unique<HostNames>(SystemHostNameSource(700), 16, std::chrono::milliseconds(2000));
      }});
  program->Show();
  const int code = QApplication::exec();
  program->Close();
  return code;
}

}  // namespace quarvo
