#pragma once

#include "ReadEnd.h"
#include "ResponseSink.h"

#include <string>
#include <utility>

namespace tervane {

// One device command of a batch, held by value and copied whole when appended.
struct USBCommand {
    std::string command;  // the exact bytes sent; empty ends the batch
    std::string prompt;   // the line shown while it runs
    std::string response; // the cleaned answer, set by the worker
    int timeout = 0;      // receive time-out in ms; also its share of the progress bar
    int failed = 0;       // set by the worker: 1 when the send failed or the answer was an error
    // Receive room wanted beyond the base of 100000 bytes; 64-bit, for a file reply can
    // carry any file an upload accepts, in Base64.
    long long responseReserve = 0;
    ReadEnd readEnd = ReadEnd::Nothing; // set by the worker: how the answer ended
    // When set, the raw answer goes here as it arrives instead of into `response`, which
    // stays empty (a file reply, which need not be held whole).
    ResponseSink* stream = nullptr;
};

// Whether anything came back from the device for this row: an answer, finished or not, or
// the device returning after its restart.
inline bool DeviceResponded(const USBCommand& row)
{
    return row.readEnd == ReadEnd::ResultCode || row.readEnd == ReadEnd::Unended || row.readEnd == ReadEnd::Reconnected;
}

// A row as a procedure fills it, before the worker has run it.
inline USBCommand CommandRow(std::string command, std::string prompt, int timeout, long long responseReserve = 0)
{
    USBCommand row;
    row.command = std::move(command);
    row.prompt = std::move(prompt);
    row.timeout = timeout;
    row.responseReserve = responseReserve;
    return row;
}

} // namespace tervane
