// The Linux program's command line: scan, wake, help and version.
#pragma once

#include <string>
#include <vector>

#include "front/cli/CliEnvironment.h"

namespace quarvo {

// Exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadArguments = 2;
inline constexpr int kExitInterrupted = 130;  // stopped by Ctrl-C, as shells count a SIGINT

inline constexpr char kVersion[] = "1.1.0";

// The words after the program's name, run against `env`.
int RunCommandLine(const std::vector<std::string>& words, CliEnvironment& env);

// The program's own entry: the system's engines, sockets, files, clock, threads and terminal.
int RunCommandLine(int argc, char** argv);

}  // namespace quarvo
