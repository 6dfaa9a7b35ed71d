// Host names of the machines a scan finds, looked up beside the scan on a few threads of their own:
// the scan never waits for them, and a name that takes too long is given up by whoever waits.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace quarvo {

// Where names come from; Resolve may block (it runs on a lookup thread) and returns "" for none.
class HostNameSource {
 public:
  virtual ~HostNameSource() = default;
  virtual std::string Resolve(std::uint32_t networkOrderAddress) = 0;
};

// The system's: the resolver's reverse lookup (DNS, and mDNS where the name service is set up
// for it), then a NetBIOS node-status query to the machine, answered within `netbiosTimeoutMs`.
std::shared_ptr<HostNameSource> SystemHostNameSource(int netbiosTimeoutMs);

class HostNames {
 public:
  // At most `parallel` lookups at once; a lookup is given up by waiters after `timeout`.
  HostNames(std::shared_ptr<HostNameSource> source, int parallel, std::chrono::milliseconds timeout);
  // Lookups in progress finish on their own threads, which hold what they need.
  ~HostNames();
  HostNames(const HostNames&) = delete;
  HostNames& operator=(const HostNames&) = delete;

  // Any thread, without waiting: looks the address up unless it was asked for already.
  void Submit(std::uint32_t networkOrderAddress);
  // The name found; "" when none was or the lookup is not done.
  std::string Find(std::uint32_t networkOrderAddress) const;
  // Waits until every lookup asked for is done or has taken its time-out.
  void WaitAll();
  // Called on a lookup thread when names were found: once for names found together (at most every
  // 100 ms while lookups go on, and when the last lookup asked for is done).
  void SetListener(std::function<void()> listener);

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace quarvo
