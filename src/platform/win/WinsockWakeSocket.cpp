// The magic packet's socket calls through Windows Sockets 1.1, and the adapters' networks through
// the IP Helper's address table.
// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
// clang-format on

#include <vector>

#include "net/WakeSocket.h"
#include "platform/System.h"

namespace quarvo {

namespace {

int PrefixLength(std::uint32_t mask) {
  int length = 0;
  while (length < 32 && (mask & (0x80000000u >> length)) != 0) ++length;
  return length;
}

class WinsockWakeSocket final : public WakeSocket {
 public:
  bool Startup() override {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }

  // The addresses of the adapters that are connected, loopback excluded.
  std::vector<WakeNetwork> Networks() override {
    std::vector<WakeNetwork> networks;
    ULONG size = 0;
    if (GetIpAddrTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0) return networks;
    std::vector<unsigned char> buffer(size);
    auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
    if (GetIpAddrTable(table, &size, FALSE) != NO_ERROR) return networks;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
      const MIB_IPADDRROW& row = table->table[i];
      const std::uint32_t address = ntohl(row.dwAddr);
      if (address == 0 || (address >> 24) == 127) continue;
      if ((row.wType & (MIB_IPADDR_DISCONNECTED | MIB_IPADDR_DELETED)) != 0) continue;
      networks.push_back({address, PrefixLength(ntohl(row.dwMask))});
    }
    return networks;
  }

  bool BindLocal(SocketHandle s, std::uint32_t hostOrderAddress) override {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(hostOrderAddress);
    return bind(static_cast<SOCKET>(s), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
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
