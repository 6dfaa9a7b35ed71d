// Vendor names of MAC addresses, from the IEEE's public registries in their CSV form
// ("Registry,Assignment,Organization Name,Organization Address"): MA-L (24-bit prefixes), MA-M
// (28-bit), MA-S and IAB (36-bit). The longest prefix that matches decides; a 24-bit block that the
// registration authority keeps for itself names no vendor, its 28- and 36-bit assignments do.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/ArpProbe.h"

namespace quarvo {

// What a MAC address says about its maker.
struct VendorAnswer {
  enum Kind { Unknown, Vendor, Local } kind = Unknown;
  std::string name;  // the organisation, for Vendor
};

// Second hex digit 2, 6, A or E: an address the machine or its owner chose (randomised for privacy,
// virtual machines, containers), which no vendor registered.
inline bool IsLocallyAdministered(const MacBytes& mac) {
  return (mac[0] & 0x02) != 0;
}

// The bytes of a MAC text of six two-digit hex bytes joined by "-" or ":"; nothing for any other text
// (a hand-edited list may hold anything in its MAC cells).
std::optional<MacBytes> MacOfText(std::string_view text);

class VendorRegistry {
 public:
  // Takes the rows of one registry file. Lines that are no assignment (the header, a malformed or
  // truncated line, an assignment that is not 6, 7 or 9 hex digits) are skipped; returns the rows
  // taken.
  std::size_t AddCsv(std::string_view text);
  // After the last AddCsv: makes the rows searchable.
  void Finish();
  bool Empty() const { return names_.empty(); }

  VendorAnswer Lookup(const MacBytes& mac) const;

 private:
  struct Entry {
    std::uint64_t prefix;
    std::uint32_t name;
    bool operator<(const Entry& other) const { return prefix < other.prefix; }
  };
  // By prefix length: 36, 28, 24 bits.
  std::vector<Entry> entries_[3];
  std::vector<std::string> names_;
};

// The registries a system keeps, read once at the first lookup.
class VendorNames {
 public:
  // The text of a file, or nothing when it cannot be read.
  using ReadFile = std::function<std::optional<std::string>(const std::string& path)>;

  // Each folder in turn is searched for the registry files; the first folder that holds an MA-L
  // file (oui.csv) is the one read.
  VendorNames(std::vector<std::string> folders, ReadFile read = ReadWholeFile);

  VendorAnswer Lookup(const MacBytes& mac);
  // The same for a MAC text; Unknown for a text that is no MAC address.
  VendorAnswer Lookup(std::string_view macText);
  // Whether any registry could be read (loads them if not yet done).
  bool Available();
  // Whether the registries have been read; until then a lookup would wait for them.
  bool Loaded() const { return loaded_.load(std::memory_order_acquire); }

  static std::optional<std::string> ReadWholeFile(const std::string& path);

 private:
  void Load();

  std::vector<std::string> folders_;
  ReadFile read_;
  std::once_flag load_;
  std::atomic<bool> loaded_{false};
  VendorRegistry registry_;
};

// The registry files, in the order they are read.
inline constexpr const char* kRegistryFiles[] = {"oui.csv", "mam.csv", "oui36.csv", "iab.csv"};

}  // namespace quarvo
