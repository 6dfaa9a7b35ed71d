// The Linux program: with arguments the command line, without any the window.
#include <cstdio>

#include "front/cli/CommandLine.h"
#ifdef QUARVO_WITH_WINDOW
#include "front/qt/WindowMain.h"
#endif

int main(int argc, char** argv) {
  if (argc > 1) return quarvo::RunCommandLine(argc, argv);
#ifdef QUARVO_WITH_WINDOW
  return quarvo::RunWindow(argc, argv);
#else
  std::fputs("quarvo: this build has no window; see quarvo --help\n", stderr);
  return 1;
#endif
}
