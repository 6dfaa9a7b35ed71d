#include <gmock/gmock.h>

#include "cli/CliHarness.h"
#include "platform/linux/HostNames.h"

namespace quarvo {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const MacBytes kMac2 = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const MacBytes kMac4 = {0x00, 0x00, 0x00, 0x00, 0x00, 0x44};
const MacBytes kMac5 = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x05};

// 192.168.1.1 to .5: .2, .4 and .5 answer.
struct ScanCase : testing::CliHarness {
  ScanCase() {
    probe->Answer("192.168.1.2", kMac2);
    probe->Answer("192.168.1.4", kMac4);
    probe->Answer("192.168.1.5", kMac5);
  }
};

// A saved list: .2 with its MAC, .3 (silent now), .4 with an older MAC, and a row outside the range
// whose IP cell holds code-page-936 text ("主机").
const std::string kSavedList =
    "2\t192.168.1.2\t00-1A-2B-3C-4D-5E\r\n"
    "3\t192.168.1.3\tAA-AA-AA-AA-AA-AA\r\n"
    "4\t192.168.1.4\t00-00-00-00-00-01\r\n"
    "9\t\xD6\xF7\xBB\xFA\t11-11-11-11-11-11\r\n";

TEST(ScanCommand, PrintsTheAlignedTableAndSummaryInUtf8) {
  ScanCase h;
  EXPECT_EQ(h.Run({"scan", "192.168.1.5", " 192.168.1.1", "--timeout", "700", "--rate", "15"}), 0);
  EXPECT_EQ(h.out.str(),
            "机号  IP地址       MAC地址            线程  变更  状态\n"
            "2     192.168.1.2  00-1A-2B-3C-4D-5E  2     New   √\n"
            "4     192.168.1.4  00-00-00-00-00-44  4     New   √\n"
            "5     192.168.1.5  AA-BB-CC-DD-EE-05  5     New   √\n"
            "扫描耗时: 0 ms\u3000IP: 3/3\u3000New: 3\n");
  EXPECT_EQ(h.err.str(), "quarvo: raw ARP engine\n");  // no progress line off a terminal
  EXPECT_EQ(h.opened.timeoutMs, 700u);
  EXPECT_EQ(h.opened.rateCap, 15u);
  EXPECT_EQ(h.probe->RequestCount(), 5);
}

TEST(ScanCommand, SaysWhenTheNetworkHeldThePaceBack) {
  ScanCase h;
  h.latePacer = std::make_shared<arp::ArpPacer>(arp::SteadyPacerClock(), 800, 0);
  EXPECT_EQ(h.Run({"scan", "192.168.1.1", "192.168.1.5", "--tsv"}), 0);
  EXPECT_THAT(h.err.str(), HasSubstr("quarvo: the network limited the pace to about "));
  EXPECT_THAT(h.err.str(), HasSubstr(" ARP requests a second (5 answers came too late)\n"));
}

TEST(ScanCommand, MarksAgainstALoadedListWritesItBackOnlyWithSave) {
  const std::string tsv =
      "2\t192.168.1.2\t00-1A-2B-3C-4D-5E\t0\tNo\t√\n"
      "3\t192.168.1.3\tAA-AA-AA-AA-AA-AA\t0\tNo\t×\n"
      "4\t192.168.1.4\t00-00-00-00-00-44\t0\tYes\t√\n"
      "5\t192.168.1.5\tAA-BB-CC-DD-EE-05\t5\tNew\t√\n"
      "9\t主机\t11-11-11-11-11-11\t0\tNo\t×\n";
  const std::string merged =
      "2\t192.168.1.2\t00-1A-2B-3C-4D-5E\r\n"
      "3\t192.168.1.3\tAA-AA-AA-AA-AA-AA\r\n"
      "4\t192.168.1.4\t00-00-00-00-00-44\r\n"
      "5\t192.168.1.5\tAA-BB-CC-DD-EE-05\r\n"
      "9\t\xD6\xF7\xBB\xFA\t11-11-11-11-11-11\r\n";
  for (const bool save : {false, true}) {
    ScanCase h;
    h.files.files["office.txt"] = kSavedList;
    std::vector<std::string> words = {"scan", "192.168.1.1", "192.168.1.5", "--tsv", "--list", "office.txt"};
    if (save) words.push_back("--save");
    EXPECT_EQ(h.Run(words), 0);
    EXPECT_EQ(h.out.str(), tsv);
    EXPECT_EQ(h.err.str(), "quarvo: raw ARP engine\n扫描耗时: 0 ms\u3000IP: 3/5\u3000New: 1\n");
    // The list's own name only; no settings file, and the window's list is not touched.
    EXPECT_EQ(h.files.files,
              (std::map<std::string, std::string>{{"office.txt", save ? merged : kSavedList}}));
  }
}

TEST(ScanCommand, FailuresExitOneWithTheirMessageAndNothingOnStandardOutput) {
  const struct {
    const char* name;
    std::function<void(testing::CliHarness&)> arrange;
    std::vector<std::string> extra;
    std::string message;
  } cases[] = {
      {"no engine",
       [](auto& h) { h.engineError = "raw: Operation not permitted; kernel: no netlink socket"; },
       {},
       "quarvo: raw: Operation not permitted; kernel: no netlink socket\n"},
      {"unwritable list",
       [](auto& h) { h.files.failReplace["Quarvo.txt"] = 5; },
       {"--save"},
       "quarvo: File access denied\n"},
      {"unreadable list",
       [](auto& h) { h.files.failRead["Quarvo.txt"] = 1013; },
       {},
       "quarvo: I/O error 1013\n"},
      {"workers refused",
       [](auto& h) { h.threads.RefuseFrom(3); },
       {},
       "quarvo: only 2 of 5 addresses were probed: no more threads could be started\n"},
      {"no network", [](auto&) {}, {"--localnet"}, "no IPv4 network is attached"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScanCase h;
    h.files.files["Quarvo.txt"] = kSavedList;
    c.arrange(h);
    std::vector<std::string> words = {"scan", "--list", "Quarvo.txt"};
    if (c.extra != std::vector<std::string>{"--localnet"})
      words.insert(words.end(), {"192.168.1.1", "192.168.1.5"});
    words.insert(words.end(), c.extra.begin(), c.extra.end());
    EXPECT_EQ(h.Run(words), kExitFailed);
    EXPECT_THAT(h.err.str(), HasSubstr(c.message));
    EXPECT_EQ(h.out.str(), "");
    EXPECT_EQ(h.files.files.at("Quarvo.txt"), kSavedList);
  }
}

TEST(ScanCommand, LocalnetScansEachNetworkIntoATableOfItsOwn) {
  ScanCase h;
  h.probe->Answer("10.1.2.2", {0x02, 0, 0, 0, 0, 0x02});
  AttachedNetwork lan{"eth0", 2, 0xC0A80103, 29, true};         // 192.168.1.3/29: .1 to .6
  AttachedNetwork second{"eth0", 2, 0xC0A80104, 29, true};      // a second address in that network
  AttachedNetwork lab{"eth1", 3, 0x0A010203, 30, true};         // 10.1.2.3/30: .1 and .2
  AttachedNetwork bridge{"br-idle", 4, 0xAC110001, 16, false};  // no ports: no carrier
  h.networks = {lan, second, bridge, lab};
  EXPECT_EQ(h.Run({"scan", "--localnet", "--tsv"}), 0);
  // Machine number 2 is in both ranges: each network keeps its own row.
  EXPECT_EQ(h.out.str(),
            "2\t192.168.1.2\t00-1A-2B-3C-4D-5E\t2\tNew\t√\n"
            "4\t192.168.1.4\t00-00-00-00-00-44\t4\tNew\t√\n"
            "5\t192.168.1.5\tAA-BB-CC-DD-EE-05\t5\tNew\t√\n"
            "2\t10.1.2.2\t02-00-00-00-00-02\t2\tNew\t√\n");
  EXPECT_THAT(h.err.str(), HasSubstr("quarvo: scanning eth0 192.168.1.0/29: 192.168.1.1 - 192.168.1.6\n"));
  EXPECT_THAT(h.err.str(), HasSubstr("quarvo: scanning eth1 10.1.2.0/30: 10.1.2.1 - 10.1.2.2\n"));
  EXPECT_THAT(h.err.str(),
              HasSubstr("quarvo: skipping br-idle 172.17.0.0/16: it has no link (no carrier)\n"));
  EXPECT_EQ(h.probe->RequestCount(), 8);  // each network once, the idle bridge not at all

  // One list cannot hold two ranges whose machine numbers overlap.
  EXPECT_EQ(h.Run({"scan", "--localnet", "--list", "Quarvo.txt"}), kExitBadArguments);
  EXPECT_THAT(h.err.str(), HasSubstr("--localnet found 2 networks"));
  EXPECT_EQ(h.out.str(), "");
}

TEST(ScanCommand, ProgressLineOnlyOnATerminal) {
  for (const bool terminal : {false, true}) {
    ScanCase h;
    h.terminal = terminal;
    h.probe->SetLatency(100);  // long enough for the line to be redrawn during the scan
    EXPECT_EQ(h.Run({"scan", "192.168.1.1", "192.168.1.5", "--threads", "1"}), 0);
    if (terminal) {
      EXPECT_THAT(h.err.str(), HasSubstr("\r\033[K0/5 addresses, 0 found, 0.0 s"));
      EXPECT_THAT(h.err.str(), HasSubstr(" found, 0.0 s\r\033[K"));  // cleared before the table
    } else {
      EXPECT_THAT(h.err.str(), Not(HasSubstr("\r")));
    }
    EXPECT_THAT(h.out.str(), HasSubstr("IP: 3/3"));
  }
}

struct Nameless final : HostNameSource {
  std::string Resolve(std::uint32_t) override { return ""; }
};

// With names looked up or not: the engine hears of the scan's start and of the Stop.
TEST(ScanCommand, CtrlCStopsTheScanAndPrintsWhatWasFound) {
  for (const bool names : {false, true}) {
    SCOPED_TRACE(names ? "--names" : "no names");
    testing::CliHarness h;
    h.env.hostNames = [] {
      return std::make_unique<HostNames>(std::make_shared<Nameless>(), 1, std::chrono::milliseconds(10));
    };
    h.probe->SetLatency(40);
    h.probe->Answer("10.0.0.1", kMac2);
    h.probe->OnRequest([&h](std::uint32_t address) {
      if (address != testing::NetworkOrder("10.0.0.1")) h.Interrupt();
    });
    std::vector<std::string> args = {"scan", "10.0.0.1", "10.0.0.50", "--threads", "1"};
    args.push_back(names ? "--names" : "--tsv");
    EXPECT_EQ(h.Run(args), kExitInterrupted);
    EXPECT_EQ(h.probe->RequestCount(), 2);  // one worker stopped before the end of its share
    EXPECT_EQ(h.begins, 1);                 // the engine took the range as the scan began
    EXPECT_GE(h.cancels, 1);                // the probe in flight was ended, not waited for
    if (!names) {
      EXPECT_EQ(h.out.str(), "01\t10.0.0.1\t00-1A-2B-3C-4D-5E\t1\tNew\t√\n");
    }
    EXPECT_THAT(h.out.str(), HasSubstr("10.0.0.1"));
    EXPECT_THAT(h.out.str() + h.err.str(), HasSubstr("IP: 1/1\u3000New: 1\n"));
  }
}

}  // namespace
}  // namespace quarvo
