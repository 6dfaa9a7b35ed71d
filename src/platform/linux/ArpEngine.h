// The Linux ARP engines behind the ArpProbe seam, and what the machine's interfaces tell about the
// IPv4 networks it is attached to.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/ArpProbe.h"
#include "platform/linux/ArpPacer.h"

namespace quarvo {

// Raw: ARP requests on an AF_PACKET socket of the process's own (needs CAP_NET_RAW, e.g. root).
// Helper: the same requests, sent by the ARP helper program that alone holds that capability.
// Kernel: the kernel resolves the address and the answer is read from its neighbour table (needs
// no privilege).
enum class ArpEngineKind { Raw, Helper, Kernel };

struct ArpEngineOptions {
  // The longest a silent address holds a worker, in all, retries included; the engine gives up
  // sooner once the answers it measured tell that an answer is very unlikely.
  std::uint32_t timeoutMs = 800;
  // Requests a second on the wire, resends included, in any one-second window; 0 for no cap.
  std::uint32_t rateCap = 0;
  // The pace of the engine's requests; OpenArpEngine makes one when it is null.
  std::shared_ptr<arp::ArpPacer> pacer;
  // Raw is tried first unless this says otherwise (tests force one engine).
  bool allowRaw = true;
  bool allowKernel = true;
  // Where the ARP helper is; empty: ArpHelperPath().
  std::string helperPath;
  // Lines for the user (UTF-8, without "quarvo: " and newline) about addresses that a scan cannot
  // ask as it asks the others: an address with a permanent neighbour entry, a range on no
  // interface's network. Called from BeginScan, on the thread that starts the scan; null: kept quiet.
  std::function<void(const std::string&)> report;
};

// One IPv4 network attached to an interface that is up (loopback excluded).
struct AttachedNetwork {
  std::string interfaceName;
  int interfaceIndex = 0;
  std::uint32_t address = 0;  // this machine's address on it, host order
  int prefixLength = 0;
  bool running = false;  // the link has carrier
};

struct OpenedArpEngine {
  std::unique_ptr<ArpProbe> probe;  // null when no engine could be opened; `error` then says why
  ArpEngineKind kind = ArpEngineKind::Raw;
  std::string error;                     // UTF-8, for the terminal and the window
  std::string whyNotRaw;                 // the kernel engine runs: why neither raw way could be had
  std::shared_ptr<arp::ArpPacer> pacer;  // how the requests were paced; with the probe
};

// Opens the engine the process may use: raw when it may open an AF_PACKET socket itself, else the
// ARP helper when it starts and can send, else kernel.
OpenedArpEngine OpenArpEngine(const ArpEngineOptions& options);

// The IPv4 networks of the machine's interfaces that are up, loopback excluded; empty on failure.
std::vector<AttachedNetwork> AttachedNetworks();

// "raw", "raw (helper)" or "kernel".
const char* ArpEngineName(ArpEngineKind kind);

// The ARP helper: beside the program in the build tree, else where the package installs it.
std::string ArpHelperPath();

}  // namespace quarvo
