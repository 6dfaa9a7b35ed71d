// Sends one magic packet through the platform's own sockets for each MAC text on the command
// line. Only the network namespace test runs it, inside a namespace of its own.
#include <cstdio>

#include "net/MagicPacket.h"
#include "text/TextHelpers.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    try {
      quarvo::SendWakePacket(argv[i], quarvo::SystemWakeSocket());
    } catch (const quarvo::ConversionError& error) {
      std::fprintf(stderr, "%s\n", error.what());
      return 2;
    }
  }
  return 0;
}
