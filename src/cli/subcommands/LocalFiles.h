#pragma once

#include <string>

namespace tervane {

// Checks of the files the command line names, made before the device is looked for, so
// that a wrong path fails at once as a usage error. Each gives why not, or "" when fine.

// A file to send: an existing regular file that can be opened for reading.
std::string WhyUnreadable(const std::string& path);
// A file to write: its folder exists, and the path is nothing the writer refuses (a
// folder, a device, a FIFO, a socket, a link to nothing).
std::string WhyUnwritable(const std::string& path);

} // namespace tervane
