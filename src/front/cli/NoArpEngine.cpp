// Stands in for the Linux ARP engines in a build that has none: every scan ends with this message.
#include "platform/linux/ArpEngine.h"

namespace quarvo {

OpenedArpEngine OpenArpEngine(const ArpEngineOptions&) {
  OpenedArpEngine opened;
  opened.error = "this build of quarvo has no ARP engine";
  return opened;
}

std::vector<AttachedNetwork> AttachedNetworks() {
  return {};
}

const char* ArpEngineName(ArpEngineKind kind) {
  return kind == ArpEngineKind::Kernel ? "kernel" : "raw";
}

std::string ArpHelperPath() {
  return std::string();
}

}  // namespace quarvo
