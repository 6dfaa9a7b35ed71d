// The Wake-on-LAN magic packet and its sender.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "net/ArpProbe.h"
#include "net/WakeSocket.h"

namespace quarvo {

// Six bytes 0xFF, then the six MAC bytes sixteen times.
using MagicPacket = std::array<std::uint8_t, 102>;

// The limited broadcast address 255.255.255.255 and the discard port: a sleeping machine's network
// card recognises the packet by its payload, and a machine that is awake ignores it.
inline constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFFu;
inline constexpr std::uint16_t kWakePort = 9;

// The six bytes of a MAC text such as "00-1A-2B-3C-4D-5E": the two characters at offsets 0-1,
// 3-4, ..., 15-16 are each read as hexadecimal, whatever stands between them and after them. A
// pair that is not hexadecimal, or missing from a short text, throws ConversionError naming the
// pair with a "$" in front ("$" alone for a missing pair); a text of 16 characters ends in a
// one-digit pair, which is read as such.
MacBytes ReadMacBytes(const std::string& macText);

MagicPacket BuildMagicPacket(const MacBytes& mac);

// The networks a packet for the machine at `ipText` leaves by: those of the longest prefix that
// hold its address (two interfaces on one network: both); when none does, or the text is no
// address (a bare MAC address, a hand-edited cell), every network, since the machine may be on any.
std::vector<WakeNetwork> WakeExits(const std::vector<WakeNetwork>& networks, const std::string& ipText);

// Wakes one machine. The MAC text is read before any socket call, and its ConversionError goes to
// the caller with nothing opened or sent. Then, with the socket library started once, for each
// network of WakeExits: a socket of its own, with broadcast permission and bound to the machine's
// address there, sends the magic packet to UDP port 9 of that network's broadcast address and of
// the limited broadcast 255.255.255.255, and is closed. With no network known, one unbound socket
// sends to the limited broadcast alone. True when the system took at least one of the packets.
bool SendWakePacket(const std::string& macText, const std::string& ipText, WakeSocket& socket);

}  // namespace quarvo
