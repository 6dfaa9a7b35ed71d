#include "platform/linux/ArpEngine.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/linux/ArpEngineParts.h"

namespace quarvo {
namespace {

int PrefixLength(std::uint32_t mask) {
  int length = 0;
  while (length < 32 && (mask & (0x80000000u >> length)) != 0) ++length;
  return length;
}

// The metrics of the kernel's routes to directly attached networks (no gateway), by interface and
// network, from /proc/net/route; its addresses are network-order values printed as numbers.
std::map<std::pair<std::string, std::uint32_t>, std::uint32_t> AttachedRouteMetrics() {
  std::map<std::pair<std::string, std::uint32_t>, std::uint32_t> metrics;
  std::ifstream file("/proc/net/route");
  std::string line;
  std::getline(file, line);  // the header
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    std::string name;
    unsigned long destination = 0, gateway = 0, flags = 0, mask = 0;
    long refCount = 0, use = 0, metric = 0;
    if (!(fields >> name >> std::hex >> destination >> gateway >> flags >> std::dec >> refCount >> use >>
          metric >> std::hex >> mask)) {
      continue;
    }
    if (gateway != 0 || metric < 0) continue;
    const auto key = std::make_pair(name, ntohl(static_cast<std::uint32_t>(destination)));
    const auto value = static_cast<std::uint32_t>(metric);
    const auto found = metrics.find(key);
    if (found == metrics.end() || value < found->second) metrics[key] = value;
  }
  return metrics;
}

// A bridge that never had a port reports carrier, yet nobody can answer behind it (a container
// bridge with no container started).
bool IsBridgeWithoutPorts(const std::string& name) {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::path("/sys/class/net") / name;
  if (name.find('/') != std::string::npos || !std::filesystem::exists(folder / "bridge", error)) return false;
  return std::filesystem::is_empty(folder / "brif", error) && !error;
}

bool SystemListLinks(std::vector<LinkAddress>& links) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  struct Hardware {
    int index = 0;
    bool ethernet = false;
    MacBytes mac{};
  };
  std::map<std::string, Hardware> hardware;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) continue;
    sockaddr_ll link;
    std::memcpy(&link, entry->ifa_addr, sizeof link);
    Hardware& found = hardware[entry->ifa_name];
    found.index = link.sll_ifindex;
    found.ethernet = link.sll_hatype == ARPHRD_ETHER && link.sll_halen == 6;
    if (found.ethernet) std::copy(link.sll_addr, link.sll_addr + 6, found.mac.begin());
  }
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    LinkAddress link;
    link.name = entry->ifa_name;
    const std::string base = link.name.substr(0, link.name.find(':'));  // an address label "eth0:1"
    link.running = (entry->ifa_flags & IFF_RUNNING) != 0 && !IsBridgeWithoutPorts(base);
    sockaddr_in address, mask{};
    std::memcpy(&address, entry->ifa_addr, sizeof address);
    if (entry->ifa_netmask != nullptr) std::memcpy(&mask, entry->ifa_netmask, sizeof mask);
    link.address = ntohl(address.sin_addr.s_addr);
    link.prefixLength = PrefixLength(ntohl(mask.sin_addr.s_addr));
    const auto hw = hardware.find(base);
    if (hw != hardware.end()) {
      link.index = hw->second.index;
      link.ethernet = hw->second.ethernet;
      link.mac = hw->second.mac;
    } else {
      link.index = static_cast<int>(if_nametoindex(base.c_str()));
    }
    links.push_back(link);
  }
  freeifaddrs(list);
  const auto metrics = AttachedRouteMetrics();
  for (LinkAddress& link : links) {
    const std::uint32_t mask = link.prefixLength <= 0 ? 0 : ~0u << (32 - std::min(link.prefixLength, 32));
    const auto found = metrics.find({link.name.substr(0, link.name.find(':')), link.address & mask});
    if (found != metrics.end()) link.metric = found->second;
  }
  return true;
}

std::uint32_t ReadSetting(const std::string& interfaceName, const char* setting, std::uint32_t fallback) {
  std::ifstream file("/proc/sys/net/ipv4/neigh/" + interfaceName + "/" + setting);
  std::uint32_t value = 0;
  return file >> value ? value : fallback;
}

NeighbourTimes SystemNeighbourTimes(const std::string& interfaceName) {
  NeighbourTimes times;
  const std::string name = interfaceName.substr(0, interfaceName.find(':'));
  if (name.empty() || name.find('/') != std::string::npos || name[0] == '.') return times;
  times.delayMs = ReadSetting(name, "delay_first_probe_time", times.delayMs / 1000) * 1000;
  times.retransMs = ReadSetting(name, "retrans_time_ms", times.retransMs);
  // In its probe state the kernel asks by unicast, by its helper, and then again by broadcast.
  times.probes = ReadSetting(name, "ucast_solicit", times.probes) + ReadSetting(name, "app_solicit", 0) +
                 ReadSetting(name, "mcast_resolicit", 0);
  return times;
}

}  // namespace

NetCalls& LinuxNetCalls() {
  static NetCalls calls{::socket,   ::bind,  ::setsockopt,    ::sendto,
                        ::recvfrom, ::close, SystemListLinks, SystemNeighbourTimes};
  return calls;
}

namespace arp {

Route RouteFor(const std::vector<LinkAddress>& links, std::uint32_t address) {
  Route route;
  for (const LinkAddress& link : links) {
    if (link.address == address) return Route{Route::Own, &link};
  }
  for (const LinkAddress& link : links) {
    if (!link.ethernet || link.prefixLength <= 0) continue;
    const std::uint32_t mask = link.prefixLength >= 32 ? ~0u : ~(~0u >> link.prefixLength);
    if ((address & mask) != (link.address & mask)) continue;
    if (link.prefixLength <= 30 && ((address & ~mask) == 0 || (address & ~mask) == ~mask)) continue;
    // The kernel's choice: the longest prefix, then the lowest metric (a laptop on wired and
    // wireless at once, a dock beside the built-in port).
    if (route.link == nullptr || link.prefixLength > route.link->prefixLength ||
        (link.prefixLength == route.link->prefixLength && link.metric < route.link->metric)) {
      route = Route{Route::OnLink, &link};
    }
  }
  return route;
}

std::string ReadLinks(std::vector<LinkAddress>& links) {
  links.clear();
  if (!LinuxNetCalls().listLinks(links)) {
    return "cannot read the machine's network interfaces: " + ErrorText(errno);
  }
  if (std::none_of(links.begin(), links.end(), [](const LinkAddress& link) { return link.ethernet; })) {
    return "no Ethernet interface that is up has an IPv4 address: there is no network to scan";
  }
  return std::string();
}

std::string LinkSet::Read() {
  auto links = std::make_shared<std::vector<LinkAddress>>();
  std::string error = ReadLinks(*links);
  std::lock_guard<std::mutex> lock(mutex_);
  links_ = std::move(links);
  return error;
}

std::shared_ptr<const std::vector<LinkAddress>> LinkSet::Get() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return links_;
}

std::string DottedAddress(std::uint32_t host) {
  in_addr address{htonl(host)};
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

std::string OffNetworkNote(const std::vector<LinkAddress>& links, std::uint32_t firstNetworkOrder,
                           std::uint32_t count) {
  if (count == 0) return std::string();
  const std::uint64_t first = ntohl(firstNetworkOrder);
  const std::uint64_t last = first + count - 1;
  for (const LinkAddress& link : links) {
    if (!link.ethernet) continue;
    const std::uint32_t mask = link.prefixLength <= 0 ? 0 : ~0u << (32 - std::min(link.prefixLength, 32));
    const std::uint64_t low = link.address & mask, high = low | (~mask & 0xFFFFFFFFu);
    if (low <= last && first <= high) return std::string();
  }
  return DottedAddress(static_cast<std::uint32_t>(first)) +
         (count > 1 ? " - " + DottedAddress(static_cast<std::uint32_t>(last)) : std::string()) +
         ": no Ethernet interface that is up is on this network (any more); its addresses count as silent";
}

void Waiters::Remove(std::uint64_t key, Waiter& waiter) {
  auto [first, last] = waiting_.equal_range(key);
  for (auto it = first; it != last; ++it) {
    if (it->second == &waiter) {
      waiting_.erase(it);
      return;
    }
  }
}

bool Waiters::Settle(std::uint64_t key, const MacBytes* mac, PaceTime at) {
  auto [first, last] = waiting_.equal_range(key);
  bool settled = false;
  for (auto it = first; it != last; ++it) {
    Waiter& waiter = *it->second;
    settled = true;
    if (waiter.done) continue;
    waiter.done = true;
    if (mac != nullptr) {
      waiter.answered = true;
      waiter.mac = *mac;
      waiter.answeredAt = at;
    }
    waiter.wake.notify_one();
  }
  return settled;
}

void Waiters::Cancel() {
  cancelled = true;
  for (auto& entry : waiting_) {
    Waiter& waiter = *entry.second;
    if (waiter.done) continue;
    waiter.done = true;
    waiter.wake.notify_one();
  }
}

std::vector<std::uint64_t> Waiters::Keys() const {
  std::vector<std::uint64_t> keys;
  for (const auto& entry : waiting_) {
    if (!entry.second->done) keys.push_back(entry.first);
  }
  return keys;
}

StopSignal::StopSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopSignal::~StopSignal() {
  if (fd_ >= 0) ::close(fd_);
}

void StopSignal::Raise() {
  const std::uint64_t one = 1;
  (void)!::write(fd_, &one, sizeof one);
}

bool WaitReadable(int fd, const StopSignal& stop) {
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stop.Fd(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (fds[1].revents != 0) return false;
    if (fds[0].revents != 0) return true;
  }
}

namespace {

constexpr int kBufferBytes = 8 << 20;

void SetBuffer(int fd, int forced, int plain) {
  const NetCalls& calls = LinuxNetCalls();
  if (calls.setsockopt(fd, SOL_SOCKET, forced, &kBufferBytes, sizeof kBufferBytes) == 0) return;
  calls.setsockopt(fd, SOL_SOCKET, plain, &kBufferBytes, sizeof kBufferBytes);
}

}  // namespace

void SetLargeReceiveBuffer(int fd) {
  SetBuffer(fd, SO_RCVBUFFORCE, SO_RCVBUF);
}
void SetLargeSendBuffer(int fd) {
  SetBuffer(fd, SO_SNDBUFFORCE, SO_SNDBUF);
}

std::string ErrorText(int error) {
  return std::strerror(error);
}

}  // namespace arp

namespace {

// The kernel sends up to three requests for each address it is asked to resolve, a second apart:
// under a cap its datagrams get a pacer of their own at a third of it, which keeps every second
// of the wire within the cap.
ArpEngineOptions KernelOptions(ArpEngineOptions options) {
  if (options.rateCap > 0) {
    options.rateCap = std::max<std::uint32_t>(1, options.rateCap / arp::kKernelRequestsPerAddress);
    options.pacer =
        std::make_shared<arp::ArpPacer>(arp::SteadyPacerClock(), options.timeoutMs, options.rateCap);
  }
  return options;
}

}  // namespace

OpenedArpEngine OpenArpEngine(const ArpEngineOptions& given) {
  OpenedArpEngine opened;
  std::vector<LinkAddress> links;
  opened.error = arp::ReadLinks(links);
  if (!opened.error.empty()) return opened;
  ArpEngineOptions options = given;
  if (options.pacer == nullptr) {
    options.pacer =
        std::make_shared<arp::ArpPacer>(arp::SteadyPacerClock(), options.timeoutMs, options.rateCap);
  }
  opened.pacer = options.pacer;
  std::string rawError, kernelError;
  if (options.allowRaw) {
    opened.kind = ArpEngineKind::Raw;
    std::unique_ptr<arp::ArpWire> wire = arp::OpenPacketWire(rawError);
    arp::FallbackOpener fallback;
    if (wire == nullptr) {
      std::string helperError;
      wire =
          arp::OpenHelperWire(options.helperPath.empty() ? ArpHelperPath() : options.helperPath, helperError);
      if (wire == nullptr) rawError += "; " + helperError;
      opened.kind = ArpEngineKind::Helper;
      // A helper that dies leaves the rest of the run to the kernel engine.
      if (options.allowKernel) {
        fallback = [options, links] {
          std::fputs("quarvo: the ARP helper has ended; the kernel ARP engine goes on\n", stderr);
          std::string error;
          return arp::OpenKernelEngine(KernelOptions(options), links, error);
        };
      }
    }
    if (wire != nullptr) {
      opened.probe = arp::OpenRawEngine(options, links, std::move(wire), std::move(fallback), rawError);
      if (opened.probe != nullptr) return opened;
    }
  }
  if (options.allowKernel) {
    if (given.pacer == nullptr) {
      options = KernelOptions(options);
      opened.pacer = options.pacer;
    }
    opened.probe = arp::OpenKernelEngine(options, links, kernelError);
    if (opened.probe != nullptr) {
      opened.kind = ArpEngineKind::Kernel;
      opened.whyNotRaw = rawError;
      return opened;
    }
  }
  if (!options.allowRaw && !options.allowKernel) {
    opened.error = "no ARP engine is allowed";
  } else if (!options.allowKernel) {
    opened.error = rawError;
  } else if (!options.allowRaw) {
    opened.error = kernelError;
  } else {
    opened.error = rawError + "; " + kernelError;
  }
  return opened;
}

std::vector<AttachedNetwork> AttachedNetworks() {
  std::vector<LinkAddress> links;
  std::vector<AttachedNetwork> networks;
  if (!LinuxNetCalls().listLinks(links)) return networks;
  for (const LinkAddress& link : links) {
    networks.push_back(AttachedNetwork{link.name, link.index, link.address, link.prefixLength, link.running});
  }
  return networks;
}

const char* ArpEngineName(ArpEngineKind kind) {
  switch (kind) {
    case ArpEngineKind::Raw:
      return "raw";
    case ArpEngineKind::Helper:
      return "raw (helper)";
    case ArpEngineKind::Kernel:
      break;
  }
  return "kernel";
}

std::string ArpHelperPath() {
  return arp::HelperPath();
}

}  // namespace quarvo
