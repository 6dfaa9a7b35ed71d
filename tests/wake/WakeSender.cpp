// Sends a magic packet through the real sockets per argument, MAC or MAC@IP (the IP address of the
// machine, which chooses the network it leaves by); run by the namespace test only. Exit 1 when the
// system took no packet of an argument.
#include <cstdio>
#include <string>

#include "net/MagicPacket.h"
#include "platform/System.h"
#include "text/TextHelpers.h"

int main(int argc, char** argv) {
  int status = 0;
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string argument = argv[i];
      const std::size_t at = argument.find('@');
      const std::string ip = at == std::string::npos ? std::string() : argument.substr(at + 1);
      if (!quarvo::SendWakePacket(argument.substr(0, at), ip, quarvo::SystemWakeSocket())) {
        std::fprintf(stderr, "no packet taken for %s\n", argv[i]);
        status = 1;
      }
    }
  } catch (const quarvo::ConversionError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
  return status;
}
