// The Linux program's window: `quarvo` with no arguments.
#pragma once

namespace quarvo {

// Opens the window and runs it until it is closed; returns the exit code.
int RunWindow(int argc, char** argv);

}  // namespace quarvo
