// What the two Linux ARP engines share: the interfaces they ask on, the workers waiting for an
// answer, and the bounded wait of a send that the kernel refuses for lack of room.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/linux/ArpEngine.h"
#include "platform/linux/LinuxNetCalls.h"

namespace quarvo::arp {

using Clock = std::chrono::steady_clock;

// How long one address may wait for the kernel to take its request (a full neighbour table or
// transmit queue) before it counts as silent. Entries of a full table age out in seconds.
inline constexpr std::chrono::seconds kRoomWait{30};

// How many requests the kernel sends for an address it is asked to resolve, a second apart (its
// default number of broadcast probes).
inline constexpr std::uint32_t kKernelRequestsPerAddress = 3;

// The pacer the options carry, or one of the engine's own.
inline std::shared_ptr<ArpPacer> PacerOf(const ArpEngineOptions& options) {
  return options.pacer != nullptr
             ? options.pacer
             : std::make_shared<ArpPacer>(SteadyPacerClock(), options.timeoutMs, options.rateCap);
}

// A time of the pacer's clock as a time of the steady clock the engines wait on.
inline Clock::time_point SteadyTime(PaceTime time) {
  return Clock::time_point(std::chrono::duration_cast<Clock::duration>(time));
}

// Where a request for an address goes.
struct Route {
  enum Kind { OffLink, Own, OnLink } kind = OffLink;
  const LinkAddress* link = nullptr;  // Own: the interface holding the address; OnLink: the one to ask on
};

// The address's interface: the machine's own address, or the Ethernet interface whose network
// holds it (the longest prefix). The network and broadcast addresses of a network are no machines.
Route RouteFor(const std::vector<LinkAddress>& links, std::uint32_t address);

// What needs no request: the machine's own address answers with its interface's MAC, and one off
// every attached network stays silent; for both, null. Otherwise the interface to ask on.
inline const LinkAddress* LinkToAsk(const std::vector<LinkAddress>& links, std::uint32_t address,
                                    MacBytes& mac) {
  const Route route = RouteFor(links, address);
  if (route.kind == Route::Own) mac = route.link->mac;
  return route.kind == Route::OnLink ? route.link : nullptr;
}

// Reads the interfaces; an empty text, or why they cannot be used.
std::string ReadLinks(std::vector<LinkAddress>& links);

// The interfaces as an engine last read them. A scan reads them afresh as it begins; requests
// in flight keep the snapshot they started with.
class LinkSet {
 public:
  explicit LinkSet(std::vector<LinkAddress> links)
      : links_(std::make_shared<const std::vector<LinkAddress>>(std::move(links))) {}
  // Reads them again; an empty text, or why they cannot be used (the set is then what was read).
  std::string Read();
  std::shared_ptr<const std::vector<LinkAddress>> Get() const;

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const std::vector<LinkAddress>> links_;
};

// "192.168.1.7" of a host-order address.
std::string DottedAddress(std::uint32_t host);

// A line for the user when no Ethernet network of `links` holds any address of the range; else "".
std::string OffNetworkNote(const std::vector<LinkAddress>& links, std::uint32_t firstNetworkOrder,
                           std::uint32_t count);

inline std::uint64_t WaitKey(int interfaceIndex, std::uint32_t address) {
  return std::uint64_t{static_cast<std::uint32_t>(interfaceIndex)} << 32 | address;
}

// The workers waiting for an answer, by interface and address. The receive thread settles them.
class Waiters {
 public:
  struct Waiter {
    bool done = false;
    bool answered = false;
    MacBytes mac{};
    PaceTime answeredAt{};
    std::condition_variable wake;
  };

  std::mutex mutex;
  // Set by Cancel, cleared as a scan begins: requests return silent at once. Under `mutex`.
  bool cancelled = false;

  // With `mutex` held.
  void Add(std::uint64_t key, Waiter& waiter) { waiting_.emplace(key, &waiter); }
  void Remove(std::uint64_t key, Waiter& waiter);
  // Whether a worker waits for the key. With `mutex` held.
  bool Waiting(std::uint64_t key) const { return waiting_.count(key) != 0; }
  // The first answer for a waiter wins; a null mac settles it as silent. With `mutex` held. False
  // when no worker waited for the key.
  bool Settle(std::uint64_t key, const MacBytes* mac, PaceTime at = {});
  std::vector<std::uint64_t> Keys() const;
  // Settles every waiter as silent and sets `cancelled`. With `mutex` held.
  void Cancel();

 private:
  std::unordered_multimap<std::uint64_t, Waiter*> waiting_;
};

// An eventfd that ends a receive thread's poll.
class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;
  bool Ok() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  void Raise();

 private:
  int fd_;
};

// Waits for `fd` to be readable; false when the stop signal is raised.
bool WaitReadable(int fd, const StopSignal& stop);

// A large receive buffer, so a burst of answers from many workers' requests is not dropped; the
// forced size when the process may, else the largest the system allows.
void SetLargeReceiveBuffer(int fd);
void SetLargeSendBuffer(int fd);

std::string ErrorText(int error);

// Where the raw engine's requests go out and its answers come in: a packet socket of the process's
// own, or the ARP helper that holds the capability. The engine's waiters, resends and time-outs stay
// the same over either.
class ArpWire {
 public:
  // One answer (ifindex, sender address in host order, its MAC), or with a null MAC an address the
  // wire refused to ask for: its waiters end silent at once.
  using Heard = std::function<void(int ifindex, std::uint32_t address, const MacBytes* mac)>;
  virtual ~ArpWire() = default;
  // Asks for `target` on `link`: 0, or the errno of a request that was not taken.
  virtual int Send(const LinkAddress& link, std::uint32_t target) = 0;
  // The descriptor that becomes readable when answers wait.
  virtual int Fd() const = 0;
  // Hands every answer that waits to `heard`; false once the wire is gone for good.
  virtual bool Read(const Heard& heard) = 0;
};

// The process's own AF_PACKET socket; null with `error` set when it cannot be had.
std::unique_ptr<ArpWire> OpenPacketWire(std::string& error);
// The helper program at `path`, started with an empty environment; null with `error` set when it is
// missing, cannot send (no capability) or does not answer.
std::unique_ptr<ArpWire> OpenHelperWire(const std::string& path, std::string& error);
// The helper's end already open on `fd` (a test's socketpair), with `pid` the process to reap or 0.
std::unique_ptr<ArpWire> HelperWireOn(int fd, int pid);
// Where the helper is: beside the program in the build tree, else where it is installed.
std::string HelperPath();

// The engines; null with `error` set when one cannot be opened. A raw engine whose wire goes away
// (the helper died) hands its requests to what `fallback` opens, once, from then on.
using FallbackOpener = std::function<std::unique_ptr<ArpProbe>()>;
std::unique_ptr<ArpProbe> OpenRawEngine(const ArpEngineOptions& options, std::vector<LinkAddress> links,
                                        std::unique_ptr<ArpWire> wire, FallbackOpener fallback,
                                        std::string& error);
std::unique_ptr<ArpProbe> OpenKernelEngine(const ArpEngineOptions& options, std::vector<LinkAddress> links,
                                           std::string& error);

}  // namespace quarvo::arp
