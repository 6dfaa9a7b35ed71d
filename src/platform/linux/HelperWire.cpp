// The raw engine's wire in a process without privilege: the ARP helper, a small program that alone
// holds the capability to send raw frames. It is started with an empty environment and speaks the
// records of helper/ArpHelperProtocol.h over a socketpair; the program asks, the helper builds
// and sends each request itself.
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "helper/ArpHelperProtocol.h"
#include "platform/linux/ArpEngineParts.h"

namespace quarvo::arp {
namespace {

constexpr int kReadyWaitMs = 5000;

class HelperWire final : public ArpWire {
 public:
  HelperWire(int fd, int pid) : fd_(fd), pid_(pid) {}

  // Closing the socketpair ends the helper at once; it is then reaped.
  ~HelperWire() override {
    ::close(fd_);
    if (pid_ <= 0) return;
    for (int tries = 0; tries < 100; ++tries) {
      if (::waitpid(pid_, nullptr, WNOHANG) != 0) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }

  int Send(const LinkAddress& link, std::uint32_t target) override {
    quarvo_arp_record record{};
    record.version = QUARVO_ARP_VERSION;
    record.kind = QUARVO_ARP_ASK;
    record.ifindex = link.index;
    record.address = htonl(target);
    for (;;) {
      if (::send(fd_, &record, sizeof record, MSG_NOSIGNAL) == sizeof record) return 0;
      if (errno != EINTR) return errno == ECONNRESET ? EPIPE : errno;
    }
  }

  int Fd() const override { return fd_; }

  bool Read(const Heard& heard) override {
    for (;;) {
      quarvo_arp_record record;
      const ssize_t size = ::recv(fd_, &record, sizeof record, MSG_DONTWAIT);
      if (size < 0 && errno == EINTR) continue;
      if (size < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
      if (size == 0) return false;  // the helper has ended
      if (size != sizeof record || record.version != QUARVO_ARP_VERSION) continue;
      MacBytes mac;
      std::memcpy(mac.data(), record.mac, mac.size());
      if (record.kind == QUARVO_ARP_ANSWER) heard(record.ifindex, ntohl(record.address), &mac);
      if (record.kind == QUARVO_ARP_REFUSED) heard(record.ifindex, ntohl(record.address), nullptr);
    }
  }

 private:
  const int fd_;
  const int pid_;
};

// The helper's first record: READY, or why it cannot serve.
std::string AwaitReady(int fd, const std::string& path) {
  pollfd waiting{fd, POLLIN, 0};
  int ready;
  while ((ready = ::poll(&waiting, 1, kReadyWaitMs)) < 0 && errno == EINTR) {
  }
  if (ready == 0) return "it did not answer";
  quarvo_arp_record record{};
  const ssize_t size = ::recv(fd, &record, sizeof record, 0);
  if (size != sizeof record || record.version != QUARVO_ARP_VERSION) return "it ended at start";
  if (record.kind == QUARVO_ARP_FAILED) {
    std::string why = ErrorText(record.ifindex);
    if (record.ifindex == EPERM || record.ifindex == EACCES)
      why += " (it lacks cap_net_raw; grant it: setcap cap_net_raw+ep " + path + ")";
    return why;
  }
  return record.kind == QUARVO_ARP_READY ? std::string() : "it answered with something else";
}

}  // namespace

std::unique_ptr<ArpWire> HelperWireOn(int fd, int pid) {
  return std::make_unique<HelperWire>(fd, pid);
}

std::unique_ptr<ArpWire> OpenHelperWire(const std::string& path, std::string& error) {
  const std::string name = "the ARP helper " + path;
  if (::access(path.c_str(), X_OK) != 0) {
    error = name + ": " + ErrorText(errno);
    return nullptr;
  }
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
    error = name + ": no socketpair: " + ErrorText(errno);
    return nullptr;
  }
  // Its end of the pair on descriptor 0, /dev/null on 1 and 2, default signal handling, nothing
  // blocked, no environment; the helper closes every other descriptor itself.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], QUARVO_ARP_CHANNEL_FD);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::string program = path, argument = QUARVO_ARP_VERSION_ARGUMENT;
  char* argv[] = {program.data(), argument.data(), nullptr};
  char* envp[] = {nullptr};
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, envp);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(ends[1]);
  if (spawned != 0) {
    ::close(ends[0]);
    error = name + " cannot be started: " + ErrorText(spawned);
    return nullptr;
  }
  auto wire = std::make_unique<HelperWire>(ends[0], pid);
  const std::string why = AwaitReady(ends[0], path);
  if (!why.empty()) {
    error = name + " cannot send: " + why;
    return nullptr;
  }
  return wire;
}

std::string HelperPath() {
  char self[4096];
  const ssize_t size = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (size <= 0) return QUARVO_HELPER_FROM_BIN;
  std::string folder(self, static_cast<std::size_t>(size));
  folder.erase(folder.rfind('/'));
  const std::string besideProgram = folder + "/quarvo-arp";  // the build tree
  if (::access(besideProgram.c_str(), F_OK) == 0) return besideProgram;
  std::string installed = QUARVO_HELPER_FROM_BIN;  // e.g. ../lib/quarvo/quarvo-arp
  while (installed.compare(0, 3, "../") == 0 && folder.rfind('/') != std::string::npos) {
    folder.erase(folder.rfind('/'));
    installed.erase(0, 3);
  }
  return folder + "/" + installed;
}

}  // namespace quarvo::arp
