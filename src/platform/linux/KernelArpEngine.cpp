// The kernel resolves the address: a UDP datagram to its discard port makes the kernel send the ARP
// request, and the neighbour table's netlink notifications say how it ended. One receive thread
// reads them all. Entries the kernel already holds with a hardware address count at once.
#include <arpa/inet.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/linux/ArpEngineParts.h"

namespace quarvo::arp {
namespace {

constexpr std::uint16_t kDiscardPort = 9;
constexpr int kDumpWaitMs = 3000;
// How often an address is asked while the neighbour table keeps filling up.
constexpr int kFullTableRounds = 4;
constexpr std::uint16_t kKnownStates = NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT;

// Netlink messages and their attributes start on 4-byte boundaries.
constexpr std::size_t Aligned(std::size_t size) {
  return (size + 3) & ~std::size_t{3};
}

bool LacksRoom(int error) {
  return error == ENOBUFS || error == EAGAIN || error == EINTR || error == EMFILE || error == ENFILE;
}

class KernelArpEngine final : public ArpProbe {
 public:
  KernelArpEngine(const ArpEngineOptions& options, std::vector<LinkAddress> links, int netlink)
      : timeout_(options.timeoutMs), links_(std::move(links)), netlink_(netlink) {}

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

  void Request(std::uint32_t networkOrderAddress, MacBytes& mac) override {
    const std::uint32_t address = ntohl(networkOrderAddress);
    const LinkAddress* link = LinkToAsk(links_, address, mac);
    if (link == nullptr) return;
    const std::uint64_t key = WaitKey(link->index, address);
    Waiters::Waiter waiter;
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      const auto knownEntry = known_.find(key);
      if (knownEntry != known_.end()) {
        mac = knownEntry->second;
        return;
      }
      waiters_.Add(key, waiter);
    }
    // The time-out counts from the datagram the kernel took: a full neighbour table is waited out.
    // While the table is full the kernel also drops unresolved entries to make room, and an answer
    // that comes for a dropped entry goes unseen: an address still silent after a wait during which
    // the table was full is asked again.
    for (int round = 1; TriggerWithRoom(networkOrderAddress, waiter); ++round) {
      const std::int64_t sent = Clock::now().time_since_epoch().count();
      std::unique_lock<std::mutex> lock(waiters_.mutex);
      if (waiter.wake.wait_for(lock, timeout_, [&] { return waiter.done; })) break;
      if (round == kFullTableRounds || lastFull_.load() < sent) break;
    }
    std::lock_guard<std::mutex> lock(waiters_.mutex);
    waiters_.Remove(key, waiter);
    if (waiter.answered) mac = waiter.mac;
  }

 private:
  // One datagram on a socket of its own: with IP_RECVERR the kernel reports a full neighbour table
  // (ENOBUFS, which UDP otherwise swallows), and no earlier datagram's ICMP error can fail this send.
  static int Trigger(std::uint32_t networkOrderAddress) {
    const NetCalls& calls = LinuxNetCalls();
    const int fd = calls.socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return errno;
    const int on = 1;
    calls.setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
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

  bool TriggerWithRoom(std::uint32_t networkOrderAddress, Waiters::Waiter& waiter) {
    const Clock::time_point giveUp = Clock::now() + kRoomWait;
    auto pause = std::chrono::milliseconds(5);
    for (;;) {
      const int error = Trigger(networkOrderAddress);
      if (error == 0) return true;
      if (!LacksRoom(error) || Clock::now() >= giveUp) return false;
      lastFull_ = Clock::now().time_since_epoch().count();
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
    const bool known =
        header.nlmsg_type == RTM_NEWNEIGH && (entry->ndm_state & kKnownStates) != 0 && mac != MacBytes{};
    std::lock_guard<std::mutex> lock(waiters_.mutex);
    if (known) {
      known_[key] = mac;
      waiters_.Settle(key, &mac);
      return;
    }
    known_.erase(key);
    if (header.nlmsg_type == RTM_NEWNEIGH && (entry->ndm_state & NUD_FAILED) != 0)
      waiters_.Settle(key, nullptr);
  }

  const std::chrono::milliseconds timeout_;
  // When a trigger last found no room in the neighbour table (the clock's count, 0 for never).
  std::atomic<std::int64_t> lastFull_{0};
  const std::vector<LinkAddress> links_;
  const int netlink_;
  Waiters waiters_;
  std::unordered_map<std::uint64_t, MacBytes>
      known_;  // the table's entries with an address; under waiters_.mutex
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
