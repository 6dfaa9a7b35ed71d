#include <arpa/inet.h>
#include <gmock/gmock.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "cli/CliHarness.h"

namespace quarvo {
namespace {

using ::testing::HasSubstr;
using namespace std::chrono_literals;

std::uint32_t Address(const char* dotted) {
  in_addr address{};
  inet_pton(AF_INET, dotted, &address);
  return address.s_addr;
}

// Names by address; a lookup of `slow` waits until `release` is set.
struct ScriptedNames final : HostNameSource {
  std::map<std::uint32_t, std::string> names;
  std::uint32_t slow = 0;
  std::atomic<bool> release{false};
  std::atomic<int> running{0}, mostAtOnce{0}, asked{0};
  std::string Resolve(std::uint32_t address) override {
    ++asked;
    const int now = ++running;
    for (int most = mostAtOnce; now > most && !mostAtOnce.compare_exchange_weak(most, now);) {
    }
    std::this_thread::sleep_for(2ms);
    while (address == slow && !release) std::this_thread::sleep_for(1ms);
    --running;
    const auto found = names.find(address);
    return found == names.end() ? "" : found->second;
  }
};

// 192.168.1.1 to .5: .2 (a registered vendor, a DNS name), .4 (a locally administered MAC, a
// NetBIOS-style name) and .5 (unknown vendor, no name) answer.
struct NamesCase : testing::CliHarness {
  std::shared_ptr<ScriptedNames> source = std::make_shared<ScriptedNames>();
  VendorNames vendors{{QUARVO_IEEE_FIXTURES}};
  NamesCase() {
    probe->Answer("192.168.1.2", {0x00, 0x22, 0x72, 0x01, 0x02, 0x03});
    probe->Answer("192.168.1.4", {0x02, 0x00, 0x00, 0x00, 0x00, 0x44});
    probe->Answer("192.168.1.5", {0x00, 0x12, 0x34, 0x00, 0x00, 0x05});
    source->names = {{Address("192.168.1.2"), "router.lan"},
                     {Address("192.168.1.4"), "DESKTOP-7QK"},
                     {Address("192.168.1.3"), "silent.lan"}};
    env.vendors = &vendors;
    env.hostNames = [this] { return std::make_unique<HostNames>(source, 4, 5000ms); };
  }
};

TEST(ScanNames, TheTableGetsVendorAndHostNameOfEachMachineThatAnswered) {
  NamesCase h;
  EXPECT_EQ(h.Run({"scan", "192.168.1.1", "192.168.1.5", "--names"}), 0);
  EXPECT_EQ(
      h.out.str(),
      "机号  IP地址       MAC地址            线程  变更  状态  Vendor                            Host name\n"
      "2     192.168.1.2  00-22-72-01-02-03  2     New   √     American Micro-Fuel Device Corp.  router.lan\n"
      "4     192.168.1.4  02-00-00-00-00-44  4     New   √     randomised or local               "
      "DESKTOP-7QK\n"
      "5     192.168.1.5  00-12-34-00-00-05  5     New   √\n"
      "扫描耗时: 0 ms\u3000IP: 3/3\u3000New: 3\n");
  EXPECT_EQ(h.err.str(), "quarvo: raw ARP engine\n");
  EXPECT_EQ(h.source->asked, 3);  // silent addresses are not looked up
}

TEST(ScanNames, JsonLinesParseBackWithEveryFieldAndTheSummaryOnStandardError) {
  NamesCase h;
  h.files.files["office.txt"] =
      "3\t192.168.1.3\tAA-AA-AA-AA-AA-AA\r\n9\t\xD6\xF7\xBB\xFA\t11-11-11-11-11-11\r\n";
  EXPECT_EQ(h.Run({"scan", "192.168.1.1", "192.168.1.5", "--json", "--list", "office.txt"}), 0);
  EXPECT_EQ(h.err.str(), "quarvo: raw ARP engine\n扫描耗时: 0 ms\u3000IP: 3/5\u3000New: 3\n");
  std::vector<nlohmann::json> lines;
  std::istringstream out(h.out.str());
  for (std::string line; std::getline(out, line);) lines.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], nlohmann::json::parse(R"({"number":"2","ip":"192.168.1.2","mac":"00-22-72-01-02-03",
      "worker":"2","change":"New","status":"√","vendor":"American Micro-Fuel Device Corp.","hostname":"router.lan"})"));
  // A row of the list that did not answer: its MAC's vendor, but no name looked up for it.
  EXPECT_EQ(lines[1], nlohmann::json::parse(R"({"number":"3","ip":"192.168.1.3","mac":"AA-AA-AA-AA-AA-AA",
      "worker":"0","change":"No","status":"×","vendor":"randomised or local","hostname":null})"));
  EXPECT_EQ(lines[3]["vendor"], nullptr);
  EXPECT_EQ(lines[4]["ip"], "主机");
  // The keys in the order of the table's columns.
  EXPECT_EQ(h.out.str().substr(0, h.out.str().find(',')), "{\"number\":\"2\"");
}

TEST(ScanNames, MissingRegistriesGiveOneHintAndEmptyVendorsAndTsvStaysSixFields) {
  NamesCase h;
  VendorNames none({"/nonexistent"});
  h.env.vendors = &none;
  EXPECT_EQ(h.Run({"scan", "192.168.1.1", "192.168.1.5", "--names"}), 0);
  EXPECT_EQ(h.err.str(),
            "quarvo: raw ARP engine\n"
            "quarvo: no vendor names: the IEEE registries are missing (install the ieee-data package)\n");
  EXPECT_THAT(h.out.str(), HasSubstr("2     192.168.1.2  00-22-72-01-02-03  2     New   √" +
                                     std::string(26, ' ') + "router.lan\n"));
  EXPECT_THAT(h.out.str(), HasSubstr("randomised or local"));  // told by the address itself

  EXPECT_EQ(h.Run({"scan", "192.168.1.1", "192.168.1.5", "--tsv", "--names"}), 2);
  EXPECT_EQ(h.Run({"scan", "192.168.1.1", "192.168.1.5", "--tsv", "--json"}), 2);
  EXPECT_EQ(h.out.str(), "");
}

TEST(HostNames, ASlowNameIsGivenUpAfterItsTimeOutAndFewLookupsRunAtOnce) {
  auto source = std::make_shared<ScriptedNames>();
  for (std::uint32_t i = 1; i <= 40; ++i) source->names[i] = "host" + std::to_string(i);
  source->slow = 7;
  {
    HostNames names(source, 3, 300ms);
    std::atomic<int> found{0};
    names.SetListener([&] { ++found; });
    for (std::uint32_t i = 1; i <= 40; ++i) names.Submit(i);
    names.Submit(5);  // asked once only
    const auto start = std::chrono::steady_clock::now();
    names.WaitAll();
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 250ms);
    EXPECT_LT(waited, 3s);
    EXPECT_EQ(names.Find(7), "");
    EXPECT_EQ(names.Find(40), "host40");
    EXPECT_GE(found, 1);  // names found together are announced together
    EXPECT_EQ(source->asked, 40);
    EXPECT_LE(source->mostAtOnce, 3);
  }
  // The lookup that was given up still holds nothing of the object that is gone when it ends.
  source->release = true;
  while (source->running > 0) std::this_thread::sleep_for(1ms);
}

// Answers handed over by many scan workers at once, while every lookup thread is busy: each machine
// is looked up once and gets its name without anyone waiting for all of them.
TEST(HostNames, EveryMachineFromManyWorkersGetsItsNameOnce) {
  auto source = std::make_shared<ScriptedNames>();
  constexpr std::uint32_t kMachines = 400;
  for (std::uint32_t i = 1; i <= kMachines; ++i) source->names[i] = "host" + std::to_string(i);
  HostNames names(source, 4, 5000ms);
  std::vector<std::thread> workers;
  for (std::uint32_t worker = 0; worker < 8; ++worker) {
    workers.emplace_back([&, worker] {
      // Each address twice, as when a machine answers a second scan before its name is found.
      for (int round = 0; round < 2; ++round)
        for (std::uint32_t i = 1 + worker; i <= kMachines; i += 8) names.Submit(i);
    });
  }
  for (std::thread& worker : workers) worker.join();
  const auto allFound = [&] {
    for (std::uint32_t i = 1; i <= kMachines; ++i)
      if (names.Find(i).empty()) return false;
    return true;
  };
  const auto until = std::chrono::steady_clock::now() + 4s;
  while (!allFound() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(allFound());
  EXPECT_EQ(names.Find(kMachines), "host400");
  EXPECT_EQ(source->asked, static_cast<int>(kMachines));
  EXPECT_LE(source->mostAtOnce, 4);
}

}  // namespace
}  // namespace quarvo
