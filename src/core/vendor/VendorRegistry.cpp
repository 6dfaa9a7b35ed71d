#include "vendor/VendorRegistry.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace quarvo {

namespace {

// The 24-bit blocks that the registration authority keeps and hands out in smaller pieces.
constexpr std::string_view kRegistrationAuthority = "IEEE Registration Authority";

// Reads the fields of one CSV record from `at`: fields separated by commas, a field in double quotes
// may hold commas, line breaks and doubled quotes. Leaves `at` after the record's line break.
// False when the text ends inside quotes.
bool NextRecord(std::string_view text, std::size_t& at, std::vector<std::string>& fields) {
  fields.assign(1, std::string());
  bool quoted = false;
  while (at < text.size()) {
    const char c = text[at++];
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (at < text.size() && text[at] == '"') {
        fields.back() += '"';
        ++at;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\n') {
      return true;
    } else if (c != '\r') {
      fields.back() += c;
    }
  }
  return !quoted;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Table index of a prefix of `digits` hex digits: 0 for 36 bits, 1 for 28, 2 for 24; -1 otherwise.
int TableOf(std::size_t digits) {
  return digits == 9 ? 0 : digits == 7 ? 1 : digits == 6 ? 2 : -1;
}

constexpr int kDigits[3] = {9, 7, 6};

std::uint64_t MacValue(const MacBytes& mac) {
  std::uint64_t value = 0;
  for (const std::uint8_t byte : mac) value = value << 8 | byte;
  return value;
}

}  // namespace

std::optional<MacBytes> MacOfText(std::string_view text) {
  if (text.size() != 17) return std::nullopt;
  MacBytes mac{};
  for (std::size_t i = 0; i < 6; ++i) {
    const int high = HexDigit(text[3 * i]), low = HexDigit(text[3 * i + 1]);
    if (high < 0 || low < 0 || (i < 5 && text[3 * i + 2] != '-' && text[3 * i + 2] != ':'))
      return std::nullopt;
    mac[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return mac;
}

std::size_t VendorRegistry::AddCsv(std::string_view text) {
  std::size_t taken = 0;
  std::vector<std::string> fields;
  for (std::size_t at = 0; at < text.size();) {
    if (!NextRecord(text, at, fields)) break;  // a quote never closed: the rest is one broken field
    if (fields.size() < 3) continue;
    const std::string assignment = Trimmed(fields[1]);
    const std::string name = Trimmed(fields[2]);
    const int table = TableOf(assignment.size());
    if (table < 0 || name.empty()) continue;
    std::uint64_t prefix = 0;
    bool hex = true;
    for (const char c : assignment) {
      const int digit = HexDigit(c);
      hex = hex && digit >= 0;
      prefix = prefix << 4 | static_cast<std::uint64_t>(digit < 0 ? 0 : digit);
    }
    if (!hex) continue;
    entries_[table].push_back({prefix, static_cast<std::uint32_t>(names_.size())});
    names_.push_back(name);
    ++taken;
  }
  return taken;
}

void VendorRegistry::Finish() {
  // Stable: of two rows for one prefix, the one read first stays in front and is the one found.
  for (auto& entries : entries_) std::stable_sort(entries.begin(), entries.end());
}

VendorAnswer VendorRegistry::Lookup(const MacBytes& mac) const {
  if (IsLocallyAdministered(mac)) return {VendorAnswer::Local, std::string()};
  const std::uint64_t value = MacValue(mac);
  for (int table = 0; table < 3; ++table) {
    const Entry key{value >> (48 - 4 * kDigits[table]), 0};
    const auto found = std::lower_bound(entries_[table].begin(), entries_[table].end(), key);
    if (found == entries_[table].end() || found->prefix != key.prefix) continue;
    const std::string& name = names_[found->name];
    if (name == kRegistrationAuthority) break;  // no smaller assignment covers this address
    return {VendorAnswer::Vendor, name};
  }
  return {};
}

VendorNames::VendorNames(std::vector<std::string> folders, ReadFile read)
    : folders_(std::move(folders)), read_(std::move(read)) {}

void VendorNames::Load() {
  for (const std::string& folder : folders_) {
    const std::string base =
        folder.empty() || folder.back() == '/' || folder.back() == '\\' ? folder : folder + "/";
    std::optional<std::string> first = read_(base + kRegistryFiles[0]);
    if (!first) continue;
    registry_.AddCsv(*first);
    for (std::size_t i = 1; i < std::size(kRegistryFiles); ++i) {
      if (const std::optional<std::string> text = read_(base + kRegistryFiles[i])) registry_.AddCsv(*text);
    }
    break;
  }
  registry_.Finish();
  loaded_.store(true, std::memory_order_release);
}

VendorAnswer VendorNames::Lookup(const MacBytes& mac) {
  if (IsLocallyAdministered(mac)) return {VendorAnswer::Local, std::string()};
  std::call_once(load_, [this] { Load(); });
  return registry_.Lookup(mac);
}

VendorAnswer VendorNames::Lookup(std::string_view macText) {
  const std::optional<MacBytes> mac = MacOfText(macText);
  return mac ? Lookup(*mac) : VendorAnswer{};
}

bool VendorNames::Available() {
  std::call_once(load_, [this] { Load(); });
  return !registry_.Empty();
}

std::optional<std::string> VendorNames::ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) return std::nullopt;
  return text.str();
}

}  // namespace quarvo
