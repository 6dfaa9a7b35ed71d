// The magic packet's socket calls through BSD sockets, for builds without Windows Sockets. There is
// no socket library to start or shut down.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/WakeSocket.h"
#include "platform/System.h"

namespace quarvo {

namespace {

int Descriptor(SocketHandle s) {
  return static_cast<int>(s);
}

class PosixWakeSocket final : public WakeSocket {
 public:
  bool Startup() override { return true; }

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
