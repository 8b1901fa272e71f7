#pragma once

#include "CliEnvironment.h"

#include <string>
#include <vector>

namespace tervane {

// The whole tool: the arguments after the program's name in, the exit status out.
int RunCli(const std::vector<std::string>& args, const CliEnvironment& environment);

} // namespace tervane
