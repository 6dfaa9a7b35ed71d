// Sends a magic packet through the real sockets per MAC text given; run by the namespace test only.
#include <cstdio>

#include "net/MagicPacket.h"
#include "platform/System.h"
#include "text/TextHelpers.h"

int main(int argc, char** argv) {
  try {
    for (int i = 1; i < argc; ++i) quarvo::SendWakePacket(argv[i], quarvo::SystemWakeSocket());
  } catch (const quarvo::ConversionError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
}
