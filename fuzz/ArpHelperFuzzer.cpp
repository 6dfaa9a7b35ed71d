// The ARP helper's decisions on what a program or the wire hands it. The input's first byte picks:
//   0  interfaces (from the input) and a request record: a record is taken only when well formed,
//      and a target only when it is another machine of the named interface's networks, sent from
//      that interface's address on the longest matching network; every such target is taken
//   1  a frame from the wire: read as a reply exactly when the program's own ARP parser reads an
//      Ethernet/IPv4 reply in it, with the same sender
//   2  a rate and the times at which requests wait: no second ever holds more than the rate
#include <arpa/inet.h>

#include <algorithm>
#include <deque>

#include "FuzzCheck.h"
#include "helper/ArpHelperRules.h"
#include "net/ArpFrame.h"

using namespace quarvo;

namespace {

std::uint32_t Get32(const std::string& text, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = value << 8 | static_cast<std::uint8_t>(at + i < text.size() ? text[at + i] : 0);
  return value;
}

bool OnNetwork(const qa_address& entry, std::uint32_t target) {
  if (entry.prefix == 0 || entry.prefix > 31) return false;
  const std::uint32_t mask = ~(~0u >> entry.prefix);
  if ((target & mask) != (entry.address & mask)) return false;
  return entry.prefix == 31 || ((target & ~mask) != 0 && (target & ~mask) != ~mask);
}

void Request(const std::string& text) {
  static qa_links links;
  links.count = text.empty() ? 0 : static_cast<std::uint8_t>(text[0]) % 6;
  std::size_t at = 1;
  for (std::size_t i = 0; i < links.count; ++i, at += 6) {
    qa_address& entry = links.entries[i];
    entry = qa_address{};
    entry.ifindex = at < text.size() ? static_cast<std::uint8_t>(text[at]) % 3 + 1 : 1;
    entry.address = Get32(text, at + 1);
    entry.prefix = static_cast<std::uint8_t>(at + 5 < text.size() ? static_cast<std::uint8_t>(text[at + 5]) % 34 : 24);
    entry.mac[5] = static_cast<std::uint8_t>(i);
  }
  const std::string record = at < text.size() ? text.substr(at) : std::string();
  quarvo_arp_record read{};
  const qa_verdict verdict = qa_read_request(record.data(), record.size(), &read);
  const bool wellFormed = record.size() == 16 && record[0] == 1 && record.compare(2, 6, std::string(6, '\0')) == 0;
  if (!wellFormed || (read.kind != QUARVO_ARP_ASK && read.kind != QUARVO_ARP_RATE)) {
    fuzz::Check(verdict == QA_MALFORMED, "a record of another size, version, kind or with a MAC is refused");
    return;
  }
  if (verdict == QA_RATE) {
    fuzz::Check(read.kind == QUARVO_ARP_RATE && read.ifindex == 0 && read.address > 0, "a rate record");
    qa_pace pace{};
    const std::uint32_t cap = qa_pace_set(&pace, read.address);
    fuzz::Check(cap >= 1 && cap <= QUARVO_ARP_MAX_RATE && cap <= read.address, "a rate never above the cap");
    return;
  }
  if (verdict != QA_ASK) return;
  fuzz::Check(read.kind == QUARVO_ARP_ASK && read.ifindex > 0, "an ask names an interface");
  const std::uint32_t target = ntohl(read.address);
  const qa_address* from = qa_route(&links, read.ifindex, target);
  const std::uint32_t first = target >> 24;
  bool own = false;
  const qa_address* best = nullptr;
  for (std::size_t i = 0; i < links.count; ++i) {
    const qa_address& entry = links.entries[i];
    if (entry.ifindex != read.ifindex) continue;
    own = own || entry.address == target;
    if (OnNetwork(entry, target) && (best == nullptr || entry.prefix > best->prefix)) best = &entry;
  }
  const bool machine = !own && best != nullptr && first != 0 && first != 127 && first < 224;
  fuzz::Check((from != nullptr) == machine, "asked exactly for other machines of the interface's networks");
  if (from == nullptr) return;
  fuzz::Check(from->ifindex == read.ifindex && OnNetwork(*from, target) && from->prefix == best->prefix,
              "sent from the interface's address on the longest matching network");
  std::uint8_t frame[QA_FRAME_SIZE];
  qa_build_request(from, target, frame);
  const auto message = ParseArpPayload(frame, sizeof frame);
  fuzz::Check(message && message->opcode == kArpRequest && message->senderIp == from->address &&
                  message->targetIp == target && message->targetMac == MacBytes{} &&
                  std::equal(message->senderMac.begin(), message->senderMac.end(), from->mac),
              "the request is the interface's own, for the target");
}

void Reply(const std::string& text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  std::uint32_t sender = 0;
  std::uint8_t mac[6];
  const bool read = qa_read_reply(bytes, text.size(), &sender, mac) != 0;
  const auto message = ParseArpPayload(bytes, text.size());
  fuzz::Check(read == (message && message->opcode == kArpReply), "a reply exactly where the program sees one");
  if (read) {
    fuzz::Check(sender == message->senderIp && std::equal(mac, mac + 6, message->senderMac.begin()),
                "the reply's sender");
  }
}

void Pace(const std::string& text) {
  qa_pace pace{};
  const std::uint32_t rate = qa_pace_set(&pace, Get32(text, 0) % (QUARVO_ARP_MAX_RATE + 10));
  std::deque<std::uint64_t> lastSecond;
  std::uint64_t now = 1000000000;
  for (std::size_t i = 4; i < text.size(); ++i) {
    // A request arrives after a pause (up to 255 us, or 255 ms), and goes out when its turn comes.
    const auto byte = static_cast<std::uint8_t>(text[i]);
    now += (byte & 1 ? 1000000u : 1000u) * (byte >> 1);
    now += qa_pace_wait(&pace, now);
    fuzz::Check(qa_pace_wait(&pace, now) == 0, "a request may go once its wait is over");
    qa_pace_take(&pace, now);
    lastSecond.push_back(now);
    while (now - lastSecond.front() >= 1000000000u) lastSecond.pop_front();
    fuzz::Check(lastSecond.size() <= rate, "no second holds more requests than the cap");
  }
}

}  // namespace

QUARVO_FUZZ_TEXT(text) {
  if (text.empty()) return;
  const std::string rest = text.substr(1);
  switch (static_cast<std::uint8_t>(text[0]) % 3) {
    case 0:
      return Request(rest);
    case 1:
      return Reply(rest);
    default:
      return Pace(rest);
  }
}
