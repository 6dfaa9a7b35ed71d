// The Linux ARP engines on a fake system-call table: sockets are UNIX datagram pairs whose far end
// the test writes answers into, so the engines' own poll and receive thread run unchanged.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/if_packet.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "helper/ArpHelperProtocol.h"
#include "net/ArpFrame.h"
#include "platform/linux/ArpEngine.h"
#include "platform/linux/ArpEngineParts.h"
#include "platform/linux/LinuxNetCalls.h"

namespace quarvo {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t Ip(int a, int b, int c, int d) {
  return static_cast<std::uint32_t>(a << 24 | b << 16 | c << 8 | d);
}
constexpr MacBytes kOwnMac{0x02, 0, 0, 0, 0, 0x0A};
constexpr std::uint32_t kOwnIp = Ip(192, 168, 7, 10);
constexpr char kNoHelper[] = "/nonexistent/quarvo-arp";
ArpEngineOptions TimeOut(std::uint32_t ms) {
  ArpEngineOptions options;
  options.timeoutMs = ms;
  return options;
}
MacBytes HostMac(std::uint32_t ip, std::uint8_t tag = 0) {
  return {0x02,
          tag,
          0,
          static_cast<std::uint8_t>(ip >> 16),
          static_cast<std::uint8_t>(ip >> 8),
          static_cast<std::uint8_t>(ip)};
}

// A neighbour message of the kernel: an entry of the table with its state.
Bytes Neighbour(std::uint16_t type, std::uint32_t ip, std::uint16_t state, const MacBytes* mac,
                int ifindex = 2) {
  Bytes message(NLMSG_SPACE(sizeof(ndmsg)) + RTA_SPACE(4) + (mac ? RTA_SPACE(6) : 0));
  nlmsghdr header{static_cast<std::uint32_t>(message.size()), type, 0, 0, 0};
  ndmsg entry{};
  entry.ndm_family = AF_INET;
  entry.ndm_ifindex = ifindex;
  entry.ndm_state = state;
  std::memcpy(message.data(), &header, sizeof header);
  std::memcpy(message.data() + NLMSG_HDRLEN, &entry, sizeof entry);
  std::size_t at = NLMSG_SPACE(sizeof(ndmsg));
  auto attribute = [&](std::uint16_t kind, const void* data, std::uint16_t size) {
    const rtattr head{static_cast<std::uint16_t>(RTA_LENGTH(size)), kind};
    std::memcpy(&message[at], &head, sizeof head);
    std::memcpy(&message[at + RTA_LENGTH(0)], data, size);
    at += RTA_SPACE(size);
  };
  const std::uint32_t wire = htonl(ip);
  attribute(NDA_DST, &wire, 4);
  if (mac) attribute(NDA_LLADDR, mac->data(), 6);
  return message;
}

LinkAddress Link(const char* name, int index, std::uint32_t ip, int prefix, bool ethernet, MacBytes mac,
                 std::uint32_t metric = 0) {
  LinkAddress link;
  link.name = name;
  link.index = index;
  link.address = ip;
  link.prefixLength = prefix;
  link.ethernet = ethernet;
  link.running = true;
  link.metric = metric;
  link.mac = mac;
  return link;
}

struct Sent {
  int domain;
  int ifindex;       // packet sockets
  std::uint32_t to;  // the asked address, host order (packet and UDP sockets)
  Bytes bytes;
  Clock::time_point at;
};

// The network the fake calls stand for. Answers go into the far end of the engine's socket.
struct FakeNet {
  std::mutex mutex;
  std::map<int, std::pair<int, int>> sockets;  // the engine's end -> {domain, far end}
  std::map<int, int> socketErrors;             // domain -> errno of socket()
  int sendErrors = 0, sendErrno = 0;           // the next sends on packet or UDP sockets fail
  std::vector<Sent> sent;
  std::map<std::uint32_t, std::vector<MacBytes>> hosts;  // who answers, with which MACs in turn
  std::map<std::uint32_t, int> deaf;                     // requests a host misses before it answers
  std::map<std::uint32_t, int> lateMs;                   // a host answers this long after a request
  std::vector<std::thread> later;                        // the late answers, joined by the test
  std::vector<Bytes> table;                              // what a dump of the neighbour table holds
  bool loseNotifications = false;                        // a send overflows the netlink buffer instead
  std::mutex receiversMutex;  // apart: the receive thread must not wait for a blocked writer
  std::set<std::thread::id> receivers;
  std::atomic<int> domains[4096] = {};  // by descriptor, read without the lock
  std::vector<LinkAddress> links;
  int linksErrno = 0;
  std::map<int, std::string> devices;  // UDP socket -> the interface it is bound to

  // Where the kernel resolves for a UDP socket: its bound interface, else the first one.
  int ResolvingIndex(int fd) {
    for (const LinkAddress& link : links) {
      if (devices.count(fd) == 0 || link.name == devices[fd]) return link.index;
    }
    return 0;
  }

  void Write(int domain, const Bytes& bytes) {
    for (auto& [fd, socket] : sockets) {
      if (socket.first == domain) (void)!::write(socket.second, bytes.data(), bytes.size());
    }
  }
  // An ARP datagram as the fake packet socket delivers it: interface index, packet type, payload.
  void Arp(int ifindex, std::uint8_t type, std::uint16_t opcode, const MacBytes& mac, std::uint32_t from) {
    ArpPayload payload = BuildArpRequest(mac, from, kOwnIp);
    payload[7] = static_cast<std::uint8_t>(opcode);
    Bytes datagram{static_cast<std::uint8_t>(ifindex), type};
    datagram.insert(datagram.end(), payload.begin(), payload.end());
    Write(AF_PACKET, datagram);
  }
};
FakeNet* net = nullptr;

ssize_t FakeSendto(int fd, const void* bytes, size_t size, int, const sockaddr* to, socklen_t) {
  std::lock_guard<std::mutex> lock(net->mutex);
  const int domain = net->sockets.at(fd).first;
  Sent sent{domain, 0, 0,
            Bytes(static_cast<const std::uint8_t*>(bytes), static_cast<const std::uint8_t*>(bytes) + size),
            Clock::now()};
  if (domain == AF_NETLINK) {  // a dump request: the table, then its end
    nlmsghdr request;
    std::memcpy(&request, bytes, sizeof request);
    for (Bytes entry : net->table) {
      std::memcpy(&entry[offsetof(nlmsghdr, nlmsg_seq)], &request.nlmsg_seq, 4);
      net->Write(AF_NETLINK, entry);
    }
    Bytes done(NLMSG_SPACE(4));
    const nlmsghdr header{static_cast<std::uint32_t>(done.size()), NLMSG_DONE, 0, request.nlmsg_seq, 0};
    std::memcpy(done.data(), &header, sizeof header);
    net->Write(AF_NETLINK, done);
    return static_cast<ssize_t>(size);
  }
  if (net->sendErrors > 0) {
    --net->sendErrors;
    errno = net->sendErrno;
    return -1;
  }
  if (domain == AF_PACKET) {
    sockaddr_ll link;
    std::memcpy(&link, to, sizeof link);
    sent.ifindex = link.sll_ifindex;
    sent.to = ParseArpPayload(sent.bytes.data(), size)->targetIp;
  } else {
    sockaddr_in address;
    std::memcpy(&address, to, sizeof address);
    sent.to = ntohl(address.sin_addr.s_addr);
    EXPECT_EQ(ntohs(address.sin_port), 9);
  }
  if (domain == AF_INET) sent.ifindex = net->ResolvingIndex(fd);
  net->sent.push_back(sent);
  if (net->loseNotifications) net->Write(AF_NETLINK, Bytes{'E'});
  if (net->deaf[sent.to] > 0) {
    --net->deaf[sent.to];
    return static_cast<ssize_t>(size);
  }
  if (net->lateMs.count(sent.to) != 0) {
    net->later.emplace_back([domain, to = sent.to, after = net->lateMs[sent.to]] {
      std::this_thread::sleep_for(std::chrono::milliseconds(after));
      std::lock_guard<std::mutex> lock(net->mutex);
      const MacBytes mac = HostMac(to);
      if (domain == AF_PACKET) net->Arp(2, PACKET_HOST, kArpReply, mac, to);
      if (domain == AF_INET) net->Write(AF_NETLINK, Neighbour(RTM_NEWNEIGH, to, NUD_REACHABLE, &mac));
    });
    return static_cast<ssize_t>(size);
  }
  for (const MacBytes& mac : net->hosts[sent.to]) {
    if (domain == AF_PACKET) net->Arp(sent.ifindex, PACKET_HOST, kArpReply, mac, sent.to);
    if (domain == AF_INET && !net->loseNotifications)
      net->Write(AF_NETLINK, Neighbour(RTM_NEWNEIGH, sent.to, NUD_REACHABLE, &mac, sent.ifindex));
  }
  return static_cast<ssize_t>(size);
}

ssize_t FakeRecvfrom(int fd, void* buffer, size_t size, int flags, sockaddr* from, socklen_t* length) {
  const int domain = net->domains[fd];
  {
    std::lock_guard<std::mutex> lock(net->receiversMutex);
    net->receivers.insert(std::this_thread::get_id());
  }
  std::uint8_t datagram[70000];
  const ssize_t got = ::recv(fd, datagram, sizeof datagram, flags);
  if (got <= 0) return got;
  std::memset(from, 0, *length);
  if (domain == AF_NETLINK) {
    if (got == 1 && datagram[0] == 'E') return errno = ENOBUFS, -1;
    std::memcpy(buffer, datagram, std::min<size_t>(size, static_cast<size_t>(got)));
    return got;
  }
  sockaddr_ll link{};
  link.sll_ifindex = datagram[0];
  link.sll_pkttype = datagram[1];
  std::memcpy(from, &link, sizeof link);
  std::memcpy(buffer, datagram + 2, static_cast<size_t>(got - 2));
  return got - 2;
}

class ArpEngineTest : public testing::Test {
 protected:
  void SetUp() override {
    net = &fake_;
    fake_.links = {Link("eth0", 2, kOwnIp, 24, true, kOwnMac),
                   Link("tun0", 5, Ip(10, 8, 0, 2), 24, false, {})};
    NetCalls& calls = LinuxNetCalls();
    calls.socket = [](int domain, int, int) {
      std::lock_guard<std::mutex> lock(net->mutex);
      if (net->socketErrors.count(domain) != 0) return errno = net->socketErrors[domain], -1;
      int ends[2];
      if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, ends) != 0) return -1;
      net->sockets[ends[0]] = {domain, ends[1]};
      net->domains[ends[0]] = domain;
      return ends[0];
    };
    calls.bind = [](int, const sockaddr*, socklen_t) { return 0; };
    calls.setsockopt = [](int fd, int level, int name, const void* value, socklen_t length) {
      if (level == SOL_SOCKET && name == SO_BINDTODEVICE) {
        std::lock_guard<std::mutex> lock(net->mutex);
        net->devices[fd] = std::string(static_cast<const char*>(value), length);
      }
      return 0;
    };
    calls.sendto = FakeSendto;
    calls.recvfrom = FakeRecvfrom;
    calls.close = [](int fd) {
      std::lock_guard<std::mutex> lock(net->mutex);
      ::close(net->sockets.at(fd).second);
      net->sockets.erase(fd);
      net->devices.erase(fd);
      return ::close(fd);
    };
    calls.listLinks = [](std::vector<LinkAddress>& links) {
      std::lock_guard<std::mutex> lock(net->mutex);
      links = net->links;
      return net->linksErrno == 0 || (errno = net->linksErrno, false);
    };
    // The kernel's resolution of a held entry, shortened: 200 ms held, then two probes 100 ms apart.
    calls.neighbourTimes = [](const std::string&) { return NeighbourTimes{200, 100, 2}; };
  }
  void TearDown() override {
    for (std::thread& answer : fake_.later) answer.join();
    LinuxNetCalls() = system_;
    EXPECT_TRUE(fake_.sockets.empty()) << "a socket was left open";
  }

  OpenedArpEngine Open(ArpEngineKind kind, std::uint32_t timeoutMs = 300, std::uint32_t rateCap = 0) {
    ArpEngineOptions options;
    options.timeoutMs = timeoutMs;
    options.rateCap = rateCap;
    options.allowRaw = kind == ArpEngineKind::Raw;
    options.allowKernel = kind == ArpEngineKind::Kernel;
    options.helperPath = kNoHelper;
    options.report = [this](const std::string& line) { reports_.push_back(line); };
    OpenedArpEngine engine = OpenArpEngine(options);
    EXPECT_NE(engine.probe, nullptr) << engine.error;
    return engine;
  }
  // The MAC an engine gives for an address, and how long it took.
  MacBytes Ask(ArpProbe& probe, std::uint32_t ip, Clock::duration* took = nullptr) {
    MacBytes mac{};
    const Clock::time_point start = Clock::now();
    probe.Request(htonl(ip), mac);
    if (took) *took = Clock::now() - start;
    return mac;
  }
  std::size_t SentCount() {
    std::lock_guard<std::mutex> lock(fake_.mutex);
    return fake_.sent.size();
  }
  std::size_t SentTo(std::uint32_t ip) {
    std::lock_guard<std::mutex> lock(fake_.mutex);
    return static_cast<std::size_t>(std::count_if(fake_.sent.begin(), fake_.sent.end(),
                                                  [ip](const Sent& sent) { return sent.to == ip; }));
  }
  // Asks every address at once, each on a worker of its own.
  void AskAll(ArpProbe& probe, const std::vector<std::uint32_t>& ips) {
    std::vector<std::thread> workers;
    for (const std::uint32_t ip : ips) workers.emplace_back([&, ip] { Ask(probe, ip); });
    for (std::thread& worker : workers) worker.join();
  }

  const NetCalls system_ = LinuxNetCalls();
  FakeNet fake_;
  std::vector<std::string> reports_;  // what the engines said for the user
};

const ArpEngineKind kBoth[] = {ArpEngineKind::Raw, ArpEngineKind::Kernel};

TEST_F(ArpEngineTest, OpensTheEngineThatCanBeHadOrSaysWhyNone) {
  const struct {
    int packetErrno, netlinkErrno;
    bool allowKernel, ethernet;
    int linksErrno;
    const char* expected;  // engine name, or a piece of the message
  } cases[] = {
      {0, 0, true, true, 0, "raw"},
      {EPERM, 0, true, true, 0, "kernel"},
      {EPERM, 0, false, true, 0, "Operation not permitted (it needs CAP_NET_RAW"},
      {EPERM, EACCES, true, true, 0,
       "raw ARP socket: Operation not permitted (it needs CAP_NET_RAW, for example root); "
       "the ARP helper /nonexistent/quarvo-arp: No such file or directory; "
       "cannot open a netlink socket for the neighbour table: Permission denied"},
      {0, 0, true, true, ENOMEM, "cannot read the machine's network interfaces"},
      {0, 0, true, false, 0, "no Ethernet interface that is up has an IPv4 address"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    fake_.socketErrors.clear();
    if (c.packetErrno) fake_.socketErrors[AF_PACKET] = c.packetErrno;
    if (c.netlinkErrno) fake_.socketErrors[AF_NETLINK] = c.netlinkErrno;
    fake_.linksErrno = c.linksErrno;
    fake_.links[0].ethernet = c.ethernet;
    ArpEngineOptions options;
    options.allowKernel = c.allowKernel;
    options.helperPath = kNoHelper;
    const OpenedArpEngine engine = OpenArpEngine(options);
    if (engine.probe) {
      EXPECT_STREQ(ArpEngineName(engine.kind), c.expected);
      // Falling back, the program says why it did: the user can grant the helper its capability.
      if (engine.kind == ArpEngineKind::Kernel) {
        EXPECT_NE(engine.whyNotRaw.find(kNoHelper), std::string::npos);
      }
    } else {
      EXPECT_NE(engine.error.find(c.expected), std::string::npos) << engine.error;
    }
  }
}

TEST_F(ArpEngineTest, OwnOffLinkAndAnsweringAddresses) {
  for (ArpEngineKind kind : kBoth) {
    SCOPED_TRACE(ArpEngineName(kind));
    fake_.sent.clear();
    fake_.hosts[Ip(192, 168, 7, 20)] = {HostMac(Ip(192, 168, 7, 20))};
    const OpenedArpEngine engine = Open(kind, 5000);
    // Silent at once (long before the time-out), nothing sent: off-link, another network's
    // machine, the network and broadcast addresses, and a network without ARP.
    for (std::uint32_t ip : {Ip(172, 16, 0, 9), Ip(192, 168, 7, 0), Ip(192, 168, 7, 255), Ip(10, 8, 0, 7)}) {
      Clock::duration took;
      EXPECT_EQ(Ask(*engine.probe, ip, &took), MacBytes{});
      EXPECT_LT(took, std::chrono::milliseconds(2500));
    }
    EXPECT_EQ(Ask(*engine.probe, kOwnIp), kOwnMac);
    EXPECT_EQ(SentCount(), 0u);
    EXPECT_EQ(Ask(*engine.probe, Ip(192, 168, 7, 20)), HostMac(Ip(192, 168, 7, 20)));
    ASSERT_EQ(SentCount(), 1u);
    if (kind == ArpEngineKind::Raw) {  // on eth0, from its own address and MAC, to the broadcast MAC
      EXPECT_EQ(fake_.sent[0].ifindex, 2);
      const ArpPayload expected = BuildArpRequest(kOwnMac, kOwnIp, Ip(192, 168, 7, 20));
      EXPECT_EQ(fake_.sent[0].bytes, Bytes(expected.begin(), expected.end()));
    }
  }
}

TEST_F(ArpEngineTest, RawTakesTheFirstReplyOfTheAskedAddressOnItsInterface) {
  const std::uint32_t asked = Ip(192, 168, 7, 30);
  const OpenedArpEngine engine = Open(ArpEngineKind::Raw);
  std::thread answers([&] {
    while (SentCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::lock_guard<std::mutex> lock(fake_.mutex);
    fake_.Arp(3, PACKET_HOST, kArpReply, HostMac(asked, 1), asked);      // another interface
    fake_.Arp(2, PACKET_HOST, kArpRequest, HostMac(asked, 2), asked);    // a request, not a reply
    fake_.Arp(2, PACKET_HOST, kArpReply, HostMac(asked, 3), asked + 1);  // another address
    fake_.Arp(2, PACKET_OUTGOING, kArpReply, HostMac(asked, 4), asked);  // this machine's own frame
    fake_.Write(AF_PACKET, Bytes{2, PACKET_HOST, 0, 1, 8, 0});           // cut short
    fake_.Arp(2, PACKET_HOST, kArpReply, HostMac(asked, 5), asked);
    fake_.Arp(2, PACKET_HOST, kArpReply, HostMac(asked, 6), asked);
  });
  EXPECT_EQ(Ask(*engine.probe, asked), HostMac(asked, 5));
  answers.join();
}

TEST_F(ArpEngineTest, RawResendsWithinTheTimeOutOfASilentAddress) {
  const OpenedArpEngine engine = Open(ArpEngineKind::Raw, 400);
  Clock::duration took;
  EXPECT_EQ(Ask(*engine.probe, Ip(192, 168, 7, 40), &took), MacBytes{});
  EXPECT_EQ(SentCount(), 3u);  // at 0, 100 and 200 ms
  EXPECT_GE(took, std::chrono::milliseconds(400));
  EXPECT_LT(took, std::chrono::milliseconds(2000));
}

TEST_F(ArpEngineTest, RefusedSendsAreWaitedOutOrEndTheRequest) {
  const std::uint32_t host = Ip(192, 168, 7, 50);
  const struct {
    ArpEngineKind kind;
    int sendErrno, sendErrors;
    bool answered;
    std::uint32_t timeoutMs;
    int atLeastMs, belowMs;
  } cases[] = {
      // A full transmit queue or neighbour table (ENOBUFS) is waited out, even past the time-out
      // of 100 ms, which counts from the send the kernel took (and long before the 30 s limit).
      {ArpEngineKind::Raw, ENOBUFS, 3, true, 100, 30, 5000},
      {ArpEngineKind::Kernel, ENOBUFS, 9, true, 100, 300, 5000},
      {ArpEngineKind::Kernel, EAGAIN, 2, true, 100, 10, 5000},
      // An interface that went down: silent at once, long before the time-out.
      {ArpEngineKind::Raw, ENETDOWN, 1, false, 10000, 0, 5000},
      {ArpEngineKind::Kernel, ENETUNREACH, 1, false, 10000, 0, 5000},
  };
  fake_.hosts[host] = {HostMac(host)};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(ArpEngineName(c.kind)) + " " + std::strerror(c.sendErrno));
    const OpenedArpEngine engine = Open(c.kind, c.timeoutMs);
    fake_.sendErrno = c.sendErrno;
    fake_.sendErrors = c.sendErrors;
    Clock::duration took;
    EXPECT_EQ(Ask(*engine.probe, host, &took), c.answered ? HostMac(host) : MacBytes{});
    EXPECT_GE(took, std::chrono::milliseconds(c.atLeastMs));
    EXPECT_LT(took, std::chrono::milliseconds(c.belowMs));
  }
}

// Only a fresh answer counts. An entry the kernel holds without having confirmed it lately (a
// machine that left, an address where nothing lives) is no answer until the kernel confirms it.
TEST_F(ArpEngineTest, KernelCountsOnlyWhatTheKernelConfirms) {
  const std::uint32_t reachable = Ip(192, 168, 7, 60), left = Ip(192, 168, 7, 61),
                      empty = Ip(192, 168, 7, 62), stillThere = Ip(192, 168, 7, 63),
                      fixed = Ip(192, 168, 7, 64), failed = Ip(192, 168, 7, 65), dead = Ip(192, 168, 7, 66);
  const MacBytes old = HostMac(0, 9), zero{};
  const MacBytes reachableMac = HostMac(reachable), stillMac = HostMac(stillThere);
  fake_.table = {Neighbour(RTM_NEWNEIGH, reachable, NUD_REACHABLE, &reachableMac),
                 Neighbour(RTM_NEWNEIGH, left, NUD_STALE, &old),
                 Neighbour(RTM_NEWNEIGH, empty, NUD_DELAY, &old),
                 Neighbour(RTM_NEWNEIGH, stillThere, NUD_STALE, &stillMac),
                 Neighbour(RTM_NEWNEIGH, fixed, NUD_PERMANENT, &old),
                 Neighbour(RTM_NEWNEIGH, failed, NUD_FAILED, &zero),
                 Neighbour(RTM_NEWNEIGH, dead, NUD_REACHABLE, &zero)};  // no hardware address
  fake_.hosts[stillThere] = {stillMac};
  fake_.hosts[failed] = {HostMac(failed)};
  const OpenedArpEngine engine = Open(ArpEngineKind::Kernel, 10000);
  // The scan's start triggers the held entries of its range at once, and names the permanent one.
  engine.probe->BeginScan(htonl(Ip(192, 168, 7, 60)), 10);
  EXPECT_EQ(SentCount(), 3u);
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_NE(reports_[0].find("192.168.7.64 has a permanent neighbour entry on eth0"), std::string::npos)
      << reports_[0];
  Clock::duration took;
  EXPECT_EQ(Ask(*engine.probe, reachable, &took), reachableMac);
  EXPECT_LT(took, std::chrono::milliseconds(1000));  // confirmed lately: no wait
  EXPECT_EQ(Ask(*engine.probe, stillThere), stillMac);
  // Gone: silent once the kernel's own resolution time (shortened here), counted from the scan's
  // start for both, is over; not after the 10 s time-out.
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(Ask(*engine.probe, left), MacBytes{});
  EXPECT_EQ(Ask(*engine.probe, empty), MacBytes{});
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(5000));
  EXPECT_EQ(Ask(*engine.probe, fixed, &took), MacBytes{});  // the kernel never asks for it
  EXPECT_LT(took, std::chrono::milliseconds(1000));
  EXPECT_EQ(SentCount(), 3u);
  EXPECT_EQ(Ask(*engine.probe, failed), HostMac(failed));  // asked again, and answered now
  // The kernel gives up on an address: the engine does not wait for its own time-out.
  std::thread kernel([&] {
    while (SentCount() < 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::lock_guard<std::mutex> lock(fake_.mutex);
    fake_.Write(AF_NETLINK, Neighbour(RTM_NEWNEIGH, dead, NUD_FAILED, nullptr));
  });
  EXPECT_EQ(Ask(*engine.probe, dead, &took), MacBytes{});
  EXPECT_LT(took, std::chrono::milliseconds(5000));
  kernel.join();
}

// Two interfaces on one network (wired and wireless, a dock): the kernel resolves on the one of the
// lower route metric and files the entry there; both engines ask there and find the machine.
TEST_F(ArpEngineTest, BothEnginesAskOnTheInterfaceTheKernelRoutesBy) {
  const std::uint32_t host = Ip(192, 168, 7, 80);
  fake_.links = {Link("eth0", 2, kOwnIp, 24, true, kOwnMac, 600),
                 Link("wlan0", 3, Ip(192, 168, 7, 11), 24, true, HostMac(0, 3), 100)};
  fake_.hosts[host] = {HostMac(host)};
  for (ArpEngineKind kind : kBoth) {
    SCOPED_TRACE(ArpEngineName(kind));
    fake_.sent.clear();
    const OpenedArpEngine engine = Open(kind, 2000);
    EXPECT_EQ(Ask(*engine.probe, host), HostMac(host));
    ASSERT_EQ(SentCount(), 1u);
    EXPECT_EQ(fake_.sent[0].ifindex, 3);
  }
}

// A scan takes the interfaces afresh: after a renumbering (a DHCP move, a re-plugged adapter) the
// next scan asks on the new network, and the old one is off every network, which is said.
TEST_F(ArpEngineTest, AScanFollowsARenumberedInterface) {
  const std::uint32_t moved = Ip(10, 20, 0, 10), host = Ip(10, 20, 0, 30);
  fake_.hosts[host] = {HostMac(host)};
  for (ArpEngineKind kind : kBoth) {
    SCOPED_TRACE(ArpEngineName(kind));
    fake_.links[0].address = kOwnIp;
    reports_.clear();
    const OpenedArpEngine engine = Open(kind, 3000);
    {
      std::lock_guard<std::mutex> lock(fake_.mutex);
      fake_.links[0].address = moved;
    }
    engine.probe->BeginScan(htonl(Ip(10, 20, 0, 1)), 254);
    EXPECT_EQ(Ask(*engine.probe, host), HostMac(host));
    EXPECT_EQ(Ask(*engine.probe, moved), kOwnMac);
    EXPECT_TRUE(reports_.empty());
    engine.probe->BeginScan(htonl(Ip(192, 168, 7, 20)), 11);
    Clock::duration took;
    EXPECT_EQ(Ask(*engine.probe, Ip(192, 168, 7, 25), &took), MacBytes{});
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_NE(reports_[0].find("192.168.7.20 - 192.168.7.30: no Ethernet interface"), std::string::npos)
        << reports_[0];
  }
}

// Stop means now: requests in flight end silent at once whatever the time-out, and so do new ones,
// until the next scan begins; a send waiting for room in a full table is given up too.
TEST_F(ArpEngineTest, CancelEndsEveryRequestAtOnceUntilTheNextScan) {
  const std::uint32_t host = Ip(192, 168, 7, 90);
  for (ArpEngineKind kind : kBoth) {
    SCOPED_TRACE(ArpEngineName(kind));
    fake_.hosts.clear();
    const OpenedArpEngine engine = Open(kind, 60000);
    engine.probe->BeginScan(htonl(Ip(192, 168, 7, 1)), 254);
    {
      std::lock_guard<std::mutex> lock(fake_.mutex);
      fake_.sendErrno = ENOBUFS;
      fake_.sendErrors = 1 << 30;  // the first worker waits for room
    }
    std::vector<std::thread> workers;
    std::atomic<int> done{0};
    for (int i = 0; i < 20; ++i) {
      workers.emplace_back([&, i] {
        if (i == 1) {
          std::lock_guard<std::mutex> lock(fake_.mutex);
          fake_.sendErrors = 0;
        }
        if (Ask(*engine.probe, host + static_cast<std::uint32_t>(i)) == MacBytes{}) ++done;
      });
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Clock::time_point cancelled = Clock::now();
    engine.probe->Cancel();
    for (std::thread& worker : workers) worker.join();
    EXPECT_LT(Clock::now() - cancelled, std::chrono::milliseconds(1000));
    EXPECT_EQ(done, 20);
    const std::size_t sent = SentCount();
    fake_.hosts[host] = {HostMac(host)};
    Clock::duration took;
    EXPECT_EQ(Ask(*engine.probe, host, &took), MacBytes{});
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    EXPECT_EQ(SentCount(), sent);  // nothing asked after the Stop
    engine.probe->BeginScan(htonl(Ip(192, 168, 7, 1)), 254);
    EXPECT_EQ(Ask(*engine.probe, host), HostMac(host));
  }
}

TEST_F(ArpEngineTest, KernelReadsTheTableAgainWhenNotificationsAreLost) {
  const std::uint32_t host = Ip(192, 168, 7, 70);
  const MacBytes mac = HostMac(host);
  const OpenedArpEngine engine = Open(ArpEngineKind::Kernel, 1000);
  fake_.loseNotifications = true;
  fake_.table = {Neighbour(RTM_NEWNEIGH, host, NUD_REACHABLE, &mac)};
  EXPECT_EQ(Ask(*engine.probe, host), mac);
}

TEST_F(ArpEngineTest, ThousandWorkersShareOneReceiveThread) {
  for (ArpEngineKind kind : kBoth) {
    SCOPED_TRACE(ArpEngineName(kind));
    for (int i = 0; i < 1000; ++i) {
      const std::uint32_t ip = Ip(192, 168, 0, 0) + static_cast<std::uint32_t>(i + 1);
      fake_.hosts[ip] = {HostMac(ip)};
    }
    fake_.links[0].prefixLength = 16;
    fake_.receivers.clear();
    const OpenedArpEngine engine = Open(kind, 5000);
    std::atomic<int> right{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 1000; ++i) {
      workers.emplace_back([&, i] {
        const std::uint32_t ip = Ip(192, 168, 0, 0) + static_cast<std::uint32_t>(i + 1);
        if (Ask(*engine.probe, ip) == HostMac(ip)) ++right;
      });
    }
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(right, 1000);
    EXPECT_EQ(fake_.receivers.size(), kind == ArpEngineKind::Raw ? 1u : 2u);  // kernel: the opening read, too
  }
}

// The far end of a socketpair plays the ARP helper: it reads the records the engine writes and
// answers with records of its own.
class HelperEnd {
 public:
  HelperEnd() {
    int ends[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    engineEnd = ends[0];
    fd_ = ends[1];
  }
  ~HelperEnd() { Close(); }
  quarvo_arp_record Next() {
    quarvo_arp_record record{};
    EXPECT_EQ(::recv(fd_, &record, sizeof record, 0), static_cast<ssize_t>(sizeof record));
    return record;
  }
  void Tell(std::uint8_t kind, std::uint32_t ip, const MacBytes& mac = {}) {
    quarvo_arp_record record{QUARVO_ARP_VERSION, kind, {}, 2, htonl(ip)};
    std::memcpy(record.mac, mac.data(), 6);
    EXPECT_EQ(::send(fd_, &record, sizeof record, 0), static_cast<ssize_t>(sizeof record));
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int engineEnd = -1;

 private:
  int fd_ = -1;
};

TEST_F(ArpEngineTest, HelperIsAskedByRecordAndItsAnswersAndRefusalsEndTheWait) {
  HelperEnd helper;
  std::string error;
  const auto engine =
      arp::OpenRawEngine(TimeOut(5000), fake_.links, arp::HelperWireOn(helper.engineEnd, 0), nullptr, error);
  ASSERT_NE(engine, nullptr) << error;
  const std::uint32_t answering = Ip(192, 168, 7, 20), refused = Ip(192, 168, 7, 21);
  std::thread helperSide([&] {
    // One ASK per address: version, kind, no MAC, the interface and the address in wire order.
    const quarvo_arp_record first = helper.Next();
    EXPECT_EQ(first.version, QUARVO_ARP_VERSION);
    EXPECT_EQ(first.kind, QUARVO_ARP_ASK);
    EXPECT_EQ(std::memcmp(first.mac, MacBytes{}.data(), 6), 0);
    EXPECT_EQ(first.ifindex, 2);
    EXPECT_EQ(ntohl(first.address), answering);
    helper.Tell(QUARVO_ARP_ANSWER, answering + 1, HostMac(answering + 1));  // nobody waits for it
    helper.Tell(QUARVO_ARP_ANSWER, answering, HostMac(answering));
    EXPECT_EQ(ntohl(helper.Next().address), refused);
    helper.Tell(QUARVO_ARP_REFUSED, refused);
  });
  EXPECT_EQ(Ask(*engine, answering), HostMac(answering));
  Clock::duration took;
  EXPECT_EQ(Ask(*engine, refused, &took), MacBytes{});
  EXPECT_LT(took, std::chrono::milliseconds(2500));  // not the time-out of 5 s
  helperSide.join();
  // Nothing goes to the helper for what needs no request: off-link, the machine's own address.
  EXPECT_EQ(Ask(*engine, Ip(172, 16, 0, 9)), MacBytes{});
  EXPECT_EQ(Ask(*engine, kOwnIp), kOwnMac);
}

TEST_F(ArpEngineTest, HelperThatEndsLeavesTheRunToTheFallback) {
  const std::uint32_t waiting = Ip(192, 168, 7, 30), later = Ip(192, 168, 7, 31);
  fake_.hosts[waiting] = {HostMac(waiting)};
  fake_.hosts[later] = {HostMac(later)};
  HelperEnd helper;
  std::atomic<int> opened{0};
  const arp::FallbackOpener fallback = [&] {
    ++opened;
    std::string error;
    return arp::OpenKernelEngine(TimeOut(5000), fake_.links, error);
  };
  std::string error;
  const auto engine = arp::OpenRawEngine(TimeOut(10000), fake_.links, arp::HelperWireOn(helper.engineEnd, 0),
                                         fallback, error);
  ASSERT_NE(engine, nullptr) << error;
  std::thread helperSide([&] {
    helper.Next();
    helper.Close();  // dies with a worker waiting
  });
  Clock::duration took;
  EXPECT_EQ(Ask(*engine, waiting, &took), HostMac(waiting));
  EXPECT_LT(took, std::chrono::milliseconds(5000));  // not the raw time-out of 10 s
  helperSide.join();
  EXPECT_EQ(Ask(*engine, later), HostMac(later));
  EXPECT_EQ(opened, 1);
  // Stop reaches the engine that took over, and the next scan begins there.
  engine->Cancel();
  fake_.hosts[later + 1] = {HostMac(later + 1)};
  EXPECT_EQ(Ask(*engine, later + 1, &took), MacBytes{});
  EXPECT_LT(took, std::chrono::milliseconds(1000));
  engine->BeginScan(htonl(Ip(192, 168, 7, 1)), 254);
  EXPECT_EQ(Ask(*engine, later + 1), HostMac(later + 1));
}

// While a worker waits out the last stretch of a silent address, its next address is asked ahead,
// so that a silent address holds a worker for less than its whole wait. Every machine is still
// found and asked once, every silent address gets its attempts and no more, nothing outside the
// range is asked, and a Stop ends the asking ahead too.
TEST_F(ArpEngineTest, AWorkersNextAddressIsAskedAheadOnceWithinTheRange) {
  constexpr std::uint32_t kFirst = Ip(192, 168, 7, 101), kCount = 40, kWorkers = 4;
  std::set<std::uint32_t> hosts;
  for (std::uint32_t i = 0; i < kCount; i += 5) {
    hosts.insert(kFirst + i);
    fake_.hosts[kFirst + i] = {HostMac(kFirst + i)};
  }
  const OpenedArpEngine engine = Open(ArpEngineKind::Raw, 800);
  std::mutex mutex;
  std::map<std::uint32_t, Clock::time_point> came;  // when its worker came to each address
  std::map<std::uint32_t, MacBytes> found;
  const auto scan = [&](std::uint32_t rounds) {
    engine.probe->BeginScan(htonl(kFirst), kCount);
    std::vector<std::thread> workers;
    for (std::uint32_t w = 0; w < kWorkers; ++w) {
      workers.emplace_back([&, w, rounds] {
        for (std::uint32_t ip = kFirst + w; ip < kFirst + rounds * kWorkers; ip += kWorkers) {
          {
            std::lock_guard<std::mutex> lock(mutex);
            came[ip] = Clock::now();
          }
          const MacBytes mac = Ask(*engine.probe, ip);
          std::lock_guard<std::mutex> lock(mutex);
          found[ip] = mac;
        }
      });
    }
    return workers;
  };
  for (std::thread& worker : scan(kCount / kWorkers)) worker.join();

  const arp::AskPlan plan = engine.pacer->Plan();
  ASSERT_EQ(plan.attempts, arp::ArpPacer::kStartAttempts) << "too few answers to measure the loss";
  std::map<std::uint32_t, std::vector<Clock::time_point>> asked;
  for (const Sent& sent : fake_.sent) asked[sent.to].push_back(sent.at);
  EXPECT_EQ(asked.begin()->first, kFirst);
  EXPECT_EQ(asked.rbegin()->first, kFirst + kCount - 1) << "asked past the range";
  int askedAhead = 0, askedAgain = 0;
  for (std::uint32_t ip = kFirst; ip < kFirst + kCount; ++ip) {
    SCOPED_TRACE(arp::DottedAddress(ip));
    const bool host = hosts.count(ip) != 0;
    EXPECT_EQ(found[ip], host ? HostMac(ip) : MacBytes{});
    const auto attempts = static_cast<std::size_t>(plan.attempts);
    if (host) {
      EXPECT_EQ(asked[ip].size(), 1u);
    } else {
      // A worker that comes too late for a request asked ahead asks afresh: one more, no fewer.
      EXPECT_GE(asked[ip].size(), attempts);
      EXPECT_LE(asked[ip].size(), attempts + 1);
      askedAgain += asked[ip].size() > attempts ? 1 : 0;
    }
    // The address before it of the same worker was silent: its first request was out before the
    // worker came to it.
    if (ip >= kFirst + kWorkers && hosts.count(ip - kWorkers) == 0 && asked[ip].front() < came[ip])
      ++askedAhead;
  }
  EXPECT_GE(askedAhead, 20) << "of the 28 addresses after a silent one";
  EXPECT_LE(askedAgain, 2) << "workers came too late for what was asked ahead";

  // A Stop in the middle of a scan: nothing more goes on the wire, ahead or not.
  fake_.sent.clear();
  std::vector<std::thread> workers = scan(kCount / kWorkers);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  engine.probe->Cancel();
  for (std::thread& worker : workers) worker.join();
  const std::size_t sent = SentCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(SentCount(), sent);
}

// A worker that comes late to an address asked ahead (its last answer came late, the machine is
// busy) still gives it every attempt, spaced so that a slow answer can come between them.
TEST_F(ArpEngineTest, AWorkerLateForAnAddressAskedAheadStillSpacesItsAttempts) {
  constexpr std::uint32_t kFirst = Ip(192, 168, 7, 101);
  const std::uint32_t late = kFirst + 2;
  fake_.hosts[late] = {HostMac(late)};
  fake_.deaf[late] = 2;  // answers the third request
  const OpenedArpEngine engine = Open(ArpEngineKind::Raw, 300);
  engine.probe->BeginScan(htonl(kFirst), 3);
  EXPECT_EQ(Ask(*engine.probe, kFirst), MacBytes{});
  EXPECT_EQ(Ask(*engine.probe, kFirst + 1), MacBytes{});
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(Ask(*engine.probe, late), HostMac(late));
  std::vector<Clock::time_point> asked;
  for (const Sent& sent : fake_.sent)
    if (sent.to == late) asked.push_back(sent.at);
  ASSERT_GE(asked.size(), 3u);
  const auto spacing = engine.pacer->Plan().spacing;
  for (std::size_t i = 1; i < asked.size(); ++i)
    EXPECT_GE(asked[i] - asked[i - 1], spacing / 2) << "request " << i << " came in a burst";
}

// The loss the engine measured sets how often a silent address is asked: a machine behind that
// loss must still be found.
TEST_F(ArpEngineTest, RawAsksASilentAddressAsOftenAsTheMeasuredLossCallsFor) {
  std::vector<std::uint32_t> hosts;
  for (int i = 1; i <= 30; ++i) hosts.push_back(Ip(192, 168, 7, 100 + i));
  const std::uint32_t silent = Ip(192, 168, 7, 200), silentToo = Ip(192, 168, 7, 201);
  for (const bool lossy : {false, true}) {
    SCOPED_TRACE(lossy ? "every machine missed its first request" : "a clean wire");
    for (const std::uint32_t ip : hosts) {
      fake_.hosts[ip] = {HostMac(ip)};
      fake_.deaf[ip] = lossy ? 1 : 0;
    }
    const OpenedArpEngine engine = Open(ArpEngineKind::Raw);
    AskAll(*engine.probe, hosts);
    EXPECT_EQ(Ask(*engine.probe, lossy ? silentToo : silent), MacBytes{});
    EXPECT_EQ(SentTo(lossy ? silentToo : silent),
              lossy ? static_cast<std::size_t>(arp::ArpPacer::kMostAttempts) : 2u);
  }
}

// An answer that comes after its worker gave up: the network is behind, and the pace halves.
TEST_F(ArpEngineTest, LateAnswersSlowTheEngineDown) {
  for (const ArpEngineKind kind : kBoth) {
    SCOPED_TRACE(ArpEngineName(kind));
    const std::uint32_t slow = Ip(192, 168, 7, kind == ArpEngineKind::Raw ? 70 : 71);
    fake_.lateMs[slow] = 400;
    const OpenedArpEngine engine = Open(kind, 200);
    EXPECT_EQ(Ask(*engine.probe, slow), MacBytes{});
    for (int i = 0; i < 200 && engine.pacer->Rate() == arp::ArpPacer::kStartRate; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_DOUBLE_EQ(engine.pacer->Rate(), arp::ArpPacer::kStartRate * arp::ArpPacer::kLateCut);
    const arp::PaceReport report = engine.pacer->TakeReport();
    EXPECT_EQ(report.lateAnswers, 1u);
    EXPECT_TRUE(report.limited);
  }
}

// --rate holds on the wire, resends included; the kernel sends up to three requests for each
// datagram, so it gets a third of the cap.
TEST_F(ArpEngineTest, TheRateCapHoldsInEveryWindowOfTheWire) {
  std::vector<std::uint32_t> silent;
  for (int i = 1; i <= 20; ++i) silent.push_back(Ip(192, 168, 7, 150 + i));
  for (const ArpEngineKind kind : kBoth) {
    SCOPED_TRACE(ArpEngineName(kind));
    fake_.sent.clear();
    const OpenedArpEngine engine = Open(kind, 100, 30);
    AskAll(*engine.probe, silent);
    std::vector<Clock::time_point> wire;
    for (const Sent& sent : fake_.sent)
      if (sent.domain != AF_NETLINK) wire.push_back(sent.at);
    EXPECT_GE(wire.size(), silent.size());
    const std::size_t cap = kind == ArpEngineKind::Raw ? 30 : 10;
    for (std::size_t i = 0; i + cap < wire.size(); ++i)
      EXPECT_GE(wire[i + cap] - wire[i], std::chrono::seconds(1)) << "request " << i + cap;
  }
}

}  // namespace
}  // namespace quarvo
