#include <gmock/gmock.h>

#include "cli/CliHarness.h"
#include "front/cli/ScanCommand.h"
#include "front/cli/TableOutput.h"
#include "platform/posix/Cp936Utf8.h"

namespace quarvo {
namespace {

using ::testing::HasSubstr;

TEST(CommandLine, BadArgumentsExitTwoNamingTheValueWithNothingOnStandardOutput) {
  const struct {
    std::vector<std::string> words;
    std::string message;
  } cases[] = {
      {{}, "no command given"},
      {{"frob"}, "unknown command 'frob'"},
      {{"--version", "x"}, "unknown command '--version'"},
      {{"scan", "10.0.0.1"}, "scan needs FIRST and LAST addresses, or --localnet"},
      {{"scan", "10.0.0.1", "10.0.0.2", "10.0.0.3"}, "scan needs FIRST and LAST"},
      {{"scan", "10.0.0.1", "255.255.255.255"}, "'255.255.255.255' is not an IPv4 address"},
      {{"scan", "10.0.0.300", "10.0.0.1"}, "'10.0.0.300' is not an IPv4 address"},
      {{"scan", "1", "2", "--threads", "12 "}, "'12 ' is not a valid integer value"},
      {{"scan", "1", "2", "--threads=ten"}, "'ten' is not a valid integer value"},
      {{"scan", "1", "2", "--threads"}, "--threads needs a value"},
      {{"scan", "1", "2", "--timeout", "0"}, "'0' is not a time-out from 1 to 60000 ms"},
      {{"scan", "1", "2", "--timeout", "60001"}, "'60001' is not a time-out"},
      {{"scan", "1", "2", "--timeout", "1s"}, "'1s' is not a valid integer value"},
      {{"scan", "1", "2", "--rate", "0"}, "'0' is not a rate from 1 to 100000 requests a second"},
      {{"scan", "1", "2", "--rate=100001"}, "'100001' is not a rate"},
      {{"scan", "1", "2", "--rate", "15/s"}, "'15/s' is not a valid integer value"},
      {{"scan", "1", "2", "--save"}, "--save needs --list FILE"},
      {{"scan", "1", "2", "--pause", "5"}, "unknown option '--pause'"},
      {{"scan", "1", "2", "--tsv=yes"}, "unknown option '--tsv=yes'"},
      {{"scan", "--localnet", "10.0.0.1"}, "--localnet takes no addresses: '10.0.0.1'"},
      {{"wake"}, "wake needs at least one TARGET"},
      {{"wake", "--pause", "-1", "00-00-00-00-00-01"}, "'-1' is not a pause of 0 ms or more"},
      {{"wake", "--pause", "x", "00-00-00-00-00-01"}, "'x' is not a valid integer value"},
      {{"wake", "--threads", "5", "00-00-00-00-00-01"}, "unknown option '--threads'"},
      {{"wake", "001"}, "'001' is not a MAC address (give --list FILE"},
      {{"wake", "00-00-00-00-00-01", "001A2B3C4D5E"}, "'001A2B3C4D5E' is not a MAC address"},
  };
  for (const auto& c : cases) {
    testing::CliHarness h;
    SCOPED_TRACE(::testing::PrintToString(c.words));
    EXPECT_EQ(h.Run(c.words), kExitBadArguments);
    EXPECT_THAT(h.err.str(), HasSubstr("quarvo: " + c.message));
    EXPECT_EQ(h.out.str(), "");
    EXPECT_TRUE(h.socket.packets.empty());
    EXPECT_EQ(h.probe->RequestCount(), 0);
  }
}

TEST(CommandLine, HelpAndVersion) {
  testing::CliHarness h;
  EXPECT_EQ(h.Run({"--version"}), 0);
  EXPECT_EQ(h.out.str(), "quarvo 1.1.0\n");
  for (const auto& words : {std::vector<std::string>{"--help"}, {"scan", "x", "--help"}, {"-h"}}) {
    EXPECT_EQ(h.Run(words), 0);
    EXPECT_THAT(h.out.str(),
                HasSubstr("quarvo wake [--pause MS] [--list FILE] [--interface NAME] TARGET..."));
    EXPECT_EQ(h.err.str(), "");
  }
}

TEST(LocalnetRange, HostsOfTheNetworkAtMostASixteenAroundTheAddress) {
  const struct {
    std::string address;
    int prefix;
    std::string first, last;
  } cases[] = {
      {"192.168.1.77", 24, "192.168.1.1", "192.168.1.254"}, {"10.9.8.7", 16, "10.9.0.1", "10.9.255.254"},
      {"10.9.8.7", 8, "10.9.0.0", "10.9.255.255"},          {"10.0.8.7", 8, "10.0.0.1", "10.0.255.255"},
      {"172.16.0.9", 30, "172.16.0.9", "172.16.0.10"},      {"172.16.0.9", 31, "172.16.0.8", "172.16.0.9"},
      {"172.16.0.9", 32, "172.16.0.9", "172.16.0.9"},       {"1.2.3.4", 0, "1.2.0.0", "1.2.255.255"},
  };
  for (const auto& c : cases) {
    AttachedNetwork network;
    const std::uint32_t n = testing::NetworkOrder(c.address);
    network.address = (n & 0xFF) << 24 | (n >> 8 & 0xFF) << 16 | (n >> 16 & 0xFF) << 8 | n >> 24;
    network.prefixLength = c.prefix;
    const HostRange range = LocalnetRange(network);
    EXPECT_EQ(DottedHost(range.first) + " " + DottedHost(range.last), c.first + " " + c.last)
        << c.address << "/" << c.prefix;
  }
}

TEST(TerminalText, Cp936ToUtf8AndDisplayWidth) {
  const struct {
    std::string cp936, utf8;
    std::size_t width;
  } cases[] = {
      {"00-1A-2B", "00-1A-2B", 8},
      {"\xBB\xFA\xBA\xC5", "机号", 4},
      {"\xA1\xCC\xA1\xC1", "√×", 2},
      {" ms\xA1\xA1IP", " ms\u3000IP", 7},
      {"a\xFF"
       "b",
       "a\uFFFD"
       "b",
       3},                      // a byte the code page does not map
      {"x\xBB", "x\uFFFD", 2},  // a lead byte at the end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Cp936ToUtf8(c.cp936), c.utf8);
    EXPECT_EQ(DisplayWidth(c.utf8), c.width) << c.utf8;
  }
}

}  // namespace
}  // namespace quarvo
