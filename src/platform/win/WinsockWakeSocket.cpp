// The magic packet's socket calls through Windows Sockets 1.1.
#include <winsock2.h>

#include "net/WakeSocket.h"
#include "platform/System.h"

namespace quarvo {

namespace {

class WinsockWakeSocket final : public WakeSocket {
 public:
  bool Startup() override {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }

  SocketHandle OpenDatagram() override {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(s);
  }

  bool AllowBroadcast(SocketHandle s) override {
    const BOOL allow = TRUE;  // a 32-bit integer 1
    return setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&allow),
                      sizeof allow) == 0;
  }

  bool SendTo(SocketHandle s, const std::uint8_t* bytes, std::size_t length, std::uint32_t hostOrderAddress,
              std::uint16_t port) override {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(hostOrderAddress);
    const int sent = sendto(static_cast<SOCKET>(s), reinterpret_cast<const char*>(bytes),
                            static_cast<int>(length), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent != SOCKET_ERROR;
  }

  void Close(SocketHandle s) override { closesocket(static_cast<SOCKET>(s)); }

  void Cleanup() override { WSACleanup(); }
};

}  // namespace

WakeSocket& SystemWakeSocket() {
  static WinsockWakeSocket& socket = *new WinsockWakeSocket;  // never freed: see System.h
  return socket;
}

}  // namespace quarvo
