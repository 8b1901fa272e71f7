#pragma once

#include <cstddef>
#include <string>

namespace tervane {

// The Windows side of the serial port, beside OpenSerialPort() and CloseSerialPort() of
// SerialPort.h, which on Windows hand out a C runtime descriptor wrapping the port's HANDLE.
// These are the reads, writes and flushes the link does with poll(), read(), write() and
// tcflush() on POSIX.

// Waits up to `waitMs` for bytes and reads what is there, at most `room`, into `into`;
// `got` tells how many (0 when none came in time). False when the port failed or is gone.
bool ReadSerialPort(int fd, char* into, std::size_t room, int waitMs, std::size_t& got);

// Writes all of `size` bytes. False when the port failed or is gone.
bool WriteSerialPort(int fd, const char* bytes, std::size_t size);

// Throws away what is waiting in both directions.
void PurgeSerialPort(int fd);

// The Windows device path for a port name: "COM12" becomes "\\.\COM12"; a name that
// already is a device path is kept.
std::string WindowsDevicePath(const std::string& portName);

} // namespace tervane
