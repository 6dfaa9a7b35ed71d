#include "net/MagicPacket.h"

#include "net/AddressForms.h"
#include "net/Ipv4Text.h"
#include "text/TextHelpers.h"

namespace quarvo {

namespace {

std::uint32_t NetworkMask(int prefixLength) {
  return prefixLength <= 0 ? 0 : prefixLength >= 32 ? ~0u : ~0u << (32 - prefixLength);
}

}  // namespace

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

std::vector<WakeNetwork> WakeExits(const std::vector<WakeNetwork>& networks, const std::string& ipText) {
  const std::uint32_t network = ParseBerkeleyAddress(TrimText(ipText));
  std::vector<WakeNetwork> holding;
  if (!TrimText(ipText).empty() && network != kAddressNone) {
    const auto host = static_cast<std::uint32_t>(SwapHexBytes(AddressHex(network)));
    for (const WakeNetwork& candidate : networks) {
      const std::uint32_t mask = NetworkMask(candidate.prefixLength);
      if ((candidate.address & mask) != (host & mask)) continue;
      if (!holding.empty() && candidate.prefixLength < holding.front().prefixLength) continue;
      if (!holding.empty() && candidate.prefixLength > holding.front().prefixLength) holding.clear();
      holding.push_back(candidate);
    }
  }
  return holding.empty() ? networks : holding;
}

bool SendWakePacket(const std::string& macText, const std::string& ipText, WakeSocket& socket) {
  const MagicPacket packet = BuildMagicPacket(ReadMacBytes(macText));

  // A library that did not start shows up as a socket that could not be made; a refused broadcast
  // permission or binding shows up as refused sends.
  socket.Startup();
  const std::vector<WakeNetwork> exits = WakeExits(socket.Networks(), ipText);
  bool taken = false;
  const auto send = [&](SocketHandle handle, std::uint32_t address) {
    taken = socket.SendTo(handle, packet.data(), packet.size(), address, kWakePort) || taken;
  };
  if (exits.empty()) {
    const SocketHandle handle = socket.OpenDatagram();
    if (handle != kNoSocket) {
      socket.AllowBroadcast(handle);
      send(handle, kLimitedBroadcast);
      socket.Close(handle);
    }
  }
  for (const WakeNetwork& exit : exits) {
    const SocketHandle handle = socket.OpenDatagram();
    if (handle == kNoSocket) continue;
    socket.AllowBroadcast(handle);
    if (socket.BindLocal(handle, exit.address)) {
      // A /31 or /32 has no broadcast address of its own.
      if (exit.prefixLength <= 30) send(handle, exit.address | ~NetworkMask(exit.prefixLength));
      send(handle, kLimitedBroadcast);
    }
    socket.Close(handle);
  }
  socket.Cleanup();
  return taken;
}

}  // namespace quarvo
