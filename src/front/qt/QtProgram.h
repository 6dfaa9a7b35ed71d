// The Linux window's program: the shared state and table, the seams served by the Qt window, the
// handlers bound to its controls, and the ARP engine, opened when the first scan starts.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/Commands.h"
#include "app/Persistence.h"
#include "front/qt/LocalRange.h"
#include "front/qt/MainWindow.h"
#include "front/qt/QtListFiles.h"
#include "front/qt/QtPorts.h"
#include "front/qt/ResultsModel.h"
#include "front/qt/UiBatcher.h"
#include "platform/linux/ArpEngine.h"
#include "platform/linux/HostNames.h"
#include "vendor/VendorRegistry.h"

namespace quarvo {

// What the window works with; tests and benchmarks put in fakes.
struct WindowSeams {
  Clock& clock;
  ThreadLauncher& threads;
  FileStore& files;
  ProfileStore& profile;
  WakeSocket& wakeSocket;
  std::function<OpenedArpEngine(const ArpEngineOptions&)> openEngine;
  std::function<std::optional<AddressRange>()> ownRange;
  Dialogs* dialogs = nullptr;  // null: message boxes
  std::string helperPath;      // the ARP helper, named in the hint about the raw engine's privilege
  // Where the vendor registries are looked for, in turn; none: no vendors.
  std::vector<std::string> vendorFolders = {};
  // The host-name lookup of the machines that answer; none: no host names.
  std::function<std::unique_ptr<HostNames>()> hostNames = nullptr;
};

// The settings of the list's optional columns: section and keys, "1" when shown.
inline constexpr char kColumnsSection[] = "columns";
inline constexpr char kVendorColumnKey[] = "vendor";
inline constexpr char kHostNameColumnKey[] = "hostname";

// Passes requests on to the engine, once one is open; the engine is set on the user-interface
// thread before the first scan's workers start and never replaced.
// Each machine that answers goes on to the host-name lookup, which runs beside the scan.
class EngineProbe final : public ArpProbe {
 public:
  void Request(std::uint32_t networkOrderAddress, MacBytes& mac) override {
    if (engine_) engine_->Request(networkOrderAddress, mac);
    if (names_ != nullptr && mac != MacBytes{}) names_->Submit(networkOrderAddress);
  }
  void BeginScan(std::uint32_t firstNetworkOrder, std::uint32_t count) override {
    if (engine_) engine_->BeginScan(firstNetworkOrder, count);
  }
  void Cancel() override {
    if (engine_) engine_->Cancel();
  }
  bool Open() const { return engine_ != nullptr; }
  void Set(std::unique_ptr<ArpProbe> engine) { engine_ = std::move(engine); }
  void SetNames(HostNames* names) { names_ = names; }

 private:
  std::unique_ptr<ArpProbe> engine_;
  HostNames* names_ = nullptr;
};

class QtProgram {
 public:
  // Builds the window, hidden, and fills the boxes from the settings, or on a first start with this
  // machine's network. Needs the QApplication.
  explicit QtProgram(WindowSeams seams);
  QtProgram(const QtProgram&) = delete;
  QtProgram& operator=(const QtProgram&) = delete;

  void Show();
  // After the event loop: the window goes, and workers still finishing reach no window.
  void Close();

  MainWindow* Window() { return window_.get(); }
  ResultsModel& Model() { return model_; }
  UiBatcher& Batcher() { return batcher_; }
  RunState state;
  ResultsTable table;
  // Whether the vendor registries are read (on a thread of their own, from the start).
  bool VendorsLoaded() const { return vendors_->Loaded(); }
  CommandContext& Commands() { return commands_; }

 private:
  void OnStartStop();
  bool OpenEngine();
  template <class F>
  void Guarded(F&& handler);

  // The title's note after a scan's status line: what the engine said as the scan began, and
  // how much of the range was left unprobed.
  std::string CaptionNote(const std::string& caption);

  WindowSeams seams_;
  std::shared_ptr<VendorNames> vendors_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // for calls posted by other threads
  std::unique_ptr<HostNames> hostNames_;  // kept to the process's end: lookups may still finish
  EngineProbe probe_;
  std::mutex notesMutex_;
  std::vector<std::string> scanNotes_;    // the engine's lines of the current scan
  std::shared_ptr<arp::ArpPacer> pacer_;  // with the engine
  std::optional<std::string> paceNote_;   // the current scan's, once its summary shows; under notesMutex_
  UiBatcher batcher_;
  QtWindowPort port_{batcher_};
  ResultsModel model_{table, batcher_};
  RunContext run_;
  QtDialogs boxes_;
  Dialogs& dialogs_;
  PersistenceContext persistence_;
  QtListFiles files_{persistence_, seams_.threads};
  QtShell shell_;
  CommandContext commands_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace quarvo
