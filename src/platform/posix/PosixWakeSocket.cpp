// The magic packet's socket calls through BSD sockets, for builds without Windows Sockets. There is
// no socket library to start or shut down.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "net/WakeSocket.h"
#include "platform/System.h"

namespace quarvo {

namespace {

int Descriptor(SocketHandle s) {
  return static_cast<int>(s);
}

int PrefixLength(std::uint32_t mask) {
  int length = 0;
  while (length < 32 && (mask & (0x80000000u >> length)) != 0) ++length;
  return length;
}

class PosixWakeSocket final : public WakeSocket {
 public:
  bool Startup() override { return true; }

  // The IPv4 networks of the interfaces that are up, have a link and broadcast (Ethernet, Wi-Fi);
  // loopback, point-to-point links (VPN tunnels) and unplugged ports excluded.
  std::vector<WakeNetwork> Networks() override {
    std::vector<WakeNetwork> networks;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return networks;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
      if (entry->ifa_addr == nullptr || entry->ifa_netmask == nullptr ||
          entry->ifa_addr->sa_family != AF_INET)
        continue;
      const unsigned flags = entry->ifa_flags;
      if ((flags & IFF_UP) == 0 || (flags & IFF_RUNNING) == 0 || (flags & IFF_BROADCAST) == 0 ||
          (flags & IFF_LOOPBACK) != 0) {
        continue;
      }
      sockaddr_in address, mask;
      std::memcpy(&address, entry->ifa_addr, sizeof address);
      std::memcpy(&mask, entry->ifa_netmask, sizeof mask);
      networks.push_back({ntohl(address.sin_addr.s_addr), PrefixLength(ntohl(mask.sin_addr.s_addr))});
    }
    freeifaddrs(list);
    return networks;
  }

  bool BindLocal(SocketHandle s, std::uint32_t hostOrderAddress) override {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(hostOrderAddress);
    return bind(Descriptor(s), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
  }

  SocketHandle OpenDatagram() override {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    return s < 0 ? kNoSocket : static_cast<SocketHandle>(s);
  }

  bool AllowBroadcast(SocketHandle s) override {
    const int allow = 1;
    return setsockopt(Descriptor(s), SOL_SOCKET, SO_BROADCAST, &allow, sizeof allow) == 0;
  }

  bool SendTo(SocketHandle s, const std::uint8_t* bytes, std::size_t length, std::uint32_t hostOrderAddress,
              std::uint16_t port) override {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(hostOrderAddress);
    return sendto(Descriptor(s), bytes, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0;
  }

  void Close(SocketHandle s) override { close(Descriptor(s)); }

  void Cleanup() override {}
};

}  // namespace

WakeSocket& SystemWakeSocket() {
  static PosixWakeSocket& socket = *new PosixWakeSocket;  // never freed: see System.h
  return socket;
}

}  // namespace quarvo
