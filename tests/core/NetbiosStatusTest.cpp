#include <gtest/gtest.h>

#include "net/NetbiosStatus.h"

namespace quarvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& bytes, const std::string& text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
}

// The wildcard name, encoded, as queries and answers carry it.
void PutWildcardName(Bytes& bytes) {
  bytes.push_back(32);
  Put(bytes, "CK" + std::string(30, 'A'));
  bytes.push_back(0);
}

struct Name {
  std::string name;  // up to 15 characters
  std::uint8_t suffix;
  bool group;
};

// A node-status answer as a Windows machine sends it: no question, one answer record holding the
// name table and the statistics.
Bytes Answer(std::uint16_t id, const std::vector<Name>& names) {
  Bytes bytes = {
      static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id), 0x84, 0x00, 0, 0, 0, 1, 0, 0, 0, 0};
  PutWildcardName(bytes);
  Bytes table = {static_cast<std::uint8_t>(names.size())};
  for (const Name& name : names) {
    Put(table, name.name + std::string(15 - name.name.size(), ' '));
    table.insert(table.end(), {name.suffix, static_cast<std::uint8_t>(name.group ? 0x84 : 0x04), 0x00});
  }
  table.insert(table.end(), 46, 0);  // the statistics: the MAC address and counters
  bytes.insert(bytes.end(), {0, 0x21, 0, 1, 0, 0, 0, 0, static_cast<std::uint8_t>(table.size() >> 8),
                             static_cast<std::uint8_t>(table.size())});
  bytes.insert(bytes.end(), table.begin(), table.end());
  return bytes;
}

std::optional<std::string> Parse(const Bytes& bytes, std::uint16_t id) {
  return ParseNodeStatusReply(bytes.data(), bytes.size(), id);
}

TEST(NetbiosStatus, TheQueryAsksForTheWildcardNamesTable) {
  Bytes expected = {0x12, 0x34, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  PutWildcardName(expected);
  expected.insert(expected.end(), {0, 0x21, 0, 1});
  EXPECT_EQ(BuildNodeStatusQuery(0x1234), expected);
}

TEST(NetbiosStatus, TheComputerNameIsTheUniqueWorkstationName) {
  const std::vector<Name> windows = {
      {"WORKGROUP", 0x00, true}, {"DESKTOP-7QK2M", 0x20, false}, {"DESKTOP-7QK2M", 0x00, false}};
  EXPECT_EQ(Parse(Answer(7, windows), 7), "DESKTOP-7QK2M");
  // Without a workstation name, any unique name; with group names only, none.
  EXPECT_EQ(Parse(Answer(7, {{"WORKGROUP", 0x00, true}, {"FILES", 0x20, false}}), 7), "FILES");
  EXPECT_EQ(Parse(Answer(7, {{"WORKGROUP", 0x00, true}}), 7), std::nullopt);
  // A name with a byte that would reach the terminal as a control is passed over.
  EXPECT_EQ(Parse(Answer(7, {{"EVIL\x1b[2J", 0x00, false}, {"NAS", 0x00, false}}), 7), "NAS");
}

TEST(NetbiosStatus, AnswersToOtherQueriesOrCutShortGiveNothing) {
  const Bytes whole = Answer(0xBEEF, {{"PRINTER", 0x00, false}});
  EXPECT_EQ(Parse(whole, 0xBEEF), "PRINTER");
  EXPECT_EQ(Parse(whole, 0xBEEE), std::nullopt);
  Bytes query = BuildNodeStatusQuery(0xBEEF);  // our own query echoed back is no answer
  EXPECT_EQ(Parse(query, 0xBEEF), std::nullopt);
  // Cut anywhere inside the name table, the answer is refused rather than read past its end.
  for (std::size_t size = 0; size < whole.size() - 46; ++size) {
    EXPECT_EQ(Parse(Bytes(whole.begin(), whole.begin() + static_cast<long>(size)), 0xBEEF), std::nullopt)
        << size;
  }
  // A name table that claims more names than its record holds.
  Bytes lying = whole;
  lying[12 + 34 + 10] = 200;
  EXPECT_EQ(Parse(lying, 0xBEEF), std::nullopt);
}

}  // namespace
}  // namespace quarvo
