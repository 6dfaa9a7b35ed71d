#include "net/NetbiosStatus.h"

namespace quarvo {

namespace {

constexpr std::uint16_t kTypeNodeStatus = 0x21;
constexpr std::uint16_t kClassInternet = 1;
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kNameEntrySize = 18;  // 15 characters, a suffix byte, two flag bytes

std::uint16_t Word(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

// Skips an encoded name at `at` (labels, or a pointer to an earlier name). False when it runs off
// the end.
bool SkipName(const std::uint8_t* data, std::size_t size, std::size_t& at) {
  while (at < size) {
    const std::uint8_t length = data[at];
    if ((length & 0xC0) == 0xC0) {
      at += 2;
      return at <= size;
    }
    if ((length & 0xC0) != 0) return false;
    ++at;
    if (length == 0) return true;
    at += length;
  }
  return false;
}

// The name of one entry without its padding; nothing when it holds other than printable ASCII.
std::optional<std::string> EntryName(const std::uint8_t* entry) {
  std::string name(reinterpret_cast<const char*>(entry), 15);
  name.erase(name.find_last_not_of(' ') + 1);
  if (name.empty()) return std::nullopt;
  for (const char c : name) {
    if (c < 0x21 || c > 0x7E) return std::nullopt;
  }
  return name;
}

}  // namespace

std::vector<std::uint8_t> BuildNodeStatusQuery(std::uint16_t id) {
  std::vector<std::uint8_t> query = {
      static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id), 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  // "*" and fifteen zero bytes, each byte written as two letters 'A' + its half.
  query.push_back(32);
  for (int i = 0; i < 16; ++i) {
    const std::uint8_t byte = i == 0 ? '*' : 0;
    query.push_back(static_cast<std::uint8_t>('A' + (byte >> 4)));
    query.push_back(static_cast<std::uint8_t>('A' + (byte & 0x0F)));
  }
  query.insert(query.end(), {0, 0, kTypeNodeStatus, 0, kClassInternet});
  return query;
}

std::optional<std::string> ParseNodeStatusReply(const std::uint8_t* data, std::size_t size,
                                                std::uint16_t id) {
  if (size < kHeaderSize || Word(data) != id || (data[2] & 0x80) == 0 || Word(data + 6) == 0)
    return std::nullopt;
  std::size_t at = kHeaderSize;
  for (std::uint16_t question = Word(data + 4); question > 0; --question) {
    if (!SkipName(data, size, at)) return std::nullopt;
    at += 4;
  }
  if (!SkipName(data, size, at) || at + 10 > size) return std::nullopt;
  if (Word(data + at) != kTypeNodeStatus) return std::nullopt;
  const std::size_t length = Word(data + at + 8);
  at += 10;
  if (length < 1 || at + length > size) return std::nullopt;
  const std::size_t count = data[at];
  if (1 + count * kNameEntrySize > length) return std::nullopt;
  std::optional<std::string> anyUnique;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = data + at + 1 + i * kNameEntrySize;
    const bool group = (entry[16] & 0x80) != 0;
    if (group) continue;
    std::optional<std::string> name = EntryName(entry);
    if (!name) continue;
    if (entry[15] == 0x00) return name;
    if (!anyUnique) anyUnique = std::move(name);
  }
  return anyUnique;
}

}  // namespace quarvo
