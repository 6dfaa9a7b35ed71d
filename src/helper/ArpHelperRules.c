#include "helper/ArpHelperRules.h"

#include <string.h>

static uint32_t get32(const uint8_t* at) {
  return (uint32_t)at[0] << 24 | (uint32_t)at[1] << 16 | (uint32_t)at[2] << 8 | at[3];
}

static void put32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = (uint8_t)(value >> (24 - 8 * i));
}

enum qa_verdict qa_read_request(const void* bytes, size_t size, struct quarvo_arp_record* record) {
  if (bytes == NULL || size != sizeof *record) return QA_MALFORMED;
  memcpy(record, bytes, sizeof *record);
  if (record->version != QUARVO_ARP_VERSION) return QA_MALFORMED;
  for (size_t i = 0; i < sizeof record->mac; ++i) {
    if (record->mac[i] != 0) return QA_MALFORMED;
  }
  if (record->kind == QUARVO_ARP_ASK) return record->ifindex > 0 ? QA_ASK : QA_MALFORMED;
  if (record->kind == QUARVO_ARP_RATE)
    return record->ifindex == 0 && record->address > 0 ? QA_RATE : QA_MALFORMED;
  return QA_MALFORMED;
}

/* 0.0.0.0/8, loopback, link-local multicast and everything from 224.0.0.0 up. */
static int reserved(uint32_t target) {
  const uint32_t first = target >> 24;
  return first == 0 || first == 127 || first >= 224;
}

const struct qa_address* qa_route(const struct qa_links* links, int32_t ifindex, uint32_t target) {
  const struct qa_address* best = NULL;
  if (reserved(target)) return NULL;
  for (size_t i = 0; i < links->count; ++i) {
    const struct qa_address* entry = &links->entries[i];
    if (entry->ifindex != ifindex) continue;
    if (entry->address == target) return NULL;
    if (entry->prefix == 0 || entry->prefix > 31) continue;
    const uint32_t mask = ~(~0u >> entry->prefix);
    if ((target & mask) != (entry->address & mask)) continue;
    if (entry->prefix <= 30 && ((target & ~mask) == 0 || (target & ~mask) == ~mask)) continue;
    if (best == NULL || entry->prefix > best->prefix) best = entry;
  }
  return best;
}

void qa_build_request(const struct qa_address* from, uint32_t target, uint8_t frame[QA_FRAME_SIZE]) {
  static const uint8_t head[8] = {0, 1, 8, 0, 6, 4, 0, 1}; /* Ethernet, IPv4, 6, 4, request */
  memset(frame, 0, QA_FRAME_SIZE);
  memcpy(frame, head, sizeof head);
  memcpy(frame + 8, from->mac, 6);
  put32(frame + 14, from->address);
  put32(frame + 24, target); /* the target's hardware address (18..23) is what is asked */
}

int qa_read_reply(const uint8_t* bytes, size_t size, uint32_t* sender, uint8_t mac[6]) {
  static const uint8_t head[8] = {0, 1, 8, 0, 6, 4, 0, 2}; /* Ethernet, IPv4, 6, 4, reply */
  if (bytes == NULL || size < QA_FRAME_SIZE || memcmp(bytes, head, sizeof head) != 0) return 0;
  memcpy(mac, bytes + 8, 6);
  *sender = get32(bytes + 14);
  return 1;
}

/* A virtual schedule: request k is due at next + k * interval; one may go out up to `tolerance`
 * early. In any second at most 1 s / interval + burst requests go out, which the interval keeps
 * at `rate`. */
uint32_t qa_pace_set(struct qa_pace* pace, uint32_t rate) {
  if (rate == 0) rate = 1;
  if (rate > QUARVO_ARP_MAX_RATE) rate = QUARVO_ARP_MAX_RATE;
  const uint32_t burst = rate / 100 > 0 ? rate / 100 : 1;
  const uint64_t steady = rate - burst + 1;
  pace->interval = (1000000000u + steady - 1) / steady;
  pace->tolerance = (uint64_t)(burst - 1) * pace->interval;
  return rate;
}

uint64_t qa_pace_wait(const struct qa_pace* pace, uint64_t now) {
  return pace->next > now + pace->tolerance ? pace->next - pace->tolerance - now : 0;
}

void qa_pace_take(struct qa_pace* pace, uint64_t now) {
  pace->next = (pace->next > now ? pace->next : now) + pace->interval;
}
