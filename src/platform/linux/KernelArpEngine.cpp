// The kernel resolves the address: a UDP datagram to its discard port makes the kernel send the ARP
// request, and the neighbour table's netlink notifications say how it ended. One receive thread
// reads them all. Only a fresh answer counts: an entry the kernel confirmed lately (REACHABLE), or
// one that it confirms after the trigger. A STALE, DELAY or PROBE entry says nothing about now (the
// machine may have left long ago): it is triggered and counts once the kernel confirms it, which
// takes the kernel's own resolution time. A PERMANENT entry is never asked by the kernel.
#include <arpa/inet.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/linux/ArpEngineParts.h"

namespace quarvo::arp {
namespace {

constexpr std::uint16_t kDiscardPort = 9;
constexpr int kDumpWaitMs = 3000;
// How often an address is asked while the neighbour table keeps filling up.
constexpr int kFullTableRounds = 4;
// Entries that hold a hardware address; of these only REACHABLE is an answer about now.
constexpr std::uint16_t kHeldStates =
    NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT | NUD_NOARP;
constexpr std::uint16_t kNeverAsked = NUD_PERMANENT | NUD_NOARP;
// Time left for the kernel's last answer and its notification after its last probe.
constexpr std::chrono::milliseconds kResolutionMargin{1000};
// How many permanent entries a scan names one by one.
constexpr int kNamedPermanentEntries = 8;

// Netlink messages and their attributes start on 4-byte boundaries.
constexpr std::size_t Aligned(std::size_t size) {
  return (size + 3) & ~std::size_t{3};
}

bool LacksRoom(int error) {
  return error == ENOBUFS || error == EAGAIN || error == EINTR || error == EMFILE || error == ENFILE;
}

std::string BaseName(const std::string& name) {
  return name.substr(0, name.find(':'));  // an address label "eth0:1"
}

class KernelArpEngine final : public ArpProbe {
 public:
  KernelArpEngine(const ArpEngineOptions& options, std::vector<LinkAddress> links, int netlink)
      : timeout_(options.timeoutMs),
        pacer_(PacerOf(options)),
        report_(options.report),
        links_(std::move(links)),
        netlink_(netlink) {}

  ~KernelArpEngine() override {
    if (receiver_.joinable()) {
      stop_.Raise();
      receiver_.join();
    }
    LinuxNetCalls().close(netlink_);
  }

  // Reads the neighbour table and starts the receive thread; an empty text, or why it failed.
  std::string Start() {
    if (!stop_.Ok()) return "cannot create the kernel ARP engine's stop signal: " + ErrorText(errno);
    if (!RequestDump()) return "cannot ask the kernel for its neighbour table: " + ErrorText(errno);
    const Clock::time_point giveUp = Clock::now() + std::chrono::milliseconds(kDumpWaitMs);
    while (dumping_) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(giveUp - Clock::now()).count();
      pollfd fd{netlink_, POLLIN, 0};
      if (left <= 0 || ::poll(&fd, 1, static_cast<int>(left)) == 0) {
        return "the kernel did not send its neighbour table";
      }
      if (!ReadAll()) return "cannot read the kernel's neighbour table: " + ErrorText(errno);
    }
    receiver_ = std::thread([this] {
      while (WaitReadable(netlink_, stop_)) {
        if (!ReadAll()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
    return std::string();
  }

  // Takes the interfaces afresh, names what cannot be asked, and triggers every entry of the range
  // that the kernel holds without having confirmed it lately, all at once: the kernel holds each
  // a few seconds before it asks, and those waits run side by side instead of one per worker.
  void BeginScan(std::uint32_t firstNetworkOrder, std::uint32_t count) override {
    links_.Read();
    const auto links = links_.Get();
    std::vector<std::string> notes;
    const std::string offNetwork = OffNetworkNote(*links, firstNetworkOrder, count);
    if (!offNetwork.empty()) notes.push_back(offNetwork);
    const std::uint64_t first = ntohl(firstNetworkOrder);
    std::vector<std::pair<const LinkAddress*, std::uint32_t>> stale;
    std::unordered_map<int, std::chrono::milliseconds> resolution;  // by interface
    for (const LinkAddress& link : *links) {
      if (link.ethernet && resolution.count(link.index) == 0) resolution[link.index] = ResolutionTime(link);
    }
    int permanent = 0;
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      waiters_.cancelled = false;
      triggered_.clear();
      for (const auto& [key, entry] : table_) {
        const auto address = static_cast<std::uint32_t>(key);
        if (address < first || address - first >= count) continue;
        MacBytes own{};
        const LinkAddress* link = LinkToAsk(*links, address, own);
        if (link == nullptr || WaitKey(link->index, address) != key) continue;
        if ((entry.state & kNeverAsked) != 0) {
          if (++permanent <= kNamedPermanentEntries) {
            notes.push_back(DottedAddress(address) + " has a permanent neighbour entry on " +
                            BaseName(link->name) +
                            ": the kernel never asks for it, so it counts as silent (the raw engine, with "
                            "CAP_NET_RAW, asks)");
          }
        } else if ((entry.state & NUD_REACHABLE) == 0) {
          stale.emplace_back(link, address);
          triggered_[key] = Clock::now() + resolution[link->index];
        }
      }
    }
    if (permanent > kNamedPermanentEntries) {
      notes.push_back(std::to_string(permanent - kNamedPermanentEntries) +
                      " more addresses of the range have permanent neighbour entries and count as silent");
    }
    if (report_) {
      for (const std::string& note : notes) report_(note);
    }
    for (const auto& [link, address] : stale) {
      if (Trigger(*link, htonl(address)) == 0) continue;
      std::lock_guard<std::mutex> lock(waiters_.mutex);  // its worker triggers it again
      triggered_.erase(WaitKey(link->index, address));
    }
  }

  void Cancel() override {
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      waiters_.Cancel();
    }
    pacer_->Cancel();  // workers waiting for their turn on the wire
  }

  void Request(std::uint32_t networkOrderAddress, MacBytes& mac) override {
    const std::uint32_t address = ntohl(networkOrderAddress);
    const auto links = links_.Get();
    const LinkAddress* link = LinkToAsk(*links, address, mac);
    if (link == nullptr) return;
    const std::uint64_t key = WaitKey(link->index, address);
    Waiters::Waiter waiter;
    bool held = false;
    std::optional<Clock::time_point> triggeredUntil;
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      if (waiters_.cancelled) return;
      const auto entry = table_.find(key);
      if (entry != table_.end()) {
        if ((entry->second.state & NUD_REACHABLE) != 0) {
          mac = entry->second.mac;
          return;
        }
        if ((entry->second.state & kNeverAsked) != 0) return;
        held = true;
      }
      const auto triggered = triggered_.find(key);
      if (triggered != triggered_.end()) triggeredUntil = triggered->second;
      waiters_.Add(key, waiter);
    }
    // Held but not confirmed lately: the kernel first waits, then asks, at its own pace. Else the
    // pacer's wait, which the answers measured in this scan may shorten below the time-out.
    const PaceTime wait = held ? PaceTime(std::max(timeout_, ResolutionTime(*link))) : pacer_->Plan().giveUp;
    PaceTime first = kNever;
    if (triggeredUntil) {
      std::unique_lock<std::mutex> lock(waiters_.mutex);
      waiter.wake.wait_until(lock, *triggeredUntil, [&] { return waiter.done; });
    } else {
      // The time-out counts from the datagram the kernel took: a full neighbour table is waited
      // out. While the table is full the kernel also drops unresolved entries to make room, and an
      // answer that comes for a dropped entry goes unseen: an address still silent after a wait
      // during which the table was full is asked again.
      PaceTime sent{};
      for (int round = 1; TriggerWithRoom(*link, networkOrderAddress, waiter, sent); ++round) {
        first = std::min(first, sent);
        std::unique_lock<std::mutex> lock(waiters_.mutex);
        if (waiter.wake.wait_until(lock, SteadyTime(sent + wait), [&] { return waiter.done; })) break;
        if (round == kFullTableRounds || lastFull_.load() < sent.count()) break;
      }
    }
    std::lock_guard<std::mutex> lock(waiters_.mutex);
    waiters_.Remove(key, waiter);
    if (waiter.answered) mac = waiter.mac;
    // Only what this request itself asked tells about the wire; the kernel's own resends are not
    // seen, so every answer counts as one to the first request.
    if (first == kNever || held) return;
    if (waiter.answered) {
      pacer_->Answered(first, first, waiter.answeredAt, 1);
    } else if (!waiters_.cancelled) {
      pacer_->GaveUp(key, first);
    }
  }

 private:
  struct Entry {
    std::uint16_t state = 0;
    MacBytes mac{};
  };

  // How long the kernel may take to settle an entry it holds but has not confirmed lately: its
  // wait before the first probe and its probes, as set for the interface.
  static std::chrono::milliseconds ResolutionTime(const LinkAddress& link) {
    const NeighbourTimes times = LinuxNetCalls().neighbourTimes(BaseName(link.name));
    return std::chrono::milliseconds(std::uint64_t{times.delayMs} +
                                     std::uint64_t{times.retransMs} * times.probes) +
           kResolutionMargin;
  }

  // The one datagram that makes the kernel resolve an address, on a socket of its own: bound to
  // the interface the engine chose, so that the kernel asks there and files its entry under it
  // (where the wait is keyed); with IP_RECVERR the kernel reports a full neighbour table (ENOBUFS,
  // which UDP otherwise swallows), and no earlier datagram's ICMP error can fail this send.
  // 0, or the errno of a datagram the kernel did not take.
  static int Trigger(const LinkAddress& link, std::uint32_t networkOrderAddress) {
    const NetCalls& calls = LinuxNetCalls();
    const int fd = calls.socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return errno;
    const int on = 1;
    calls.setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    // Unprivileged since Linux 5.7; where it is refused the kernel's own route is taken, which the
    // engine's choice (longest prefix, then lowest metric) follows.
    const std::string device = BaseName(link.name);
    calls.setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(), static_cast<socklen_t>(device.size()));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDiscardPort);
    to.sin_addr.s_addr = networkOrderAddress;
    const char nothing = 0;
    const ssize_t sent = calls.sendto(fd, &nothing, 0, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    const int error = sent < 0 ? errno : 0;
    calls.close(fd);
    return error;
  }

  // The datagram in its turn on the wire; `at` is when it went. False when it could not go (or
  // the wait for the turn was cancelled); true also when the answer came meanwhile.
  bool TriggerWithRoom(const LinkAddress& link, std::uint32_t networkOrderAddress, Waiters::Waiter& waiter,
                       PaceTime& at) {
    const Clock::time_point giveUp = Clock::now() + kRoomWait;
    auto pause = std::chrono::milliseconds(5);
    for (;;) {
      int error = 0;
      const auto trigger = [&](PaceTime) {
        error = Trigger(link, networkOrderAddress);
        return error == 0;
      };
      if (!pacer_->Send(SendKind::First, trigger, at)) return false;
      if (error == 0) return true;
      // No room here is a full neighbour table, the engine's own unresolved addresses: no sign
      // that the wire is overloaded, and waited out below rather than paced.
      if (!LacksRoom(error) || Clock::now() >= giveUp) return false;
      lastFull_ = pacer_->PaceClock().Now().count();
      std::unique_lock<std::mutex> lock(waiters_.mutex);
      if (waiter.wake.wait_for(lock, pause, [&] { return waiter.done; })) return true;
      pause = std::min(pause * 2, std::chrono::milliseconds(100));
    }
  }

  // Asks for the whole IPv4 neighbour table; its entries come back as RTM_NEWNEIGH messages.
  bool RequestDump() {
    struct {
      nlmsghdr header;
      ndmsg body;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = ++dumpSequence_;
    request.body.ndm_family = AF_INET;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    dumping_ = LinuxNetCalls().sendto(netlink_, &request, sizeof request, 0,
                                      reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) >= 0;
    return dumping_;
  }

  // Reads what is waiting on the netlink socket; false on an error other than lost messages.
  bool ReadAll() {
    for (;;) {
      sockaddr_nl from{};
      socklen_t length = sizeof from;
      const ssize_t size = LinuxNetCalls().recvfrom(netlink_, buffer_, sizeof buffer_, MSG_DONTWAIT,
                                                    reinterpret_cast<sockaddr*>(&from), &length);
      if (size < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
        if (errno != ENOBUFS) return false;
        // Notifications were lost: read the table again once the running read ends.
        if (dumping_) {
          lost_ = true;
        } else if (!RequestDump()) {
          return false;
        }
        continue;
      }
      if (from.nl_pid == 0) Handle(static_cast<std::size_t>(size));
    }
  }

  void Handle(std::size_t size) {
    for (std::size_t at = 0; at + sizeof(nlmsghdr) <= size;) {
      const auto* header = reinterpret_cast<const nlmsghdr*>(buffer_ + at);
      if (header->nlmsg_len < sizeof(nlmsghdr) || header->nlmsg_len > size - at) break;
      at += Aligned(header->nlmsg_len);
      const bool ofDump = header->nlmsg_seq == dumpSequence_;
      if (header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR) {
        if (ofDump && dumping_) {
          dumping_ = false;
          if (lost_) {
            lost_ = false;
            RequestDump();
          }
        }
        continue;
      }
      if (header->nlmsg_type == RTM_NEWNEIGH || header->nlmsg_type == RTM_DELNEIGH) Neighbour(*header);
    }
  }

  void Neighbour(const nlmsghdr& header) {
    const std::size_t headerSize = Aligned(sizeof(nlmsghdr));
    if (header.nlmsg_len < headerSize + sizeof(ndmsg)) return;
    const auto* base = reinterpret_cast<const std::uint8_t*>(&header);
    const auto* entry = reinterpret_cast<const ndmsg*>(base + headerSize);
    if (entry->ndm_family != AF_INET) return;
    const std::uint8_t* address = nullptr;
    const std::uint8_t* hardware = nullptr;
    for (std::size_t at = headerSize + Aligned(sizeof(ndmsg)); at + sizeof(rtattr) <= header.nlmsg_len;) {
      const auto* attribute = reinterpret_cast<const rtattr*>(base + at);
      if (attribute->rta_len < sizeof(rtattr) || attribute->rta_len > header.nlmsg_len - at) break;
      const std::size_t payload = attribute->rta_len - sizeof(rtattr);
      const std::uint8_t* data = base + at + Aligned(sizeof(rtattr));
      if (attribute->rta_type == NDA_DST && payload == 4) address = data;
      if (attribute->rta_type == NDA_LLADDR && payload == 6) hardware = data;
      at += Aligned(attribute->rta_len);
    }
    if (address == nullptr) return;
    std::uint32_t networkOrder;
    std::memcpy(&networkOrder, address, 4);
    const std::uint64_t key = WaitKey(entry->ndm_ifindex, ntohl(networkOrder));
    MacBytes mac{};
    if (hardware != nullptr) std::memcpy(mac.data(), hardware, mac.size());
    const bool held =
        header.nlmsg_type == RTM_NEWNEIGH && (entry->ndm_state & kHeldStates) != 0 && mac != MacBytes{};
    const PaceTime at = pacer_->PaceClock().Now();
    std::unique_lock<std::mutex> lock(waiters_.mutex);
    if (held) {
      table_[key] = Entry{entry->ndm_state, mac};
      if ((entry->ndm_state & NUD_REACHABLE) != 0 && !waiters_.Settle(key, &mac, at)) {
        lock.unlock();
        pacer_->Unclaimed(key, at);  // late, when its worker gave up on it lately
      }
      return;
    }
    table_.erase(key);
    if (header.nlmsg_type == RTM_NEWNEIGH && (entry->ndm_state & NUD_FAILED) != 0) {
      waiters_.Settle(key, nullptr);
      // An entry this scan triggered has had its answer, before its worker came to wait for it.
      const auto triggered = triggered_.find(key);
      if (triggered != triggered_.end()) triggered->second = Clock::time_point::min();
    }
  }

  const std::chrono::milliseconds timeout_;
  const std::shared_ptr<ArpPacer> pacer_;
  const std::function<void(const std::string&)> report_;
  // When a trigger last found no room in the neighbour table (the pacer clock's count, 0 for never).
  std::atomic<std::int64_t> lastFull_{0};
  LinkSet links_;
  const int netlink_;
  Waiters waiters_;
  // Under waiters_.mutex: the table's entries that hold a hardware address, and the entries this
  // scan triggered as it began, with the end of the kernel's resolution time for each.
  std::unordered_map<std::uint64_t, Entry> table_;
  std::unordered_map<std::uint64_t, Clock::time_point> triggered_;
  // The receive side's own state (Start, then the receive thread).
  std::uint32_t dumpSequence_ = 0;
  bool dumping_ = false;
  bool lost_ = false;
  alignas(nlmsghdr) char buffer_[64 * 1024];
  StopSignal stop_;
  std::thread receiver_;
};

}  // namespace

std::unique_ptr<ArpProbe> OpenKernelEngine(const ArpEngineOptions& options, std::vector<LinkAddress> links,
                                           std::string& error) {
  const NetCalls& calls = LinuxNetCalls();
  const int fd = calls.socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fd < 0) {
    error = "cannot open a netlink socket for the neighbour table: " + ErrorText(errno);
    return nullptr;
  }
  SetLargeReceiveBuffer(fd);
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  local.nl_groups = 1u << (RTNLGRP_NEIGH - 1);
  if (calls.bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    error = "cannot listen to the kernel's neighbour table: " + ErrorText(errno);
    calls.close(fd);
    return nullptr;
  }
  auto engine = std::make_unique<KernelArpEngine>(options, std::move(links), fd);
  error = engine->Start();
  if (!error.empty()) return nullptr;
  return engine;
}

}  // namespace quarvo::arp
