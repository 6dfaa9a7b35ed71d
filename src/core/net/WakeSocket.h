// The datagram socket behind the magic packet sender, one method per socket call, so that tests
// see the calls and their order and can make any of them fail. On Windows it is Windows Sockets
// 1.1, elsewhere BSD sockets. Failures are reported through the results only; nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarvo {

// A socket of the platform (SOCKET on Windows, a descriptor elsewhere) widened to one type.
using SocketHandle = std::uintptr_t;
// What a failed socket creation returns: all bits set.
inline constexpr SocketHandle kNoSocket = ~SocketHandle{0};

// An IPv4 network of one of the machine's interfaces (or adapters) that is up and can broadcast.
struct WakeNetwork {
  std::uint32_t address = 0;  // the machine's own address on it, host order
  int prefixLength = 0;
};

class WakeSocket {
 public:
  virtual ~WakeSocket() = default;
  // The networks a magic packet can leave by; empty when they cannot be read, and then a packet
  // goes, unbound, to the limited broadcast alone, wherever the system's routes send it.
  virtual std::vector<WakeNetwork> Networks() { return {}; }
  // Binds the socket to the machine's own address on one network (host order), so that its
  // broadcasts, the limited one included, leave by that network's interface; false when refused.
  virtual bool BindLocal(SocketHandle socket, std::uint32_t hostOrderAddress) {
    static_cast<void>(socket);
    static_cast<void>(hostOrderAddress);
    return true;
  }
  // Starts the socket library, asking for version 1.1; false when it did not start.
  virtual bool Startup() = 0;
  // An IPv4 datagram socket, or kNoSocket.
  virtual SocketHandle OpenDatagram() = 0;
  // Gives the socket permission to send broadcasts; false when refused.
  virtual bool AllowBroadcast(SocketHandle socket) = 0;
  // Sends the bytes as one datagram to the host-order IPv4 address and UDP port; false when the
  // platform refused the send.
  virtual bool SendTo(SocketHandle socket, const std::uint8_t* bytes, std::size_t length,
                      std::uint32_t hostOrderAddress, std::uint16_t port) = 0;
  virtual void Close(SocketHandle socket) = 0;
  // Shuts the socket library down again (once for every Startup).
  virtual void Cleanup() = 0;
};

// The platform's sockets.
}  // namespace quarvo
