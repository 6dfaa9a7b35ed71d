// The platform's side of the core's seams: each platform folder defines these once. Front ends,
// benchmarks and platform tests reach the real clock, threads, files, settings and sockets here;
// the core itself only sees the interfaces.
#pragma once

#include <cstdint>
#include <string>

#include "net/WakeSocket.h"
#include "store/FileStore.h"
#include "store/ProfileStore.h"
#include "sys/Clock.h"
#include "sys/ThreadLauncher.h"

namespace quarvo {

// The clock, the threads and the wake socket are reached by scan workers and the wake thread, which
// may still run while the process ends: they are allocated once and never destroyed.
// The platform's clock (GetTickCount and Sleep on Windows, a steady clock elsewhere).
Clock& SystemClock();
// Detached threads with a small stack, so that 1000 of them fit in a 32-bit process.
ThreadLauncher& SystemThreads();
FileStore& SystemFiles();
ProfileStore& SystemProfile();
WakeSocket& SystemWakeSocket();
// The platform's address parser (inet_addr); it answers as the core's ParseBerkeleyAddress does.
std::uint32_t InetAddr(const std::string& text);

}  // namespace quarvo
