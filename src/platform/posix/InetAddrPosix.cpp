// Builds without Windows Sockets use the program's own parser, which gives the same answers.
#include "net/Ipv4Text.h"
#include "platform/System.h"

namespace quarvo {

std::uint32_t InetAddr(const std::string& text) {
  return ParseBerkeleyAddress(text);
}

}  // namespace quarvo
