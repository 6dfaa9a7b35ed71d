// The NetBIOS node-status query (UDP port 137) that asks a machine for the names it holds, and the
// reading of its answer: Windows machines and Samba servers answer it with their computer name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarvo {

inline constexpr std::uint16_t kNetbiosPort = 137;

// The query for the wildcard name "*", with the transaction id `id`.
std::vector<std::uint8_t> BuildNodeStatusQuery(std::uint16_t id);

// The computer name in an answer to the query with `id`: the first unique name with suffix 0
// (the workstation service), else the first unique name, without its padding blanks. Nothing for
// an answer to another query, a truncated or malformed answer, or names that are not printable
// ASCII.
std::optional<std::string> ParseNodeStatusReply(const std::uint8_t* data, std::size_t size, std::uint16_t id);

}  // namespace quarvo
