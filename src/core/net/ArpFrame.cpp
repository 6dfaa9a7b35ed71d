#include "net/ArpFrame.h"

namespace quarvo {
namespace {

constexpr std::uint16_t kHardwareEthernet = 1;
constexpr std::uint16_t kProtocolIpv4 = 0x0800;

void Put16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value);
}

void Put32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

std::uint16_t Get16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

std::uint32_t Get32(const std::uint8_t* at) {
  return std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 | at[3];
}

}  // namespace

ArpPayload BuildArpRequest(const MacBytes& senderMac, std::uint32_t senderIp, std::uint32_t targetIp) {
  ArpPayload payload{};
  Put16(&payload[0], kHardwareEthernet);
  Put16(&payload[2], kProtocolIpv4);
  payload[4] = 6;
  payload[5] = 4;
  Put16(&payload[6], kArpRequest);
  for (std::size_t i = 0; i < 6; ++i) payload[8 + i] = senderMac[i];
  Put32(&payload[14], senderIp);
  // Target hardware address (18..23) stays zero: that is what is asked.
  Put32(&payload[24], targetIp);
  return payload;
}

std::optional<ArpMessage> ParseArpPayload(const std::uint8_t* bytes, std::size_t size) {
  if (bytes == nullptr || size < kArpPayloadSize) return std::nullopt;
  if (Get16(bytes) != kHardwareEthernet || Get16(bytes + 2) != kProtocolIpv4 || bytes[4] != 6 ||
      bytes[5] != 4) {
    return std::nullopt;
  }
  ArpMessage message;
  message.opcode = Get16(bytes + 6);
  for (std::size_t i = 0; i < 6; ++i) {
    message.senderMac[i] = bytes[8 + i];
    message.targetMac[i] = bytes[18 + i];
  }
  message.senderIp = Get32(bytes + 14);
  message.targetIp = Get32(bytes + 24);
  return message;
}

}  // namespace quarvo
