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
std::string folder;  // with its closing separator

void AppendLine(const char* file, const std::string& line) {
  EnterCriticalSection(&logLock);
  if (FILE* out = std::fopen((folder + file).c_str(), "ab")) {
    std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
  }
  LeaveCriticalSection(&logLock);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    InitializeCriticalSection(&logLock);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(instance, path, MAX_PATH);
    folder = path;
    folder.erase(folder.find_last_of("\\/") + 1);
    AppendLine("arp-loaded.txt", std::to_string(GetCurrentProcessId()));
  }
  return TRUE;
}

// The address arrives in network order: its first octet is the lowest byte.
extern "C" __declspec(dllexport) DWORD WINAPI
    SendARP(ULONG destination, ULONG, PVOID macAddress, PULONG length) {
  char dotted[16], line[256], address[64], mac[64];
  std::snprintf(dotted, sizeof dotted, "%lu.%lu.%lu.%lu", destination & 0xFF, (destination >> 8) & 0xFF,
                (destination >> 16) & 0xFF, destination >> 24);
  unsigned b[6] = {}, delay = 0;
  bool answers = false;
  if (FILE* script = std::fopen((folder + "arp-script.txt").c_str(), "rb")) {
    for (bool found = false; !found && std::fgets(line, sizeof line, script) != nullptr;) {
      unsigned wait = 0;
      found =
          std::sscanf(line, "%63s %63s %u", address, mac, &wait) >= 2 && std::strcmp(address, dotted) == 0;
      if (!found) continue;
      delay = wait;
      answers = std::sscanf(mac, "%2x-%2x-%2x-%2x-%2x-%2x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) == 6;
    }
    std::fclose(script);
  }
  Sleep(delay);
  char reply[24] = "-";
  answers = answers && length != nullptr && *length >= 6;
  if (answers) {
    for (int i = 0; i < 6; ++i) static_cast<unsigned char*>(macAddress)[i] = static_cast<unsigned char>(b[i]);
    *length = 6;
    std::snprintf(reply, sizeof reply, "%02X-%02X-%02X-%02X-%02X-%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
  }
  AppendLine("arp-log.txt", std::string(dotted) + " " + reply);
  return answers ? NO_ERROR : ERROR_BAD_NET_NAME;
}

// No adapter: a magic packet goes, unbound, to the limited broadcast, where the fake sockets
// library logs it.
extern "C" __declspec(dllexport) DWORD WINAPI GetIpAddrTable(PVOID, PULONG, BOOL) {
  return ERROR_NO_DATA;
}
