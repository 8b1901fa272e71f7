#pragma once

#include <string>

namespace tervane {

class CommandLog;
class SerialLink;

// "Version 1.0.22.0", from the build's own version; empty when the build has none.
std::string ProductVersionText();

// Opens "command.log" when the command line holds "/debug", hands it to the link and writes
// the start banner. Before anything talks to the device.
void OpenCommandLog(const std::string& commandLineText, CommandLog& log, SerialLink& link);

} // namespace tervane
