// ARP requests on one AF_PACKET socket (Ethernet ARP payloads, the kernel adds the Ethernet
// header). One receive thread reads every answer and hands it to the worker waiting for it.
#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>

#include <cerrno>
#include <thread>

#include "net/ArpFrame.h"
#include "platform/linux/ArpEngineParts.h"

namespace quarvo::arp {
namespace {

bool LacksRoom(int error) {
  return error == ENOBUFS || error == EAGAIN || error == EINTR;
}

class RawArpEngine final : public ArpProbe {
 public:
  RawArpEngine(const ArpEngineOptions& options, std::vector<LinkAddress> links, int fd)
      : timeout_(options.timeoutMs), links_(std::move(links)), fd_(fd) {}

  ~RawArpEngine() override {
    if (receiver_.joinable()) {
      stop_.Raise();
      receiver_.join();
    }
    LinuxNetCalls().close(fd_);
  }

  // Starts the receive thread; false when its stop signal cannot be had.
  bool Start() {
    if (!stop_.Ok()) return false;
    receiver_ = std::thread([this] { Receive(); });
    return true;
  }

  void Request(std::uint32_t networkOrderAddress, MacBytes& mac) override {
    const std::uint32_t address = ntohl(networkOrderAddress);
    const LinkAddress* link = LinkToAsk(links_, address, mac);
    if (link == nullptr) return;
    const std::uint64_t key = WaitKey(link->index, address);
    Waiters::Waiter waiter;
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      waiters_.Add(key, waiter);
    }
    // Requests at 0, 1/4 and 1/2 of the time-out, counted from the first that the kernel took.
    if (SendWithRoom(*link, address, waiter)) {
      const Clock::time_point start = Clock::now();
      for (int resend = 1; resend <= 3; ++resend) {
        const Clock::time_point until = start + (resend < 3 ? timeout_ * resend / 4 : timeout_);
        std::unique_lock<std::mutex> lock(waiters_.mutex);
        if (waiter.wake.wait_until(lock, until, [&] { return waiter.done; })) break;
        lock.unlock();
        if (resend < 3) Send(*link, address);
      }
    }
    std::lock_guard<std::mutex> lock(waiters_.mutex);
    waiters_.Remove(key, waiter);
    if (waiter.answered) mac = waiter.mac;
  }

 private:
  // 0, or the errno of a request the kernel did not take.
  int Send(const LinkAddress& link, std::uint32_t target) {
    const ArpPayload payload = BuildArpRequest(link.mac, link.address, target);
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_ARP);
    to.sll_ifindex = link.index;
    to.sll_halen = 6;
    for (int i = 0; i < 6; ++i) to.sll_addr[i] = 0xFF;
    const ssize_t sent = LinuxNetCalls().sendto(fd_, payload.data(), payload.size(), 0,
                                                reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent < 0 ? errno : 0;
  }

  // The first request, waiting while the kernel has no room for it (a full transmit queue);
  // false when it cannot be sent (the interface is down, or no room came in kRoomWait).
  bool SendWithRoom(const LinkAddress& link, std::uint32_t target, Waiters::Waiter& waiter) {
    const Clock::time_point giveUp = Clock::now() + kRoomWait;
    auto pause = std::chrono::milliseconds(5);
    for (;;) {
      const int error = Send(link, target);
      if (error == 0) return true;
      if (!LacksRoom(error) || Clock::now() >= giveUp) return false;
      std::unique_lock<std::mutex> lock(waiters_.mutex);
      if (waiter.wake.wait_for(lock, pause, [&] { return waiter.done; })) return true;
      pause = std::min(pause * 2, std::chrono::milliseconds(100));
    }
  }

  void Receive() {
    std::uint8_t buffer[1500];
    while (WaitReadable(fd_, stop_)) {
      for (;;) {
        sockaddr_ll from{};
        socklen_t length = sizeof from;
        const ssize_t size = LinuxNetCalls().recvfrom(fd_, buffer, sizeof buffer, MSG_DONTWAIT,
                                                      reinterpret_cast<sockaddr*>(&from), &length);
        if (size < 0) {
          if (errno == EINTR) continue;
          if (errno != EAGAIN && errno != EWOULDBLOCK)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          break;
        }
        if (from.sll_pkttype == PACKET_OUTGOING) continue;  // this machine's own requests
        const auto message = ParseArpPayload(buffer, static_cast<std::size_t>(size));
        if (!message || message->opcode != kArpReply) continue;
        std::lock_guard<std::mutex> lock(waiters_.mutex);
        waiters_.Settle(WaitKey(from.sll_ifindex, message->senderIp), &message->senderMac);
      }
    }
  }

  const std::chrono::milliseconds timeout_;
  const std::vector<LinkAddress> links_;
  const int fd_;
  Waiters waiters_;
  StopSignal stop_;
  std::thread receiver_;
};

}  // namespace

std::unique_ptr<ArpProbe> OpenRawEngine(const ArpEngineOptions& options, std::vector<LinkAddress> links,
                                        std::string& error) {
  const NetCalls& calls = LinuxNetCalls();
  const int fd = calls.socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP));
  if (fd < 0) {
    const int cause = errno;
    error = "cannot open a raw ARP socket: " + ErrorText(cause);
    if (cause == EPERM || cause == EACCES) error += " (it needs CAP_NET_RAW, for example root)";
    return nullptr;
  }
  SetLargeReceiveBuffer(fd);
  auto engine = std::make_unique<RawArpEngine>(options, std::move(links), fd);
  if (!engine->Start()) {
    error = "cannot create the raw ARP engine's stop signal: " + ErrorText(errno);
    return nullptr;
  }
  return engine;
}

}  // namespace quarvo::arp
