// The raw engine's wire in a process that may open packet sockets itself (root): one AF_PACKET
// socket for ARP (Ethernet ARP payloads, the kernel adds the Ethernet header).
#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>

#include <cerrno>
#include <thread>

#include "net/ArpFrame.h"
#include "platform/linux/ArpEngineParts.h"

namespace quarvo::arp {
namespace {

class PacketWire final : public ArpWire {
 public:
  explicit PacketWire(int fd) : fd_(fd) {}
  ~PacketWire() override { LinuxNetCalls().close(fd_); }

  int Send(const LinkAddress& link, std::uint32_t target) override {
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

  int Fd() const override { return fd_; }

  bool Read(const Heard& heard) override {
    std::uint8_t buffer[1500];
    for (;;) {
      sockaddr_ll from{};
      socklen_t length = sizeof from;
      const ssize_t size = LinuxNetCalls().recvfrom(fd_, buffer, sizeof buffer, MSG_DONTWAIT,
                                                    reinterpret_cast<sockaddr*>(&from), &length);
      if (size < 0) {
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
      }
      if (from.sll_pkttype == PACKET_OUTGOING) continue;  // this machine's own requests
      const auto message = ParseArpPayload(buffer, static_cast<std::size_t>(size));
      if (!message || message->opcode != kArpReply) continue;
      heard(from.sll_ifindex, message->senderIp, &message->senderMac);
    }
  }

 private:
  const int fd_;
};

}  // namespace

std::unique_ptr<ArpWire> OpenPacketWire(std::string& error) {
  const int fd = LinuxNetCalls().socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP));
  if (fd < 0) {
    const int cause = errno;
    error = "cannot open a raw ARP socket: " + ErrorText(cause);
    if (cause == EPERM || cause == EACCES) error += " (it needs CAP_NET_RAW, for example root)";
    return nullptr;
  }
  SetLargeReceiveBuffer(fd);
  return std::make_unique<PacketWire>(fd);
}

}  // namespace quarvo::arp
