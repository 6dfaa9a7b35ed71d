// The address boxes are parsed by Windows Sockets' own inet_addr.
#include <winsock2.h>

#include "net/Ipv4Text.h"
#include "platform/System.h"

namespace quarvo {

std::uint32_t InetAddr(const std::string& text) {
  return static_cast<std::uint32_t>(inet_addr(text.c_str()));
}

}  // namespace quarvo
