// The Wake-on-LAN magic packet and its sender.
#pragma once

#include <array>
#include <cstdint>
#include <string>

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

// Wakes one machine: one magic packet as a UDP broadcast to 255.255.255.255, port 9, with the
// socket library started and a socket opened for this packet alone and both closed again. The MAC
// text is read before any socket call, and its ConversionError goes to the caller with nothing
// opened or sent. From there on no failure is reported: a packet that could not be sent looks
// the same as one that was.
void SendWakePacket(const std::string& macText, WakeSocket& socket);

}  // namespace quarvo
