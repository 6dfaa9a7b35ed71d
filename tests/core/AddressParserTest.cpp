// One table of address texts, checked against the program's own parser and against the platform's
// (Windows Sockets' inet_addr in the cross build): both must give the same answers.
#include <gtest/gtest.h>

#include "net/Ipv4Text.h"
#include "platform/System.h"

namespace quarvo {
namespace {

struct AddressCase {
  const char* text;
  std::uint32_t network;
};

constexpr std::uint32_t Net(unsigned a, unsigned b, unsigned c, unsigned d) {
  return a | b << 8 | c << 16 | d << 24;
}

const AddressCase kAccepted[] = {
    {"192.168.0.1", Net(192, 168, 0, 1)}, {"0.0.0.0", 0},
    {"10.1", Net(10, 0, 0, 1)},           {"10.1.2", Net(10, 1, 0, 2)},
    {"1.2.65535", Net(1, 2, 255, 255)},   {"1.16777215", Net(1, 255, 255, 255)},
    {"3232235777", Net(192, 168, 1, 1)},  {"192.168.1.010", Net(192, 168, 1, 8)},
    {"0x7f.1", Net(127, 0, 0, 1)},        {"0X0A.0x0.00.0XfF", Net(10, 0, 0, 255)},
    {"017.0.0.1", Net(15, 0, 0, 1)},      {"4294967294", Net(255, 255, 255, 254)},
};
const char* const kRefused[] = {"255.255.255.255", "256.1.1.1", "1.2.3.256", "1.2.65536", "1.16777216",
                                "4294967296",      "1.2.3.4.5", "1.2.3.4x",  "1..2.3",    ".1.2.3",
                                "1.2.3.",          "08.1.1.1",  "a.b.c.d",   "",          "1.2.3.-4"};

TEST(AddressParser, OwnAndPlatformParsersFollowTheBerkeleyRules) {
  for (const auto& c : kAccepted) {
    EXPECT_EQ(ParseBerkeleyAddress(c.text), c.network) << "'" << c.text << "'";
    EXPECT_EQ(InetAddr(c.text), c.network) << "platform: '" << c.text << "'";
  }
  for (const char* text : kRefused) {
    EXPECT_EQ(ParseBerkeleyAddress(text), kAddressNone) << "'" << text << "'";
    EXPECT_EQ(InetAddr(text), kAddressNone) << "platform: '" << text << "'";
  }
}

}  // namespace
}  // namespace quarvo
