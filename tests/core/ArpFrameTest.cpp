// The ARP payload on byte fixtures.
#include <gtest/gtest.h>

#include "net/ArpFrame.h"

namespace quarvo {
namespace {

// 192.168.0.5 (00:1a:2b:3c:4d:5e) asks who has 192.168.0.9.
const ArpPayload kRequest = {0x00, 0x01, 0x08, 0x00, 0x06, 0x04, 0x00, 0x01, 0x00, 0x1a,
                             0x2b, 0x3c, 0x4d, 0x5e, 0xc0, 0xa8, 0x00, 0x05, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0xc0, 0xa8, 0x00, 0x09};

TEST(ArpFrame, BuildsTheRequestBytes) {
  EXPECT_EQ(BuildArpRequest({0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}, 0xC0A80005, 0xC0A80009), kRequest);
}

TEST(ArpFrame, ReadsAReplyWithPaddingAndRefusesOtherPayloads) {
  // 192.168.0.9 (ab:0c:00:00:00:01) answers 192.168.0.5, with Ethernet padding after the payload.
  std::vector<std::uint8_t> reply(kRequest.begin(), kRequest.end());
  reply[7] = 2;
  for (int i = 0; i < 10; ++i) std::swap(reply[8 + i], reply[18 + i]);
  reply[8] = 0xab, reply[9] = 0x0c, reply[13] = 0x01;
  reply.resize(46, 0xEE);
  const auto message = ParseArpPayload(reply.data(), reply.size());
  ASSERT_TRUE(message);
  EXPECT_EQ(message->opcode, kArpReply);
  EXPECT_EQ(message->senderMac, (MacBytes{0xab, 0x0c, 0, 0, 0, 0x01}));
  EXPECT_EQ(message->senderIp, 0xC0A80009u);
  EXPECT_EQ(message->targetMac, (MacBytes{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}));
  EXPECT_EQ(message->targetIp, 0xC0A80005u);

  const struct {
    std::size_t at;  // the byte changed, or the length cut to
    std::uint8_t value;
    bool cut;
  } refused[] = {{27, 0, true}, {0, 0, true}, {1, 6, false}, {2, 0x86, false}, {4, 8, false}, {5, 16, false}};
  for (const auto& r : refused) {
    std::vector<std::uint8_t> bytes(kRequest.begin(), kRequest.end());
    if (r.cut)
      bytes.resize(r.at);
    else
      bytes[r.at] = r.value;
    EXPECT_FALSE(ParseArpPayload(bytes.data(), bytes.size())) << r.at;
  }
  EXPECT_FALSE(ParseArpPayload(nullptr, 28));
}

}  // namespace
}  // namespace quarvo
