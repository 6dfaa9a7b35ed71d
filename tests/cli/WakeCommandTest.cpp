#include <gmock/gmock.h>

#include "cli/CliHarness.h"
#include "net/MagicPacket.h"

namespace quarvo {
namespace {

using ::testing::HasSubstr;

const std::string kList =
    "01\t192.168.1.1\t00-00-00-00-00-01\r\n"
    "02\t192.168.1.2\t00-00-00-00-00-02\r\n"
    "a7\t192.168.1.7\t\r\n";  // a hand-edited row with no MAC

std::vector<std::uint8_t> PacketFor(const std::string& mac) {
  const MagicPacket packet = BuildMagicPacket(ReadMacBytes(mac));
  return {packet.begin(), packet.end()};
}

TEST(WakeCommand, OnePacketPerTargetByMacNumberOrIpWithThePauseBetweenThem) {
  testing::CliHarness h;
  h.files.files["l.txt"] = kList;
  EXPECT_EQ(h.Run({"wake", "--pause", "250", "--list", "l.txt", "aa:bb:cc:dd:ee:ff", "02", "2"}),
            kExitBadArguments);
  // "02" is a machine number; the IP address is read in any form the address parser takes; "2"
  // names no row and is no MAC address.
  EXPECT_EQ(h.out.str(), "");
  EXPECT_THAT(h.err.str(),
              HasSubstr("'2' is not a MAC address nor a machine number or IP address of 'l.txt'"));

  EXPECT_EQ(
      h.Run({"wake", "--pause", "250", "--list", "l.txt", "aa:bb:cc:dd:ee:ff", "02", "192.168.1.01", "02"}),
      0);
  EXPECT_EQ(h.socket.packets, (std::vector<std::vector<std::uint8_t>>{
                                  PacketFor("aa:bb:cc:dd:ee:ff"), PacketFor("00-00-00-00-00-02"),
                                  PacketFor("00-00-00-00-00-01"), PacketFor("00-00-00-00-00-02")}));
  EXPECT_EQ(h.clock.Sleeps(), (std::vector<std::uint32_t>{250, 250, 250}));  // between machines only
  EXPECT_EQ(h.out.str(),
            "aa:bb:cc:dd:ee:ff\n"
            "00-00-00-00-00-02  192.168.1.2\n"
            "00-00-00-00-00-01  192.168.1.1\n"
            "00-00-00-00-00-02  192.168.1.2\n"
            "唤醒耗时: 0 ms\u3000IP: 4/4\n");
  EXPECT_EQ(h.files.files, (std::map<std::string, std::string>{{"l.txt", kList}}));
}

TEST(WakeCommand, DefaultPauseIsNoneAndAListIsNotNeededForMacs) {
  testing::CliHarness h;
  EXPECT_EQ(h.Run({"wake", "00-11-22-33-44-55"}), 0);
  EXPECT_EQ(h.socket.packets, std::vector<std::vector<std::uint8_t>>{PacketFor("00-11-22-33-44-55")});
  EXPECT_TRUE(h.clock.Sleeps().empty());
}

TEST(WakeCommand, FailuresExitOneWithTheirMessageAndNothingOnStandardOutput) {
  const struct {
    const char* name;
    std::vector<std::string> words;
    int failFrom;
    std::string message;
    std::size_t packets;
  } cases[] = {
      {"no route",
       {"wake", "01", "02"},
       0,
       "quarvo: no magic packet for 00-00-00-00-00-01: sending to 255.255.255.255 port 9: Network is "
       "unreachable (0 of 2 sent)\n",
       0},
      {"second send refused", {"wake", "01", "02"}, 1, "no magic packet for 00-00-00-00-00-02", 1},
      {"row without MAC", {"wake", "a7"}, -1, "the row of 'a7' in 'l.txt' holds no MAC address: ''", 0},
      {"missing list", {"wake", "--list", "none.txt", "01"}, -1, "quarvo: no list file 'none.txt'\n", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::CliHarness h;
    h.files.files["l.txt"] = kList;
    h.socket.failFrom = c.failFrom;
    std::vector<std::string> words = c.words;
    if (words[1] != "--list") words.insert(words.begin() + 1, {"--list", "l.txt"});
    EXPECT_EQ(h.Run(words), kExitFailed);
    EXPECT_THAT(h.err.str(), HasSubstr(c.message));
    EXPECT_EQ(h.out.str(), "");
    EXPECT_EQ(h.socket.packets.size(), c.packets);
    EXPECT_LE(h.socket.sends, c.failFrom + 1);  // the run stops at the first failure
  }
}

}  // namespace
}  // namespace quarvo
