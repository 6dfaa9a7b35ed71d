#include "front/cli/WakeCommand.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "front/cli/CommandLine.h"
#include "front/cli/RunSession.h"
#include "front/cli/ScanCommand.h"
#include "net/Ipv4Text.h"
#include "net/MagicPacket.h"
#include "platform/posix/Cp936Utf8.h"
#include "text/Cp936Texts.h"
#include "text/TextHelpers.h"
#include "text/VisibleText.h"

namespace quarvo {

namespace {

struct WakeFailure {
  int status;
  std::string message;
};

struct Target {
  std::string ip;     // from the list's row; empty for a MAC given as such
  std::string mac;    // as the row (code page 936) or the argument holds it
  std::string shown;  // the MAC for the terminal, in UTF-8
};

bool IsMacText(const std::string& text) {
  try {
    ReadMacBytes(text);
    return true;
  } catch (const ConversionError&) {
    return false;
  }
}

// The wake run swallows every failed socket call, as the window does; the command line wants to
// know. This socket passes each call on, counts the machines of which the system took a packet,
// remembers why the first machine had none taken, and then asks the run to stop as the Stop button
// does: with no route for the broadcast, no later packet gets further. One machine's packets run
// from Startup to Cleanup. With an interface named, its networks are the only ways out.
class RecordingSocket final : public WakeSocket {
 public:
  RecordingSocket(WakeSocket& inner, RunState& state, std::vector<WakeNetwork> only, bool filtered)
      : inner_(inner), state_(state), only_(std::move(only)), filtered_(filtered) {}
  bool Startup() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      taken_ = false;
      lastError_.clear();
    }
    return Note(inner_.Startup(), "starting the sockets");
  }
  std::vector<WakeNetwork> Networks() override { return filtered_ ? only_ : inner_.Networks(); }
  bool BindLocal(SocketHandle socket, std::uint32_t address) override {
    return Note(inner_.BindLocal(socket, address), "binding to " + DottedHost(address));
  }
  SocketHandle OpenDatagram() override {
    const SocketHandle socket = inner_.OpenDatagram();
    Note(socket != kNoSocket, "opening a UDP socket");
    return socket;
  }
  // A refusal here shows as the send's failure.
  bool AllowBroadcast(SocketHandle socket) override { return inner_.AllowBroadcast(socket); }
  bool SendTo(SocketHandle socket, const std::uint8_t* bytes, std::size_t length, std::uint32_t address,
              std::uint16_t port) override {
    const bool sent = Note(inner_.SendTo(socket, bytes, length, address, port),
                           "sending to " + DottedHost(address) + " port " + std::to_string(port));
    std::lock_guard<std::mutex> lock(mutex_);
    taken_ = taken_ || sent;
    return sent;
  }
  void Close(SocketHandle socket) override { inner_.Close(socket); }
  void Cleanup() override {
    inner_.Cleanup();
    std::lock_guard<std::mutex> lock(mutex_);
    if (!failure_.empty()) return;
    if (taken_) {
      ++sent_;
    } else {
      failure_ = lastError_.empty() ? "no interface to send by" : lastError_;
      state_.StopRequested = true;
    }
  }

  // Machines woken before the first that had no packet taken, and why that one had none ("" when
  // every machine had its packet taken).
  std::size_t Sent() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
  }
  std::string Failure() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
  }

 private:
  bool Note(bool worked, const std::string& step) {
    if (worked) return true;
    const int error = errno;
    std::lock_guard<std::mutex> lock(mutex_);
    if (lastError_.empty()) lastError_ = step + ": " + std::strerror(error);
    return false;
  }

  WakeSocket& inner_;
  RunState& state_;
  const std::vector<WakeNetwork> only_;
  const bool filtered_;
  std::mutex mutex_;
  std::size_t sent_ = 0;
  bool taken_ = false;
  std::string lastError_, failure_;
};

// The networks of the interface named by --interface; exit 2 when it has none.
std::vector<WakeNetwork> InterfaceNetworks(const std::string& name, CliEnvironment& env) {
  std::vector<WakeNetwork> networks;
  for (const AttachedNetwork& network : env.attachedNetworks()) {
    if (network.interfaceName == name) networks.push_back({network.address, network.prefixLength});
  }
  if (networks.empty()) {
    throw WakeFailure{kExitBadArguments, "'" + name + "' is no interface that is up with an IPv4 address"};
  }
  return networks;
}

// The row of the loaded list a target names: its machine number (found as the table finds it),
// else its IP address (the same address in any form the address parser takes).
std::int32_t ListRow(ResultsTable& table, const std::string& target) {
  const std::int32_t byNumber = table.FindRow(target);
  if (byNumber >= 0) return byNumber;
  const std::uint32_t address = ParseBerkeleyAddress(TrimText(target));
  for (std::int32_t row = 0; row < table.RowCount(); ++row) {
    const std::string ip = table.GetCell(row, ColIp);
    if (ip == target || (address != kAddressNone && ParseBerkeleyAddress(TrimText(ip)) == address))
      return row;
  }
  return -1;
}

std::vector<Target> ResolveTargets(const WakeArguments& arguments, CliEnvironment& env) {
  std::shared_ptr<RunSession> list;
  if (arguments.listFile) {
    if (!env.files.IsPresent(*arguments.listFile)) {
      throw WakeFailure{kExitFailed, "no list file '" + *arguments.listFile + "'"};
    }
    list =
        RunSession::Create(env.clock, env.threads, env.wakeSocket, env.files, nullptr, *arguments.listFile);
    LoadList(list->persistence);
    for (const std::string& error : list->dialogs.Errors())
      throw WakeFailure{kExitFailed, Cp936ToUtf8(error)};
  }
  std::vector<Target> targets;
  for (const std::string& word : arguments.targets) {
    const std::int32_t row = list ? ListRow(list->table, word) : -1;
    if (row >= 0) {
      Target target{list->table.GetCell(row, ColIp), list->table.GetCell(row, ColMac), ""};
      target.shown = VisibleText(Cp936ToUtf8(target.mac));
      if (!IsMacText(target.mac)) {
        throw WakeFailure{kExitFailed, "the row of '" + word + "' in '" + *arguments.listFile +
                                           "' holds no MAC address: '" + target.shown + "'"};
      }
      targets.push_back(target);
    } else if (IsMacText(word)) {
      targets.push_back({"", word, word});
    } else {
      throw WakeFailure{kExitBadArguments,
                        "'" + word + "' is not a MAC address" +
                            (list ? " nor a machine number or IP address of '" + *arguments.listFile + "'"
                                  : " (give --list FILE to wake by machine number or IP address)")};
    }
  }
  return targets;
}

}  // namespace

int RunWakeCommand(const WakeArguments& arguments, CliEnvironment& env) {
  try {
    const std::vector<Target> targets = ResolveTargets(arguments, env);
    auto session = RunSession::Create(env.clock, env.threads, env.wakeSocket, env.files, nullptr,
                                      texts::kResultsFileName);
    RunSession& s = *session;
    // The targets become selected rows, keyed so that the table's order is the order they were given.
    const std::size_t digits = std::to_string(targets.size()).size();
    for (std::size_t i = 0; i < targets.size(); ++i) {
      std::string key = std::to_string(i);
      key.insert(0, digits - key.size(), '0');
      const std::int32_t row = s.table.AddRow(key);
      s.table.SetCell(row, ColIp, targets[i].ip);
      s.table.SetCell(row, ColMac, targets[i].mac);
      s.table.SetSelected(row, true);
    }
    s.window.SetText(UiText::Threads, arguments.pause);
    RecordingSocket socket(
        env.wakeSocket, s.state,
        arguments.interface ? InterfaceNetworks(*arguments.interface, env) : std::vector<WakeNetwork>{},
        arguments.interface.has_value());
    CommandContext commands{s.run, s.dialogs, s.files, socket, s.shell};
    OnListMenu(commands, kMenuWakeItem);
    if (s.threads.Refused() > 0)
      throw WakeFailure{kExitFailed, "no thread could be started for the wake run"};
    bool interrupted = false;
    const std::string summary = Cp936ToUtf8(s.WaitForEnd(texts::kRunWake, env, nullptr, interrupted));
    if (!socket.Failure().empty()) {
      throw WakeFailure{kExitFailed, "no magic packet for " + targets[socket.Sent()].shown + ": " +
                                         socket.Failure() + " (" + std::to_string(socket.Sent()) + " of " +
                                         std::to_string(targets.size()) + " sent)"};
    }
    std::string output;
    for (std::size_t i = 0; i < socket.Sent(); ++i) {
      output += targets[i].shown +
                (targets[i].ip.empty() ? "" : "  " + VisibleText(Cp936ToUtf8(targets[i].ip))) + "\n";
    }
    env.out << output << summary << "\n" << std::flush;
    return interrupted ? kExitInterrupted : kExitDone;
  } catch (const WakeFailure& failure) {
    env.err << "quarvo: " << failure.message << "\n";
    return failure.status;
  }
}

}  // namespace quarvo
