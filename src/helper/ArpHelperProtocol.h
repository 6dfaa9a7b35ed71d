/* What the program and its ARP helper (quarvo-arp) say to each other over a socketpair of
 * SOCK_SEQPACKET: records of exactly 16 bytes, one per message, in both directions. Plain C, so
 * that the helper and the program share it. The helper holds the capability to send raw frames;
 * the program holds none, and can only ask for ARP requests that the helper builds itself.
 *
 *   byte 0       version, kQuarvoArpVersion
 *   byte 1       kind (below)
 *   bytes 2-7    MAC address: the sender of an answer; zero in every other record
 *   bytes 8-11   interface index, host order (a failure: the errno instead)
 *   bytes 12-15  IPv4 address, network order (a rate: the requests a second, host order)
 *
 * Program to helper:
 *   ASK      send one ARP request for `address` on interface `ifindex`
 *   RATE     lower the cap on requests a second to `address` (never above the helper's own)
 * Helper to program:
 *   READY    the socket is open and every capability dropped; `address` is the cap (host order)
 *   ANSWER   an ARP reply from `address` with `mac`, heard on `ifindex`
 *   REFUSED  the ASK for `address` on `ifindex` was not sent: not a machine of that interface's
 *            networks (another network, its network or broadcast address, the interface's own)
 *   FAILED   the helper could not start (`ifindex` holds the errno, e.g. EPERM: no capability)
 * A record of another size, version or kind, or with bytes that must be zero and are not, ends
 * the helper at once; so does the program closing its end. */
#ifndef QUARVO_HELPER_ARP_HELPER_PROTOCOL_H
#define QUARVO_HELPER_ARP_HELPER_PROTOCOL_H

#include <stdint.h>

#define QUARVO_ARP_VERSION 1
#define QUARVO_ARP_VERSION_ARGUMENT "quarvo-arp-1" /* the helper's only argument */
#define QUARVO_ARP_RECORD_SIZE 16
#define QUARVO_ARP_CHANNEL_FD 0 /* the helper's end of the socketpair */
/* The most requests a second the helper sends, whatever the program asks for: enough for a /16 of
 * 65,534 addresses, each asked up to three times, in about 25 s. */
#define QUARVO_ARP_MAX_RATE 10000u

enum {
  QUARVO_ARP_ASK = 1,
  QUARVO_ARP_RATE = 2,
  QUARVO_ARP_READY = 0x81,
  QUARVO_ARP_ANSWER = 0x82,
  QUARVO_ARP_REFUSED = 0x83,
  QUARVO_ARP_FAILED = 0x84
};

struct quarvo_arp_record {
  uint8_t version;
  uint8_t kind;
  uint8_t mac[6];
  int32_t ifindex;
  uint32_t address;
};

#ifdef __cplusplus
static_assert(sizeof(quarvo_arp_record) == QUARVO_ARP_RECORD_SIZE, "a record is 16 bytes");
#else
_Static_assert(sizeof(struct quarvo_arp_record) == QUARVO_ARP_RECORD_SIZE, "a record is 16 bytes");
#endif

#endif
