// The ARP payload of Ethernet and IPv4 (28 bytes, what follows the Ethernet header), built and read
// as plain bytes. Addresses in it are in wire order; the values here are host order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "net/ArpProbe.h"

namespace quarvo {

inline constexpr std::size_t kArpPayloadSize = 28;
inline constexpr std::uint16_t kArpRequest = 1;
inline constexpr std::uint16_t kArpReply = 2;

using ArpPayload = std::array<std::uint8_t, kArpPayloadSize>;

// What an ARP payload says; the IPv4 addresses are host order.
struct ArpMessage {
  std::uint16_t opcode = 0;
  MacBytes senderMac{};
  std::uint32_t senderIp = 0;
  MacBytes targetMac{};
  std::uint32_t targetIp = 0;
};

// A request from senderMac/senderIp asking who holds targetIp (target hardware address zero).
ArpPayload BuildArpRequest(const MacBytes& senderMac, std::uint32_t senderIp, std::uint32_t targetIp);

// Reads an ARP payload; nothing for one shorter than 28 bytes or not Ethernet (type 1, length 6)
// over IPv4 (type 0x0800, length 4). Bytes after the 28 (Ethernet padding) are ignored.
std::optional<ArpMessage> ParseArpPayload(const std::uint8_t* bytes, std::size_t size);

}  // namespace quarvo
