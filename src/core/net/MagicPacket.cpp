#include "net/MagicPacket.h"

#include "text/TextHelpers.h"

namespace quarvo {

MacBytes ReadMacBytes(const std::string& macText) {
  MacBytes mac{};
  for (std::size_t i = 0; i < mac.size(); ++i) {
    const std::size_t offset = 3 * i;
    const std::string pair = offset < macText.size() ? macText.substr(offset, 2) : std::string();
    mac[i] = static_cast<std::uint8_t>(ParseInt("$" + pair) & 0xFF);
  }
  return mac;
}

MagicPacket BuildMagicPacket(const MacBytes& mac) {
  MagicPacket packet;
  packet.fill(0xFF);
  for (std::size_t offset = mac.size(); offset < packet.size(); offset += mac.size()) {
    for (std::size_t i = 0; i < mac.size(); ++i) packet[offset + i] = mac[i];
  }
  return packet;
}

void SendWakePacket(const std::string& macText, WakeSocket& socket) {
  const MagicPacket packet = BuildMagicPacket(ReadMacBytes(macText));

  // The results of the socket calls are not used: a library that did not start shows up as a
  // socket that could not be made, and a refused broadcast permission or send has no remedy here.
  socket.Startup();
  const SocketHandle handle = socket.OpenDatagram();
  if (handle == kNoSocket) {
    socket.Cleanup();
    return;
  }
  socket.AllowBroadcast(handle);
  socket.SendTo(handle, packet.data(), packet.size(), kLimitedBroadcast, kWakePort);
  socket.Close(handle);
  socket.Cleanup();
}

}  // namespace quarvo
