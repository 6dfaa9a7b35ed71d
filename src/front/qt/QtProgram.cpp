#include "front/qt/QtProgram.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "front/qt/LinuxTexts.h"
#include "front/qt/RateSetting.h"
#include "net/Ipv4Text.h"
#include "platform/posix/Cp936Utf8.h"
#include "store/ProfileStore.h"
#include "text/Cp936Texts.h"

namespace quarvo {

QtProgram::QtProgram(WindowSeams seams)
    : seams_(std::move(seams)),
      vendors_(std::make_shared<VendorNames>(seams_.vendorFolders)),
      batcher_([this] {
        port_.CatchUp();
        model_.CatchUp();
      }),
      run_{state, table, port_, seams_.clock, seams_.threads, probe_},
      boxes_([this] { return static_cast<QWidget*>(window_.get()); }),
      dialogs_(seams_.dialogs != nullptr ? *seams_.dialogs : boxes_),
      persistence_{run_, dialogs_, seams_.files, seams_.profile},
      shell_([this] { return window_.get(); }),
      commands_{run_, dialogs_, files_, seams_.wakeSocket, shell_} {
  WindowActions actions;
  actions.startStop = [this] { Guarded([this] { OnStartStop(); }); };
  actions.clear = [this] { Guarded([this] { OnClearClick(commands_); }); };
  actions.listRightClick = [this] { Guarded([this] { OnListMouse(commands_, true); }); };
  actions.menu = [this](int command) {
    Guarded([this, command] { OnListMenu(commands_, static_cast<ListMenuItem>(command)); });
  };
  actions.help = [this] { Guarded([this] { OnFormMessage(commands_, kHelpMessage); }); };
  actions.mayClose = [this] {
    bool keepOpen = false;
    Guarded([&] { keepOpen = OnFormMessage(commands_, kCloseMessage); });
    return !keepOpen;
  };
  actions.columnShown = [this](int column, bool shown) {
    seams_.profile.WriteString(
        kColumnsSection, column == kVendorColumn ? kVendorColumnKey : kHostNameColumnKey, shown ? "1" : "0");
  };
  if (seams_.hostNames) hostNames_ = seams_.hostNames();
  model_.SetNames(vendors_.get(), [this](const std::string& ip) {
    const std::uint32_t address = ParseBerkeleyAddress(ip);
    return hostNames_ && address != kAddressNone ? hostNames_->Find(address) : std::string();
  });
  if (hostNames_) {
    probe_.SetNames(hostNames_.get());
    hostNames_->SetListener([this] { batcher_.Request(); });
  }
  // The registries are read beside the window, which shows the vendors once they are.
  std::thread([vendors = vendors_, alive = std::weak_ptr<int>(alive_), this] {
    vendors->Available();
    QMetaObject::invokeMethod(qApp, [alive, this] {
      if (alive.lock()) model_.CatchUp();
    });
  }).detach();
  window_ = std::make_unique<MainWindow>(model_, std::move(actions));
  window_->ShowColumn(kVendorColumn, seams_.profile.GetString(kColumnsSection, kVendorColumnKey, "0") == "1");
  window_->ShowColumn(kHostNameColumn,
                      seams_.profile.GetString(kColumnsSection, kHostNameColumnKey, "0") == "1");
  port_.SetCaptionNote([this](const std::string& caption) { return CaptionNote(caption); });
  port_.Attach(window_.get());
  window_->CenterOnScreen();

  LoadSettings(persistence_);
  // A first start: the boxes get this machine's own network instead of the Windows defaults.
  const bool hasStart = ProfileHasKey(seams_.profile, texts::kSettingsSection, texts::kSettingsStartKey);
  const bool hasEnd = ProfileHasKey(seams_.profile, texts::kSettingsSection, texts::kSettingsEndKey);
  if (!hasStart || !hasEnd) {
    if (const std::optional<AddressRange> own = seams_.ownRange ? seams_.ownRange() : std::nullopt) {
      if (!hasStart) port_.SetText(UiText::StartIp, own->first);
      if (!hasEnd) port_.SetText(UiText::EndIp, own->last);
    }
  }
}

void QtProgram::Show() {
  window_->show();
}

void QtProgram::Close() {
  files_.Close();
  if (hostNames_) hostNames_->SetListener(nullptr);
  batcher_.Close();
  table.SetListener(nullptr);
  window_.reset();
}

void QtProgram::OnStartStop() {
  // A click that starts a scan needs an engine first; one that stops a run does not.
  const bool starts = StartStopClickStarts(commands_);
  if (starts && !OpenEngine()) return;
  if (starts) {
    std::lock_guard<std::mutex> lock(notesMutex_);
    scanNotes_.clear();
    paceNote_.reset();
    if (pacer_ != nullptr) pacer_->TakeReport();  // the next report covers this scan
  }
  OnStartStopClick(commands_);
}

namespace {

// After a scan's summary when the network held the pace back: the requests a second, and how many
// answers came after their address was given up.
std::string PaceNote(const arp::PaceReport& report) {
  if (!report.limited) return std::string();
  std::string note = linuxtexts::kPaceNoteStart +
                     std::to_string(static_cast<long>(report.averageRate + 0.5)) + linuxtexts::kPaceNoteRate;
  if (report.lateAnswers > 0) note += linuxtexts::kPaceNoteLate + std::to_string(report.lateAnswers);
  return note + linuxtexts::kPaceNoteEnd;
}

}  // namespace

std::string QtProgram::CaptionNote(const std::string& caption) {
  if (caption.rfind(std::string(texts::kRunScan) + texts::kSummaryElapsed, 0) != 0) return std::string();
  std::string note;
  {
    std::lock_guard<std::mutex> lock(notesMutex_);
    for (const std::string& line : scanNotes_) note += "  [" + line + "]";
    if (!paceNote_) paceNote_ = pacer_ != nullptr ? PaceNote(pacer_->TakeReport()) : std::string();
    note += *paceNote_;
  }
  const std::uint32_t unprobed = state.UnprobedAddresses;
  const std::uint32_t count = state.IpCount;
  if (unprobed != 0 && unprobed <= count) {
    note += linuxtexts::kPartialScanBefore + std::to_string(count - unprobed) + "/" + std::to_string(count) +
            linuxtexts::kPartialScanAfter;
  }
  return note;
}

bool QtProgram::OpenEngine() {
  if (probe_.Open()) return true;
  ArpEngineOptions options;
  // Said on standard error, and in the title with the scan's summary.
  options.report = [this](const std::string& line) {
    std::fprintf(stderr, "quarvo: %s\n", line.c_str());
    std::lock_guard<std::mutex> lock(notesMutex_);
    scanNotes_.push_back(line);
  };
  options.rateCap = RateSetting(seams_.profile);
  OpenedArpEngine opened = seams_.openEngine(options);
  if (!opened.probe) {
    dialogs_.ShowError(
        Utf8ToCp936(std::string(linuxtexts::kNoEngine) + opened.error + linuxtexts::kListsStillWork));
    return false;
  }
  probe_.Set(std::move(opened.probe));
  pacer_ = opened.pacer;
  switch (opened.kind) {
    case ArpEngineKind::Raw:
      port_.SetTitleNote(linuxtexts::kRawEngineNote);
      break;
    case ArpEngineKind::Helper:
      port_.SetTitleNote(linuxtexts::kHelperEngineNote);
      break;
    case ArpEngineKind::Kernel:
      port_.SetTitleNote(linuxtexts::kKernelEngineNote);
      dialogs_.ShowMessage(Utf8ToCp936(linuxtexts::kKernelEngineHint + seams_.helperPath),
                           texts::kAppCaption);
      break;
  }
  return true;
}

// An error that nothing else caught ends the program with an error box, as on Windows.
template <class F>
void QtProgram::Guarded(F&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    QMessageBox::critical(window_.get(), QString::fromStdString(texts::kAppCaption),
                          QString::fromStdString(Cp936ToUtf8(error.what())));
    std::_Exit(1);  // workers may still run: no clean-up that they could trip over
  }
}

}  // namespace quarvo
