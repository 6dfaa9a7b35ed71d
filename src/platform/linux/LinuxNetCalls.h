// The system calls of the Linux ARP engines. They start as the system's own functions; a test
// replaces one to make a step fail as the system would (EPERM, ENOBUFS, ENETDOWN) or to stand in
// for a network. Descriptors stay real descriptors: the engines poll them.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/ArpProbe.h"

namespace quarvo {

// One IPv4 address of an interface that is up (loopback excluded).
struct LinkAddress {
  std::string name;
  int index = 0;
  std::uint32_t address = 0;  // host order
  int prefixLength = 0;
  bool ethernet = false;  // six-byte hardware address: ARP works on it
  bool running = false;   // the link has carrier (IFF_RUNNING)
  // The metric of the kernel's route to this address's network on this interface; of two
  // interfaces on one network the kernel uses the lower. None: the largest value.
  std::uint32_t metric = ~std::uint32_t{0};
  MacBytes mac{};
};

// How the kernel resolves a neighbour entry on one interface: a stale entry is held this long
// before the kernel asks (delay_first_probe_time), then asked `probes` times `retransMs` apart.
struct NeighbourTimes {
  std::uint32_t delayMs = 5000;
  std::uint32_t retransMs = 1000;
  std::uint32_t probes = 3;
};

struct NetCalls {
  int (*socket)(int domain, int type, int protocol);
  int (*bind)(int fd, const sockaddr* address, socklen_t length);
  int (*setsockopt)(int fd, int level, int name, const void* value, socklen_t length);
  ssize_t (*sendto)(int fd, const void* bytes, size_t size, int flags, const sockaddr* to, socklen_t length);
  ssize_t (*recvfrom)(int fd, void* buffer, size_t size, int flags, sockaddr* from, socklen_t* length);
  int (*close)(int fd);
  // The interfaces' IPv4 addresses; false with errno set when they cannot be read.
  bool (*listLinks)(std::vector<LinkAddress>& links);
  // The kernel's neighbour settings for the interface; the defaults where they cannot be read.
  NeighbourTimes (*neighbourTimes)(const std::string& interfaceName);
};

// The calls the engines and AttachedNetworks make.
NetCalls& LinuxNetCalls();

}  // namespace quarvo
