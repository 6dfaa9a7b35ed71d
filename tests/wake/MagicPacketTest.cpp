#include <gtest/gtest.h>

#include "WakeFakes.h"
#include "net/MagicPacket.h"
#include "text/TextHelpers.h"

namespace quarvo {
namespace {

using testing::RecordingWakeSocket;
using Calls = std::vector<std::string>;

std::vector<std::uint8_t> ExpectedPacket(const MacBytes& mac) {
  std::vector<std::uint8_t> packet(6, 0xFF);
  for (int copy = 0; copy < 16; ++copy) packet.insert(packet.end(), mac.begin(), mac.end());
  return packet;
}

TEST(MagicPacket, MacTextsThatAreRead) {
  const struct {
    const char* text;
    MacBytes mac;
  } cases[] = {
      {"00-1A-2B-3C-4D-5E", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {"00:1a:2b:3c:4d:5e", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},  // any separator, either case
      {"00 1A.2b#3C\t4D\0015E", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {"FF-FF-FF-FF-FF-FF", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"00-1A-2B-3C-4D-5E and more", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},  // the rest is ignored
      {"00-1A-2B-3C-4D-5", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x05}},            // a one-digit last pair
  };
  for (const auto& c : cases) {
    RecordingWakeSocket socket;
    SendWakePacket(c.text, socket);
    ASSERT_EQ(socket.Datagrams().size(), 1u) << c.text;
    EXPECT_EQ(socket.Datagrams()[0], ExpectedPacket(c.mac)) << c.text;
  }
  MagicPacket allOnes;
  allOnes.fill(0xFF);
  EXPECT_EQ(BuildMagicPacket({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), allOnes);
}

TEST(MagicPacket, UnreadableMacRefusedBeforeAnySocketCall) {
  const struct {
    const char* text;
    const char* badPair;
  } cases[] = {
      {"001A2B3C4D5E", "$"},  // no separators: read at the wrong places, the sixth pair missing
      {"", "$"},
      {"00-1A-2B-3C-4D-5G", "$5G"},
      {"00-1A-2B-3C- 4-5E", "$ 4"},
      {"00-1A-2B-3C--4-5E", "$-4"},
      {"0x-1A-2B-3C-4D-5E", "$0x"},
  };
  for (const auto& c : cases) {
    RecordingWakeSocket socket;
    try {
      SendWakePacket(c.text, socket);
      ADD_FAILURE() << "accepted " << c.text;
    } catch (const ConversionError& error) {
      EXPECT_EQ(error.what(), "'" + std::string(c.badPair) + "' is not a valid integer value") << c.text;
    }
    EXPECT_EQ(socket.Calls(), Calls{}) << c.text;
  }
}

TEST(MagicPacket, SocketCallsInOrderAndFailuresSilent) {
  using F = RecordingWakeSocket::Failures;
  const Calls all = {"Startup", "Open 5", "Broadcast 5", "Send 5 102 to 4294967295:9", "Close 5", "Cleanup"};
  const Calls noSocket = {"Startup", "Open failed", "Cleanup"};
  const struct {
    F fail;
    Calls calls;
  } cases[] = {
      {F{}, all},
      {F{false, true, false, false}, noSocket},
      {F{true, true, false, false}, noSocket},  // a library that did not start gives no socket
      {F{true, false, false, false}, all},
      {F{false, false, true, false}, all},  // refused broadcast permission: sent all the same
      {F{false, false, false, true}, all},
  };
  for (const auto& c : cases) {
    RecordingWakeSocket socket;
    socket.Fail(c.fail);
    EXPECT_NO_THROW(SendWakePacket("00-1A-2B-3C-4D-5E", socket));
    EXPECT_EQ(socket.Calls(), c.calls);
  }
}

}  // namespace
}  // namespace quarvo
