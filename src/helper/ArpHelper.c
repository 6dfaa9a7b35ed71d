/* quarvo-arp: the one part of Quarvo that may send raw frames. Installed with cap_net_raw, it
 * opens one packet socket for ARP, filters it to ARP replies and locks the filter, drops every
 * capability, and only then reads requests from the program on descriptor 0 (the records of
 * ArpHelperProtocol.h). It builds each request itself from the asking interface's own MAC and
 * address, for machines of that interface's networks only, at a capped rate, and hands back
 * ARP replies. It reads no environment, no file and no argument but the protocol version. */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <linux/capability.h>
#include <linux/filter.h>
#include <linux/if_arp.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "helper/ArpHelperRules.h"

enum { kExitDone = 0, kExitCannotStart = 1, kExitBadStart = 2, kExitMalformed = 3 };
#define CHANNEL QUARVO_ARP_CHANNEL_FD

static struct qa_links links;

/* ---- the program's side ---- */

static void tell(uint8_t kind, int32_t ifindex, uint32_t address, const uint8_t* mac) {
  struct quarvo_arp_record record;
  memset(&record, 0, sizeof record);
  record.version = QUARVO_ARP_VERSION;
  record.kind = kind;
  record.ifindex = ifindex;
  record.address = address;
  if (mac != NULL) memcpy(record.mac, mac, sizeof record.mac);
  while (send(CHANNEL, &record, sizeof record, MSG_NOSIGNAL) < 0) {
    if (errno != EINTR) _exit(kExitDone); /* the program has gone */
  }
}

/* Descriptor 0 must be a socket of a SOCK_SEQPACKET pair; every other one but 1 and 2 is closed. */
static int take_channel(void) {
  if (syscall(SYS_close_range, 3u, ~0u, 0u) != 0) {
    struct rlimit limit;
    const long top =
        getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536 ? (long)limit.rlim_cur : 65536;
    for (long fd = 3; fd < top; ++fd) close((int)fd);
  }
  int domain = 0, type = 0;
  socklen_t size = sizeof domain;
  if (getsockopt(CHANNEL, SOL_SOCKET, SO_DOMAIN, &domain, &size) != 0 || domain != AF_UNIX) return 0;
  size = sizeof type;
  return getsockopt(CHANNEL, SOL_SOCKET, SO_TYPE, &type, &size) == 0 && type == SOCK_SEQPACKET;
}

/* ---- privilege ---- */

/* Empty effective, permitted and inheritable sets, no ambient ones, the bounding set emptied where
 * the process may (it may not without CAP_SETPCAP), no way back through exec. 1 when it holds. */
static int drop_privilege(void) {
  for (int cap = 0; cap < 64; ++cap) {
    if (prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0 && errno == EINVAL) break;
  }
  prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
  struct __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
  struct __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3];
  memset(data, 0, sizeof data);
  if (syscall(SYS_capset, &header, data) != 0) return 0;
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return 0;
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0); /* no other process of the user may take the socket */
  memset(data, 0xFF, sizeof data);
  if (syscall(SYS_capget, &header, data) != 0) return 0;
  for (int i = 0; i < _LINUX_CAPABILITY_U32S_3; ++i) {
    if (data[i].effective != 0 || data[i].permitted != 0 || data[i].inheritable != 0) return 0;
  }
  return 1;
}

/* The packet socket: it takes nothing until the filter is locked on it, then ARP of every
 * interface; the filter lets through Ethernet/IPv4 ARP replies that came in, cut to 28 bytes.
 * -1 with errno set when it cannot be had. */
static int open_packet_socket(void) {
  static struct sock_filter code[] = {
      BPF_STMT(BPF_LD | BPF_H | BPF_ABS, (uint32_t)(SKF_AD_OFF + SKF_AD_PROTOCOL)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ETH_P_ARP, 0, 10),
      BPF_STMT(BPF_LD | BPF_B | BPF_ABS, (uint32_t)(SKF_AD_OFF + SKF_AD_PKTTYPE)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, PACKET_OUTGOING, 8, 0),
      BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ARPHRD_ETHER, 0, 6),
      BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 2),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ETH_P_IP, 0, 4),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, 4),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0x06040002, 0, 2), /* lengths 6 and 4, a reply */
      BPF_STMT(BPF_RET | BPF_K, QA_FRAME_SIZE),
      BPF_STMT(BPF_RET | BPF_K, 0),
      BPF_STMT(BPF_RET | BPF_K, 0),
  };
  const struct sock_fprog program = {sizeof code / sizeof code[0], code};
  const int fd = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  const int on = 1, buffer = 8 << 20;
  struct sockaddr_ll local;
  memset(&local, 0, sizeof local);
  local.sll_family = AF_PACKET;
  local.sll_protocol = htons(ETH_P_ARP);
  if (setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0 ||
      setsockopt(fd, SOL_SOCKET, SO_LOCK_FILTER, &on, sizeof on) != 0 ||
      bind(fd, (const struct sockaddr*)&local, sizeof local) != 0) {
    const int cause = errno;
    close(fd);
    errno = cause;
    return -1;
  }
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
  return fd;
}

/* ---- the interfaces, over netlink ---- */

static int netlink_fd = -1;
static uint32_t netlink_seq;
static uint8_t netlink_buffer[65536] __attribute__((aligned(4)));

struct hardware {
  int32_t ifindex;
  uint8_t mac[6];
};
static struct hardware ethernet[QA_MAX_ADDRESSES];
static size_t ethernet_count;

static void take_link(const struct nlmsghdr* message) {
  const struct ifinfomsg* info = NLMSG_DATA(message);
  if (message->nlmsg_len < NLMSG_LENGTH(sizeof *info)) return;
  if (info->ifi_type != ARPHRD_ETHER || (info->ifi_flags & IFF_UP) == 0 ||
      (info->ifi_flags & IFF_LOOPBACK) != 0)
    return;
  int length = (int)(message->nlmsg_len - NLMSG_LENGTH(sizeof *info));
  for (const struct rtattr* at = IFLA_RTA(info); RTA_OK(at, length); at = RTA_NEXT(at, length)) {
    if (at->rta_type != IFLA_ADDRESS || RTA_PAYLOAD(at) != 6 || ethernet_count == QA_MAX_ADDRESSES) continue;
    ethernet[ethernet_count].ifindex = info->ifi_index;
    memcpy(ethernet[ethernet_count++].mac, RTA_DATA(at), 6);
  }
}

static void take_address(const struct nlmsghdr* message) {
  const struct ifaddrmsg* info = NLMSG_DATA(message);
  if (message->nlmsg_len < NLMSG_LENGTH(sizeof *info) || info->ifa_family != AF_INET) return;
  const struct hardware* link = NULL;
  for (size_t i = 0; i < ethernet_count; ++i) {
    if (ethernet[i].ifindex == (int32_t)info->ifa_index) link = &ethernet[i];
  }
  if (link == NULL) return;
  const void* local = NULL;
  int length = (int)(message->nlmsg_len - NLMSG_LENGTH(sizeof *info));
  for (const struct rtattr* at = IFA_RTA(info); RTA_OK(at, length); at = RTA_NEXT(at, length)) {
    if (RTA_PAYLOAD(at) != 4) continue;
    if (at->rta_type == IFA_LOCAL || (at->rta_type == IFA_ADDRESS && local == NULL)) local = RTA_DATA(at);
  }
  if (local == NULL || links.count == QA_MAX_ADDRESSES) return;
  struct qa_address* entry = &links.entries[links.count++];
  uint32_t address;
  memcpy(&address, local, 4);
  entry->ifindex = link->ifindex;
  entry->address = ntohl(address);
  entry->prefix = info->ifa_prefixlen;
  memcpy(entry->mac, link->mac, 6);
}

/* One dump of the kernel's links or IPv4 addresses; 0 when it cannot be read. */
static int dump(uint16_t type, void (*take)(const struct nlmsghdr*)) {
  struct {
    struct nlmsghdr header;
    struct ifinfomsg body; /* an ifaddrmsg for addresses: the family comes first in both */
  } request;
  memset(&request, 0, sizeof request);
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = type;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = ++netlink_seq;
  request.body.ifi_family = type == RTM_GETADDR ? AF_INET : AF_UNSPEC;
  const uint16_t answer = type == RTM_GETADDR ? RTM_NEWADDR : RTM_NEWLINK;
  if (send(netlink_fd, &request, sizeof request, 0) < 0) return 0;
  for (;;) {
    struct sockaddr_nl from;
    socklen_t length = sizeof from;
    const ssize_t size =
        recvfrom(netlink_fd, netlink_buffer, sizeof netlink_buffer, 0, (struct sockaddr*)&from, &length);
    if (size < 0 && errno == EINTR) continue;
    if (size <= 0) return 0;
    if (from.nl_pid != 0) continue; /* only the kernel speaks here */
    int left = (int)size;
    for (const struct nlmsghdr* message = (const struct nlmsghdr*)netlink_buffer; NLMSG_OK(message, left);
         message = NLMSG_NEXT(message, left)) {
      if (message->nlmsg_seq != netlink_seq) continue;
      if (message->nlmsg_type == NLMSG_DONE) return 1;
      if (message->nlmsg_type == NLMSG_ERROR) return 0;
      if (message->nlmsg_type == answer) take(message);
    }
  }
}

static void read_links(void) {
  links.count = 0;
  ethernet_count = 0;
  if (!dump(RTM_GETLINK, take_link) || !dump(RTM_GETADDR, take_address)) links.count = 0;
}

/* ---- the loop ---- */

static uint64_t now_ns(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint64_t)now.tv_sec * 1000000000u + (uint64_t)now.tv_nsec;
}

static void hand_back_replies(int packet) {
  for (int i = 0; i < 256; ++i) {
    uint8_t frame[QA_FRAME_SIZE];
    struct sockaddr_ll from;
    socklen_t length = sizeof from;
    const ssize_t size = recvfrom(packet, frame, sizeof frame, 0, (struct sockaddr*)&from, &length);
    if (size < 0) return;
    uint32_t sender;
    uint8_t mac[6];
    if (from.sll_pkttype == PACKET_OUTGOING || !qa_read_reply(frame, (size_t)size, &sender, mac)) continue;
    tell(QUARVO_ARP_ANSWER, from.sll_ifindex, htonl(sender), mac);
  }
}

int main(int argc, char** argv) {
  if (argc != 2 || strcmp(argv[1], QUARVO_ARP_VERSION_ARGUMENT) != 0) return kExitBadStart;
  if (!take_channel()) return kExitBadStart;
  signal(SIGPIPE, SIG_IGN);
  const int packet = open_packet_socket();
  const int cause = errno;
  netlink_fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  const int dropped = drop_privilege();
  if (packet < 0 || netlink_fd < 0 || !dropped) {
    tell(QUARVO_ARP_FAILED, packet < 0 ? cause : netlink_fd < 0 ? EAFNOSUPPORT : EPERM, 0, NULL);
    return kExitCannotStart;
  }
  read_links();
  struct qa_pace pace = {0, 0, 0};
  const uint32_t cap = qa_pace_set(&pace, QUARVO_ARP_MAX_RATE);
  tell(QUARVO_ARP_READY, 0, cap, NULL);

  uint8_t frame[QA_FRAME_SIZE];
  struct sockaddr_ll to;
  uint32_t asked = 0; /* its target, network order */
  int pending = 0;    /* a request built and waiting for its turn */
  for (;;) {
    const uint64_t wait = pending ? qa_pace_wait(&pace, now_ns()) : 0;
    if (pending && wait == 0) {
      qa_pace_take(&pace, now_ns());
      pending = 0;
      /* An interface gone down ends the ask at once; a full queue is left to the program's resends. */
      if (sendto(packet, frame, sizeof frame, 0, (const struct sockaddr*)&to, sizeof to) < 0 &&
          errno != ENOBUFS && errno != EAGAIN && errno != EINTR)
        tell(QUARVO_ARP_REFUSED, to.sll_ifindex, asked, NULL);
    }
    struct pollfd fds[2] = {{CHANNEL, (short)(pending ? 0 : POLLIN), 0}, {packet, POLLIN, 0}};
    const struct timespec timeout = {(time_t)(wait / 1000000000u), (long)(wait % 1000000000u)};
    if (ppoll(fds, 2, pending ? &timeout : NULL, NULL) < 0 && errno != EINTR) return kExitDone;
    if (fds[1].revents & POLLIN) hand_back_replies(packet);
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return kExitDone;
    if ((fds[0].revents & POLLIN) == 0) continue;

    uint8_t bytes[QUARVO_ARP_RECORD_SIZE + 1];
    const ssize_t size = recv(CHANNEL, bytes, sizeof bytes, MSG_TRUNC | MSG_DONTWAIT);
    if (size < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (size <= 0) return kExitDone;
    struct quarvo_arp_record request;
    const enum qa_verdict verdict = qa_read_request(bytes, (size_t)size, &request);
    if (verdict == QA_MALFORMED) return kExitMalformed;
    if (verdict == QA_RATE) {
      qa_pace_set(&pace, request.address);
      continue;
    }
    const uint32_t target = ntohl(request.address);
    const struct qa_address* from = qa_route(&links, request.ifindex, target);
    if (from == NULL) { /* the interfaces may have changed since they were read */
      read_links();
      from = qa_route(&links, request.ifindex, target);
    }
    if (from == NULL) {
      tell(QUARVO_ARP_REFUSED, request.ifindex, request.address, NULL);
      continue;
    }
    qa_build_request(from, target, frame);
    asked = request.address;
    memset(&to, 0, sizeof to);
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_ARP);
    to.sll_ifindex = from->ifindex;
    to.sll_halen = 6;
    memset(to.sll_addr, 0xFF, 6);
    pending = 1;
  }
}
