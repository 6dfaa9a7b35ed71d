// A stand-in for the sockets library, placed beside Quarvo.exe by the end-to-end tests and loaded
// instead of the system's one, so that a wake run sends nothing: each packet handed to sendto is
// appended to "wake-log.txt" in the DLL's own folder as the MAC address it wakes (the packet's last
// six bytes) and counted as sent. It exports exactly the functions that the program imports.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string folder;  // with its closing separator

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(instance, path, MAX_PATH);
    folder = path;
    folder.erase(folder.find_last_of("\\/") + 1);
  }
  return TRUE;
}

extern "C" __declspec(dllexport) int WINAPI WSAStartup(WORD, void*) {
  return 0;
}
extern "C" __declspec(dllexport) int WINAPI WSACleanup() {
  return 0;
}
extern "C" __declspec(dllexport) UINT_PTR WINAPI socket(int, int, int) {
  return 7;
}
extern "C" __declspec(dllexport) int WINAPI setsockopt(UINT_PTR, int, int, const char*, int) {
  return 0;
}
extern "C" __declspec(dllexport) int WINAPI closesocket(UINT_PTR) {
  return 0;
}
extern "C" __declspec(dllexport) int WINAPI bind(UINT_PTR, const void*, int) {
  return 0;
}
extern "C" __declspec(dllexport) ULONG WINAPI htonl(ULONG value) {
  return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}
extern "C" __declspec(dllexport) ULONG WINAPI ntohl(ULONG value) {
  return htonl(value);
}
extern "C" __declspec(dllexport) USHORT WINAPI htons(USHORT value) {
  return static_cast<USHORT>((value >> 8) | (value << 8));
}
extern "C" __declspec(dllexport) int WINAPI
    sendto(UINT_PTR, const char* bytes, int size, int, const void*, int) {
  if (size < 6) return size;
  const auto* mac = reinterpret_cast<const unsigned char*>(bytes + size - 6);
  if (FILE* out = std::fopen((folder + "wake-log.txt").c_str(), "ab")) {
    std::fprintf(out, "%02X-%02X-%02X-%02X-%02X-%02X\n", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    std::fclose(out);
  }
  return size;
}
