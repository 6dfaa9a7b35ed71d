#include "platform/linux/HostNames.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <deque>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "net/NetbiosStatus.h"

namespace quarvo {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kAnnounceEvery = std::chrono::milliseconds(100);
constexpr auto kLinger = std::chrono::seconds(1);

std::string ReverseLookup(std::uint32_t address) {
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = address;
  char host[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&where), sizeof where, host, sizeof host, nullptr, 0,
                  NI_NAMEREQD) != 0) {
    return std::string();
  }
  return host;
}

std::string NetbiosName(std::uint32_t address, int timeoutMs) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::string();
  std::string name;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kNetbiosPort);
  to.sin_addr.s_addr = address;
  const auto id = static_cast<std::uint16_t>(Clock::now().time_since_epoch().count() ^ address);
  const std::vector<std::uint8_t> query = BuildNodeStatusQuery(id);
  // Connected: only the machine asked can answer.
  if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
      send(fd, query.data(), query.size(), 0) == static_cast<ssize_t>(query.size())) {
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint8_t answer[1500];
    for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
      pollfd wait{fd, POLLIN, 0};
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
      if (poll(&wait, 1, static_cast<int>(left) + 1) <= 0) break;
      const ssize_t got = recv(fd, answer, sizeof answer, 0);
      if (got < 0) break;  // refused: nothing listens on the port
      if (auto found = ParseNodeStatusReply(answer, static_cast<std::size_t>(got), id)) {
        name = *found;
        break;
      }
    }
  }
  close(fd);
  return name;
}

class SystemSource final : public HostNameSource {
 public:
  explicit SystemSource(int netbiosTimeoutMs) : netbiosTimeoutMs_(netbiosTimeoutMs) {}
  std::string Resolve(std::uint32_t address) override {
    std::string name = ReverseLookup(address);
    return name.empty() ? NetbiosName(address, netbiosTimeoutMs_) : name;
  }

 private:
  int netbiosTimeoutMs_;
};

}  // namespace

std::shared_ptr<HostNameSource> SystemHostNameSource(int netbiosTimeoutMs) {
  return std::make_shared<SystemSource>(netbiosTimeoutMs);
}

struct HostNames::Shared {
  struct Entry {
    Clock::time_point asked;
    bool done = false;
  };
  std::shared_ptr<HostNameSource> source;
  int parallel;
  std::chrono::milliseconds timeout;
  mutable std::mutex lock;
  // The names found, under a lock of their own held only to store or read one: the window reads
  // them while it paints, and never waits for the entries' lock.
  mutable std::mutex namesLock;
  std::unordered_map<std::uint32_t, std::string> names;
  // Addresses asked for and not yet entered, under a lock of their own held only to append: the
  // scan's workers hand their answers over without waiting for the entries' lock, which the lookup
  // threads hold far longer.
  std::mutex pendingLock;
  std::vector<std::pair<std::uint32_t, Clock::time_point>> pending;  // with the time each was asked
  // The hand-over last drained, kept for its capacity.
  std::vector<std::pair<std::uint32_t, Clock::time_point>> spare;
  std::condition_variable changed;  // a lookup is done
  std::condition_variable work;     // an address was asked for
  std::unordered_map<std::uint32_t, Entry> entries;
  std::deque<std::uint32_t> queue;
  int threads = 0;
  int idle = 0;      // threads waiting for an address
  int starting = 0;  // threads started that have not yet come for one
  bool closing = false;
  bool unannounced = false;  // names found since the listener was last called
  Clock::time_point announced;
  std::function<void()> listener;

  // A lookup thread: takes addresses until none has come for a second, then ends. Waiting a while
  // keeps a scan whose answers come faster than names from starting a thread for each of them.
  static void Work(const std::shared_ptr<Shared>& self) {
    std::unique_lock<std::mutex> held(self->lock);
    --self->starting;
    for (;;) {
      TakePending(self);
      if (self->queue.empty()) {
        ++self->idle;
        self->work.wait_for(held, kLinger, [&] { return self->closing || !self->queue.empty(); });
        --self->idle;
      }
      if (self->closing || self->queue.empty()) break;
      const std::uint32_t address = self->queue.front();
      self->queue.pop_front();
      held.unlock();
      std::string name = self->source->Resolve(address);
      const bool found = !name.empty();
      if (found) {
        std::lock_guard<std::mutex> stored(self->namesLock);
        self->names.emplace(address, std::move(name));
      }
      held.lock();
      self->entries[address].done = true;
      self->unannounced = self->unannounced || found;
      // Names found in a burst are announced together: when the queue runs dry, or every 100 ms.
      const Clock::time_point now = Clock::now();
      const bool announce =
          self->unannounced && (self->queue.empty() || now - self->announced >= kAnnounceEvery);
      std::function<void()> listener = announce && !self->closing ? self->listener : nullptr;
      if (announce) {
        self->unannounced = false;
        self->announced = now;
      }
      self->changed.notify_all();
      if (listener) {
        held.unlock();
        listener();
        held.lock();
      }
    }
    --self->threads;
  }

  // With `lock` held: enters the addresses handed over since the last time, each once, and starts
  // lookup threads while fewer than `parallel` run and the queue holds more than the idle ones
  // can take at once.
  static void TakePending(const std::shared_ptr<Shared>& self) {
    {
      std::lock_guard<std::mutex> held(self->pendingLock);
      if (self->pending.empty()) return;
      self->pending.swap(self->spare);
    }
    for (const auto& [address, asked] : self->spare) {
      if (!self->closing && self->entries.emplace(address, Entry{asked, false}).second)
        self->queue.push_back(address);
    }
    self->spare.clear();
    if (self->queue.empty()) return;
    if (self->idle > 0) self->work.notify_all();
    while (self->threads < self->parallel &&
           self->queue.size() > static_cast<std::size_t>(self->idle + self->starting)) {
      try {
        std::thread([self] { Work(self); }).detach();
      } catch (const std::system_error&) {
        break;  // no thread now: a running one takes the addresses, or the names stay unknown
      }
      ++self->threads;
      ++self->starting;
    }
  }
};

HostNames::HostNames(std::shared_ptr<HostNameSource> source, int parallel, std::chrono::milliseconds timeout)
    : shared_(std::make_shared<Shared>()) {
  shared_->source = std::move(source);
  shared_->parallel = parallel < 1 ? 1 : parallel;
  shared_->timeout = timeout;
}

HostNames::~HostNames() {
  std::lock_guard<std::mutex> held(shared_->lock);
  shared_->closing = true;
  shared_->listener = nullptr;
  shared_->work.notify_all();
}

void HostNames::Submit(std::uint32_t address) {
  // Only the first address after the lookup threads last took theirs may wake or start one; the
  // rest wait in the hand-over until a lookup thread comes for them.
  {
    std::lock_guard<std::mutex> held(shared_->pendingLock);
    shared_->pending.emplace_back(address, Clock::now());
    if (shared_->pending.size() > 1) return;
  }
  std::lock_guard<std::mutex> held(shared_->lock);
  // With every thread busy, the next one done takes it: the worker does not enter it itself.
  if (shared_->idle > 0 || shared_->threads < shared_->parallel) Shared::TakePending(shared_);
}

std::string HostNames::Find(std::uint32_t address) const {
  std::lock_guard<std::mutex> held(shared_->namesLock);
  const auto found = shared_->names.find(address);
  return found == shared_->names.end() ? std::string() : found->second;
}

void HostNames::WaitAll() {
  std::unique_lock<std::mutex> held(shared_->lock);
  Shared::TakePending(shared_);
  for (;;) {
    Clock::time_point until = Clock::time_point::min();
    for (const auto& [address, entry] : shared_->entries) {
      if (!entry.done && entry.asked + shared_->timeout > until) until = entry.asked + shared_->timeout;
    }
    if (until <= Clock::now()) return;
    shared_->changed.wait_until(held, until);
  }
}

void HostNames::SetListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> held(shared_->lock);
  shared_->listener = std::move(listener);
}

}  // namespace quarvo
