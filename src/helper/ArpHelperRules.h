/* What the ARP helper decides, apart from its sockets so that tests and the fuzzer reach it: the
 * request records it takes, the targets it asks for, the frames it builds and reads, its pace. */
#ifndef QUARVO_HELPER_ARP_HELPER_RULES_H
#define QUARVO_HELPER_ARP_HELPER_RULES_H

#include <stddef.h>
#include <stdint.h>

#include "helper/ArpHelperProtocol.h"

#ifdef __cplusplus
extern "C" {
#endif

#define QA_MAX_ADDRESSES 512
#define QA_FRAME_SIZE 28 /* an Ethernet/IPv4 ARP payload, without the Ethernet header */

/* One IPv4 address of an Ethernet interface that is up. */
struct qa_address {
  int32_t ifindex;
  uint32_t address; /* host order */
  uint8_t prefix;
  uint8_t mac[6];
};

struct qa_links {
  size_t count;
  struct qa_address entries[QA_MAX_ADDRESSES];
};

enum qa_verdict { QA_MALFORMED, QA_ASK, QA_RATE };

/* Reads one record from the program: QA_ASK or QA_RATE with `record` filled in, or QA_MALFORMED
 * for any other size, version or kind, or bytes that must be zero and are not. */
enum qa_verdict qa_read_request(const void* bytes, size_t size, struct quarvo_arp_record* record);

/* The address of interface `ifindex` to ask for `target` (host order) from: the one whose network
 * holds it, the longest prefix first. Null for a target that is no other machine of that
 * interface's networks: another network, a network or broadcast address, an address of the
 * interface itself, or a loopback, multicast or reserved address. */
const struct qa_address* qa_route(const struct qa_links* links, int32_t ifindex, uint32_t target);

/* The ARP request from `from` for `target` (host order). */
void qa_build_request(const struct qa_address* from, uint32_t target, uint8_t frame[QA_FRAME_SIZE]);

/* An ARP reply of Ethernet and IPv4: 1 with its sender's address (host order) and MAC; else 0. */
int qa_read_reply(const uint8_t* bytes, size_t size, uint32_t* sender, uint8_t mac[6]);

/* The cap on requests a second, held over every second: at most `rate` requests go out in any
 * second, in bursts of at most a hundredth of it. Times are nanoseconds of a monotonic clock. */
struct qa_pace {
  uint64_t interval;
  uint64_t tolerance;
  uint64_t next; /* when the next request is due if none went out early */
};
/* `rate` is clamped to 1..QUARVO_ARP_MAX_RATE; the cap returned is the one set. */
uint32_t qa_pace_set(struct qa_pace* pace, uint32_t rate);
/* Nanoseconds until a request may go out; 0: now. */
uint64_t qa_pace_wait(const struct qa_pace* pace, uint64_t now);
void qa_pace_take(struct qa_pace* pace, uint64_t now);

#ifdef __cplusplus
}
#endif

#endif
