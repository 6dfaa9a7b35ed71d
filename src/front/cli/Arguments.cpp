#include "front/cli/Arguments.h"

#include <functional>
#include <map>

#include "net/Ipv4Text.h"
#include "text/TextHelpers.h"

namespace quarvo {

namespace {

std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

// ParseInt's own message for a text that is no integer, and `what` for one outside [low, high].
std::int32_t IntegerIn(const std::string& text, std::int64_t low, std::int64_t high,
                       const std::string& what) {
  const std::int32_t value = ParseInt(text);  // throws ConversionError with the program's message
  if (value < low || value > high) throw ArgumentError(Quoted(text) + " is not " + what);
  return value;
}

void CheckAddress(const std::string& text) {
  if (ParseBerkeleyAddress(TrimText(text)) == kAddressNone) {
    throw ArgumentError(Quoted(text) + " is not an IPv4 address");
  }
}

// Walks the words of one command: options (`--name VALUE`, `--name=VALUE` or a flag) and the
// other words in order.
class Words {
 public:
  using Valued = std::function<void(const std::string&)>;
  using Flag = std::function<void()>;

  void Option(const std::string& name, Valued take) { valued_[name] = std::move(take); }
  void Switch(const std::string& name, Flag take) { flags_[name] = std::move(take); }

  std::vector<std::string> Walk(const std::vector<std::string>& words, std::size_t from) {
    std::vector<std::string> plain;
    for (std::size_t i = from; i < words.size(); ++i) {
      const std::string& word = words[i];
      if (word.size() < 2 || word.compare(0, 2, "--") != 0) {
        plain.push_back(word);
        continue;
      }
      const std::size_t equals = word.find('=');
      const std::string name = word.substr(0, equals);
      if (const auto flag = flags_.find(name); flag != flags_.end() && equals == std::string::npos) {
        flag->second();
      } else if (const auto valued = valued_.find(name); valued != valued_.end()) {
        if (equals != std::string::npos) {
          valued->second(word.substr(equals + 1));
        } else if (i + 1 < words.size()) {
          valued->second(words[++i]);
        } else {
          throw ArgumentError(name + " needs a value");
        }
      } else {
        throw ArgumentError("unknown option " + Quoted(word));
      }
    }
    return plain;
  }

 private:
  std::map<std::string, Valued> valued_;
  std::map<std::string, Flag> flags_;
};

ScanArguments ParseScan(const std::vector<std::string>& words) {
  ScanArguments scan;
  Words options;
  options.Option("--threads", [&](const std::string& v) {
    ParseInt(v);  // the scan reads the box as typed; only its integer check is made here
    scan.threads = v;
  });
  options.Option("--list", [&](const std::string& v) { scan.listFile = v; });
  options.Option("--timeout", [&](const std::string& v) {
    scan.timeoutMs = static_cast<std::uint32_t>(
        IntegerIn(v, 1, kMaxTimeoutMs, "a time-out from 1 to " + std::to_string(kMaxTimeoutMs) + " ms"));
  });
  options.Option("--rate", [&](const std::string& v) {
    scan.rate = static_cast<std::uint32_t>(
        IntegerIn(v, 1, kMaxRate, "a rate from 1 to " + std::to_string(kMaxRate) + " requests a second"));
  });
  options.Switch("--localnet", [&] { scan.localnet = true; });
  options.Switch("--save", [&] { scan.save = true; });
  options.Switch("--tsv", [&] { scan.tsv = true; });
  options.Switch("--names", [&] { scan.names = true; });
  options.Switch("--json", [&] { scan.json = true; });
  const std::vector<std::string> addresses = options.Walk(words, 1);
  if (scan.localnet) {
    if (!addresses.empty()) throw ArgumentError("--localnet takes no addresses: " + Quoted(addresses[0]));
  } else if (addresses.size() != 2) {
    throw ArgumentError("scan needs FIRST and LAST addresses, or --localnet");
  } else {
    for (const std::string& address : addresses) CheckAddress(address);
    scan.first = addresses[0];
    scan.last = addresses[1];
  }
  if (scan.save && !scan.listFile) throw ArgumentError("--save needs --list FILE");
  // Scripts rely on --tsv giving six fields and nothing else.
  if (scan.tsv && scan.json) throw ArgumentError("--tsv and --json are two formats: give one");
  if (scan.tsv && scan.names) throw ArgumentError("--tsv keeps six fields: use --json for names");
  return scan;
}

WakeArguments ParseWake(const std::vector<std::string>& words) {
  WakeArguments wake;
  Words options;
  options.Option("--pause", [&](const std::string& v) {
    IntegerIn(v, 0, INT32_MAX, "a pause of 0 ms or more");
    wake.pause = v;
  });
  options.Option("--list", [&](const std::string& v) { wake.listFile = v; });
  options.Option("--interface", [&](const std::string& v) {
    if (v.empty()) throw ArgumentError("--interface needs an interface name");
    wake.interface = v;
  });
  wake.targets = options.Walk(words, 1);
  if (wake.targets.empty()) throw ArgumentError("wake needs at least one TARGET");
  return wake;
}

}  // namespace

Arguments ParseArguments(const std::vector<std::string>& words) {
  Arguments arguments;
  if (words.empty()) throw ArgumentError("no command given");
  for (const std::string& word : words) {
    if (word == "--help" || word == "-h") return arguments;
  }
  const std::string& command = words[0];
  try {
    if (command == "--version" && words.size() == 1) {
      arguments.kind = CommandKind::Version;
    } else if (command == "scan") {
      arguments.kind = CommandKind::Scan;
      arguments.scan = ParseScan(words);
    } else if (command == "wake") {
      arguments.kind = CommandKind::Wake;
      arguments.wake = ParseWake(words);
    } else {
      throw ArgumentError("unknown command " + Quoted(command));
    }
  } catch (const ConversionError& error) {
    throw ArgumentError(error.what());
  }
  return arguments;
}

}  // namespace quarvo
