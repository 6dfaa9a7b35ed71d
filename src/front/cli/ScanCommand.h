// quarvo scan: the program's own scan over a range, its table on standard output.
#pragma once

#include <cstdint>
#include <string>

#include "front/cli/Arguments.h"
#include "front/cli/CliEnvironment.h"

namespace quarvo {

int RunScanCommand(const ScanArguments& arguments, CliEnvironment& env);

// The addresses --localnet scans on one attached network, host order: the network without its
// network and broadcast addresses (both addresses of a /31, the one of a /32). A network wider
// than a /16 is cut to the /16 around the machine's own address.
struct HostRange {
  std::uint32_t first = 0;
  std::uint32_t last = 0;
};
HostRange LocalnetRange(const AttachedNetwork& network);

// "192.168.1.7" of a host-order address.
std::string DottedHost(std::uint32_t host);

}  // namespace quarvo
