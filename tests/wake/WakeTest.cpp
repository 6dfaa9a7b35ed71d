#include <gtest/gtest.h>

#include <sstream>

#include "core/ScanHarness.h"
#include "net/MagicPacket.h"
#include "scan/RunSummary.h"
#include "text/TextHelpers.h"
#include "wake/WakeRun.h"

namespace quarvo {
namespace {

using Texts = std::vector<std::string>;
using Packets = std::vector<std::vector<std::uint8_t>>;

std::string Dotted(std::uint32_t host) {
  return std::to_string(host >> 24) + "." + std::to_string(host >> 16 & 0xFF) + "." +
         std::to_string(host >> 8 & 0xFF) + "." + std::to_string(host & 0xFF);
}

// Logs each socket call as a word; the calls named in `failing` fail. Used by one thread at a time.
struct FakeSocket final : WakeSocket {
  std::string calls, failing;
  Packets packets;
  std::vector<WakeNetwork> networks;
  std::function<void(std::size_t)> onSend;  // after packet n went out

  bool Log(const std::string& call, SocketHandle socket = 5) {
    calls += (calls.empty() ? "" : " ") + call + (socket == 5 ? "" : "(wrong socket)");
    std::istringstream words(failing);
    for (std::string word; words >> word;) {
      if (word == call || word == call.substr(0, call.find('('))) return false;
    }
    return true;
  }
  bool Startup() override { return Log("Startup"); }
  std::vector<WakeNetwork> Networks() override { return networks; }
  bool BindLocal(SocketHandle socket, std::uint32_t address) override {
    return Log("Bind(" + Dotted(address) + ")", socket);
  }
  SocketHandle OpenDatagram() override { return Log("Open") ? 5 : kNoSocket; }
  bool AllowBroadcast(SocketHandle socket) override { return Log("Broadcast", socket); }
  bool SendTo(SocketHandle socket, const std::uint8_t* bytes, std::size_t size, std::uint32_t address,
              std::uint16_t port) override {
    packets.emplace_back(bytes, bytes + size);
    const std::string to = address == 0xFFFFFFFFu ? "" : "(" + Dotted(address) + ")";
    const bool sent = Log(port == 9 ? "Send" + to : "Send(wrong port)", socket);
    if (onSend) onSend(packets.size() - 1);
    return sent;
  }
  void Close(SocketHandle socket) override { Log("Close", socket); }
  void Cleanup() override { Log("Cleanup"); }
};

// A socket that cannot be opened is covered by the WakeRun failure test.
TEST(MagicPacket, MacBytesPacketAndSocketCalls) {
  const MacBytes mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  const struct {
    std::string text, failing;
    MacBytes mac;
  } cases[] = {{"00-1A-2B-3C-4D-5E", "", mac},
               {"00:1a-2B.3c#4D\0015E and more", "Startup Broadcast Send Close Cleanup", mac},
               {"FF-FF-FF-FF-FF-FF", "Send", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
               {"00-1A-2B-3C-4D-5", "", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x05}}};
  for (const auto& c : cases) {
    FakeSocket socket;
    socket.failing = c.failing;
    bool taken = false;
    EXPECT_NO_THROW(taken = SendWakePacket(c.text, "", socket));
    EXPECT_EQ(taken, c.failing.find("Send") == std::string::npos) << c.text;
    std::vector<std::uint8_t> packet(6, 0xFF);
    for (int copy = 0; copy < 16; ++copy) packet.insert(packet.end(), c.mac.begin(), c.mac.end());
    EXPECT_EQ(socket.calls, "Startup Open Broadcast Send Close Cleanup") << c.text;
    EXPECT_EQ(socket.packets, Packets{packet}) << c.text;
  }
  for (const char* text : {"001A2B3C4D5E", "", "00-1A-2B-3C-4D-5G", "00-1A-2B-3C- 4-5E"}) {
    FakeSocket socket;
    EXPECT_THROW(SendWakePacket(text, "10.0.0.1", socket), ConversionError) << text;
    EXPECT_EQ(socket.calls, "") << text;  // refused before any socket call
  }
}

// A packet leaves by the network that holds the machine's address, to its broadcast address and
// the limited one, from a socket bound to this machine's address there: not by whichever interface
// the default route names. A machine on no known network, or with no address, is looked for on
// every network; a network with no broadcast address of its own gets the limited one alone.
TEST(MagicPacket, LeavesByTheNetworkThatHoldsTheMachine) {
  const std::vector<WakeNetwork> networks = {
      {0xC0A80105, 24}, {0x0A4D0001, 16}, {0x0A4D0702, 24}, {0x0A4D0703, 24}, {0xAC100009, 32}};
  const std::string lan = "Open Broadcast Bind(192.168.1.5) Send(192.168.1.255) Send Close";
  const std::string wide = "Open Broadcast Bind(10.77.0.1) Send(10.77.255.255) Send Close";
  const std::string dock = "Open Broadcast Bind(10.77.7.2) Send(10.77.7.255) Send Close";
  const std::string wifi = "Open Broadcast Bind(10.77.7.3) Send(10.77.7.255) Send Close";
  const std::string point = "Open Broadcast Bind(172.16.0.9) Send Close";
  const std::string every = lan + " " + wide + " " + dock + " " + wifi + " " + point;
  const struct {
    std::string ip, calls;
  } cases[] = {
      {"192.168.1.77", lan},
      {" 10.77.0.9 ", wide},             // the /16, not the /24s that do not hold it
      {"10.77.7.9", dock + " " + wifi},  // two interfaces on one network: both
      {"", every},
      {"\xD6\xF7\xBB\xFA", every},  // a hand-edited cell that is no address
      {"172.31.0.1", every},
  };
  for (const auto& c : cases) {
    FakeSocket socket;
    socket.networks = networks;
    EXPECT_TRUE(SendWakePacket("00-1A-2B-3C-4D-5E", c.ip, socket)) << c.ip;
    EXPECT_EQ(socket.calls, "Startup " + c.calls + " Cleanup") << c.ip;
  }
  // Only refused sends make a packet that was not taken; a refused binding sends nothing by it.
  FakeSocket refused;
  refused.networks = {networks[0], networks[1]};
  refused.failing = "Send(192.168.1.255) Bind";
  EXPECT_FALSE(SendWakePacket("00-1A-2B-3C-4D-5E", "", refused));
  refused.failing = "Send(192.168.1.255)";
  EXPECT_TRUE(SendWakePacket("00-1A-2B-3C-4D-5E", "192.168.1.1", refused));
}

// Row n of `rows` is numbered "0<n>", with IP 10.0.0.<n> and MAC 00-00-00-00-00-0<n>.
struct WakeHarness : testing::ScanHarness {
  FakeSocket socket;
  WakeHarness(int rows, std::initializer_list<int> selected) {
    for (int n = 1; n <= rows; ++n) {
      table.SetCell(table.AddRow("0" + std::to_string(n)), ColIp, "10.0.0." + std::to_string(n));
      table.SetCell(n - 1, ColMac, "00-00-00-00-00-0" + std::to_string(n));
    }
    for (int n : selected) table.SetSelected(n - 1, true);
  }
  ~WakeHarness() { threads.JoinAll(); }  // before the socket goes
  std::vector<int> Woken() {             // the last MAC byte of each packet: the rows woken, in order
    std::vector<int> rows;
    for (const auto& packet : socket.packets) rows.push_back(packet.back());
    return rows;
  }
};

TEST(WakeRun, WalksTheLiveSelectionPausingAsTheBoxSaysAfterEachPacket) {
  WakeHarness wake(6, {1, 2, 3, 4});
  wake.table.SetCell(3, ColMac, "001A2B3C4D5E");  // unreadable: shown, skipped, not counted
  wake.clock.Set(1000);
  wake.clock.SetStep(250);
  const Texts typed = {"", "0", "40"};  // typed while each packet goes out
  wake.socket.onSend = [&](std::size_t packet) {
    wake.window.Put(UiText::Threads, typed[packet]);
    if (packet != 0) return;
    wake.table.SetSelected(0, false);  // the current row: already done
    wake.table.SetSelected(2, false);
    wake.table.SetSelected(5, true);
  };
  wake.window.Put(UiText::Threads, "100");
  ASSERT_TRUE(StartWakeRun(wake.context, wake.socket));
  wake.threads.JoinAll();
  EXPECT_EQ(wake.Woken(), (std::vector<int>{1, 2, 6}));
  EXPECT_EQ(wake.clock.Sleeps(), (std::vector<std::uint32_t>{1, 0}));  // none after the last machine
  EXPECT_EQ(wake.window.History(UiText::MainCaption),
            (Texts{"10.0.0.1", "10.0.0.2", "10.0.0.4", "10.0.0.6",
                   SummaryLine(texts::kRunWake, 250, 3, 6, false, 0)}));
  EXPECT_EQ(wake.window.History(UiText::StartStop),
            (Texts{texts::kStopCaption, texts::kStopCaption, texts::kStartCaption}));
  const std::pair<const char*, std::uint32_t> pauses[] = {
      {"  250", 250}, {"$10", 16}, {"250 ", 1}, {"-1", 1}, {"$FFFFFFFF", 1}, {"2147483648", 1}};
  for (const auto& [text, pause] : pauses) EXPECT_EQ(WakePause(text), pause) << text;
}

TEST(WakeRun, RowsCountOnlyWhenTheSystemTookTheirPacketAndTheRunEndsIdle) {
  // A refused send or socket is no woken machine; the run goes on with the next row all the same.
  const std::pair<std::string, std::uint32_t> cases[] = {
      {"Startup", 3}, {"Broadcast", 3}, {"Open", 0}, {"Send", 0}, {"Startup Open Broadcast Send", 0}};
  for (const auto& [failing, counted] : cases) {
    WakeHarness wake(4, {1, 2, 4});
    wake.socket.failing = failing;
    wake.clock.SetStep(7);
    ASSERT_TRUE(StartWakeRun(wake.context, wake.socket));
    wake.threads.JoinAll();
    const bool opened = failing.find("Open") == std::string::npos;
    const std::string row = opened ? "Startup Open Broadcast Send Close Cleanup" : "Startup Open Cleanup";
    EXPECT_EQ(wake.socket.calls, row + " " + row + " " + row) << failing;  // every socket closed
    EXPECT_EQ(wake.Woken(), (opened ? std::vector<int>{1, 2, 4} : std::vector<int>{})) << failing;
    EXPECT_EQ(wake.window.Text(UiText::MainCaption), SummaryLine(texts::kRunWake, 7, counted, 4, false, 0))
        << failing;
    EXPECT_TRUE(wake.state.StopRequested);
    EXPECT_EQ(wake.window.Text(UiText::StartStop), texts::kStartCaption);
  }
}

// The real pause: as long as asked, and over within a slice once the stop flag is set.
TEST(WakeRun, APauseEndsSoonAfterAStop) {
  struct SteppingClock final : Clock {
    std::uint32_t now = 0, slept = 0;
    std::atomic<bool>* stop = nullptr;
    std::uint32_t stopAt = 0;
    std::uint32_t TickCount() override { return now; }
    void Sleep(std::uint32_t ms) override {
      now += ms;
      slept += ms;
      if (stop != nullptr && now >= stopAt) *stop = true;
    }
  };
  std::atomic<bool> stop{false};
  SteppingClock whole;
  whole.Pause(15000, stop);
  EXPECT_EQ(whole.slept, 15000u);
  SteppingClock stopped;
  stopped.stop = &stop;
  stopped.stopAt = 1000;
  stopped.Pause(15000, stop);
  EXPECT_GE(stopped.slept, 1000u);
  EXPECT_LE(stopped.slept, 1100u);
}

struct DeferredThreads final : ThreadLauncher {  // holds each thread until the test runs it
  bool Launch(std::function<void()> body) override { return bodies.push_back(std::move(body)), true; }
  std::vector<std::function<void()>> bodies;
};

TEST(WakeRun, StartsOnceWhenIdleWithASelectionAndAStopDuringThePauseEndsIt) {
  const struct {
    bool idle, selected, launches;
    std::uint32_t scanWorkers, runs;  // threads of an earlier run, still alive
  } refused[] = {{false, true, true, 0, 0},
                 {true, false, true, 0, 0},
                 {true, true, false, 0, 0},
                 {true, true, true, 3, 1},
                 {true, true, true, 0, 1}};
  for (const auto& c : refused) {
    WakeHarness wake(2, {});
    wake.table.SetSelected(1, c.selected);
    wake.state.StopRequested = c.idle;
    wake.state.LiveThreads = c.scanWorkers;
    wake.state.LiveRuns = c.runs;
    if (!c.launches) wake.threads.RefuseFrom(0);
    EXPECT_FALSE(StartWakeRun(wake.context, wake.socket));
    EXPECT_EQ(wake.state.StopRequested, c.idle);
    EXPECT_NE(wake.window.Text(UiText::StartStop), texts::kStopCaption);
  }
  WakeHarness wake(3, {1, 2, 3});
  DeferredThreads deferred;
  RunContext context{wake.state, wake.table, wake.window, wake.clock, deferred, wake.probe};
  EXPECT_TRUE(StartWakeRun(context, wake.socket));
  EXPECT_FALSE(StartWakeRun(context, wake.socket));  // the first run's thread has not begun yet
  wake.clock.SetStep(5000);
  wake.clock.OnSleep([&](std::uint32_t) { wake.state.StopRequested = true; });  // Stop pressed meanwhile
  wake.window.Put(UiText::Threads, "5000");
  for (auto& body : deferred.bodies) body();
  EXPECT_EQ(wake.Woken(), std::vector<int>{1});
  EXPECT_EQ(wake.clock.Sleeps(), std::vector<std::uint32_t>{5000});  // stopped during it: no second row
  EXPECT_EQ(wake.window.History(UiText::MainCaption),
            (Texts{"10.0.0.1", SummaryLine(texts::kRunWake, 5000, 1, 3, false, 0)}));
  EXPECT_EQ(wake.window.Text(UiText::StartStop), texts::kStartCaption);
  EXPECT_FALSE(wake.state.RunThreadAlive());
  // A Stop between the menu command and the thread's start is kept: nothing is woken.
  ASSERT_TRUE(StartWakeRun(context, wake.socket));
  wake.state.StopRequested = true;
  deferred.bodies.back()();
  EXPECT_EQ(wake.Woken(), std::vector<int>{1});  // the first run's packet only
  EXPECT_EQ(wake.window.Text(UiText::StartStop), texts::kStartCaption);
}

// After each pause the run goes on after the machine just woken, found by its number: rows added
// or removed during the pause, the woken one included, never make it wake a row nobody selected.
TEST(WakeRun, GoesOnAfterTheMachineJustWokenWhateverChangedDuringThePause) {
  const struct {
    const char* change;
    std::function<void(ResultsTable&)> duringFirstPause;
    std::vector<int> woken;
  } cases[] = {
      {"a row above removed", [](ResultsTable& t) { t.DeleteRow(0); }, {5, 6}},
      {"a row added above", [](ResultsTable& t) { t.AddRow("00"); }, {5, 6}},
      {"the woken row removed", [](ResultsTable& t) { t.DeleteRow(t.FindRow("05")); }, {5, 6}},
      {"the next one deselected", [](ResultsTable& t) { t.SetSelected(t.FindRow("06"), false); }, {5}},
  };
  for (const auto& c : cases) {
    WakeHarness wake(7, {5, 6});
    bool changed = false;
    wake.clock.OnSleep([&](std::uint32_t) { changed = changed || (c.duringFirstPause(wake.table), true); });
    ASSERT_TRUE(StartWakeRun(wake.context, wake.socket));
    wake.threads.JoinAll();
    EXPECT_EQ(wake.Woken(), c.woken) << c.change;
    EXPECT_FALSE(wake.state.RunThreadAlive()) << c.change;
  }
}

}  // namespace
}  // namespace quarvo
