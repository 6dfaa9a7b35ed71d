// quarvo wake: one magic packet for each target, through the program's own wake run.
#pragma once

#include "front/cli/Arguments.h"
#include "front/cli/CliEnvironment.h"

namespace quarvo {

int RunWakeCommand(const WakeArguments& arguments, CliEnvironment& env);

}  // namespace quarvo
