// A scripted stand-in for the IP Helper library, placed beside Quarvo.exe by the end-to-end tests and
// loaded instead of the system's one (under Wine through a DLL override: native before built-in).
// It sends nothing: every SendARP is answered from "arp-script.txt" in the DLL's own folder, read
// again at each call so that a test can change the answers between two scans. Lines of the script:
//   <dotted address> <MAC as 00-11-22-33-44-55, or - for no answer> [delay in milliseconds]
// Addresses not in the script get no answer at once. Proof that this DLL and not the system's was
// used: "arp-loaded.txt" (the process id, written at load) and "arp-log.txt" (one line per request:
// the address and what was answered).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

CRITICAL_SECTION logLock;
std::string folder;

std::string FolderOf(HMODULE module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, MAX_PATH);
  std::string text = path;
  return text.substr(0, text.find_last_of("\\/") + 1);
}

void AppendLine(const char* file, const std::string& line) {
  EnterCriticalSection(&logLock);
  if (FILE* out = std::fopen((folder + file).c_str(), "ab")) {
    std::fputs((line + "\n").c_str(), out);
    std::fclose(out);
  }
  LeaveCriticalSection(&logLock);
}

struct Answer {
  bool found = false;
  unsigned char mac[6] = {};
  bool answers = false;
  unsigned delay = 0;
};

Answer Lookup(const std::string& address) {
  Answer answer;
  FILE* in = std::fopen((folder + "arp-script.txt").c_str(), "rb");
  if (in == nullptr) return answer;
  char line[256];
  while (!answer.found && std::fgets(line, sizeof line, in) != nullptr) {
    char dotted[64] = {};
    char mac[64] = {};
    unsigned delay = 0;
    if (std::sscanf(line, "%63s %63s %u", dotted, mac, &delay) < 2 || address != dotted) continue;
    answer.found = true;
    answer.delay = delay;
    unsigned b[6];
    answer.answers =
        std::sscanf(mac, "%2x-%2x-%2x-%2x-%2x-%2x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) == 6;
    for (int i = 0; i < 6; ++i) answer.mac[i] = static_cast<unsigned char>(answer.answers ? b[i] : 0);
  }
  std::fclose(in);
  return answer;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    InitializeCriticalSection(&logLock);
    folder = FolderOf(instance);
    AppendLine("arp-loaded.txt", std::to_string(GetCurrentProcessId()));
  }
  return TRUE;
}

// The address arrives in network order: its first octet is the lowest byte.
extern "C" __declspec(dllexport) DWORD WINAPI
    SendARP(ULONG destination, ULONG, PVOID macAddress, PULONG length) {
  char dotted[16];
  std::snprintf(dotted, sizeof dotted, "%lu.%lu.%lu.%lu", destination & 0xFF, (destination >> 8) & 0xFF,
                (destination >> 16) & 0xFF, destination >> 24);
  const Answer answer = Lookup(dotted);
  if (answer.delay > 0) Sleep(answer.delay);
  char reply[24] = "-";
  if (answer.answers && length != nullptr && *length >= 6) {
    std::memcpy(macAddress, answer.mac, 6);
    *length = 6;
    std::snprintf(reply, sizeof reply, "%02X-%02X-%02X-%02X-%02X-%02X", answer.mac[0], answer.mac[1],
                  answer.mac[2], answer.mac[3], answer.mac[4], answer.mac[5]);
  }
  AppendLine("arp-log.txt", std::string(dotted) + " " + reply);
  return std::strcmp(reply, "-") != 0 ? NO_ERROR : ERROR_BAD_NET_NAME;
}
