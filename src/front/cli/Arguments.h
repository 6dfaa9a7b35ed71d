// The command line's words, checked before anything is opened or scanned.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/linux/ArpEngine.h"

namespace quarvo {

struct ScanArguments {
  std::string first, last;  // the address boxes' texts, as typed; empty with --localnet
  bool localnet = false;
  std::string threads = "0";  // the threads box's text; "0" is the window's start-up text
  std::optional<std::string> listFile;
  bool save = false;
  bool tsv = false;
  bool names = false;  // vendor and host name columns in the aligned table
  bool json = false;   // JSON Lines, with vendor and host name
  std::uint32_t timeoutMs = ArpEngineOptions{}.timeoutMs;
  std::uint32_t rate = 0;  // --rate: requests a second at most; 0 for none
};

struct WakeArguments {
  std::string pause = "0";  // the pause box's text, in milliseconds
  std::optional<std::string> listFile;
  std::optional<std::string> interface;  // the packets leave by this interface alone
  std::vector<std::string> targets;
};

enum class CommandKind { Help, Version, Scan, Wake };

struct Arguments {
  CommandKind kind = CommandKind::Help;
  ScanArguments scan;
  WakeArguments wake;
};

// A word the command line cannot take; the message names it. Exit status 2.
class ArgumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The words after the program's name. Addresses, the thread count and the pause are checked with
// the program's own parsers, so that a value refused here would be refused by the run too.
Arguments ParseArguments(const std::vector<std::string>& words);

// The longest --timeout taken, in milliseconds.
inline constexpr std::uint32_t kMaxTimeoutMs = 60000;
// The highest --rate taken, requests a second.
inline constexpr std::uint32_t kMaxRate = 100000;

}  // namespace quarvo
