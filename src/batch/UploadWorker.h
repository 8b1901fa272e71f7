#pragma once

#include "UploadSource.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tervane {

class Clock;
class CommandLog;
class SerialLink;

// The progress bar of the dialog that shows an upload. Called on the worker's thread.
class UploadObserver {
public:
    virtual ~UploadObserver() = default;
    // Range 0 to maximum, position 0, step 1.
    virtual void SetRange(int maximum) = 0;
    // Moves the bar on by one step.
    virtual void Step() = 0;
};

enum class UploadStatus {
    Completed,           // every byte taken and the device's answer to the data was no error
    SourceUnreadable,    // the file cannot be opened or read; nothing was sent
    NoFileName,          // refused: the path names no file; nothing was sent
    UnsafeFileName,      // refused: the name cannot be carried to the device; nothing was sent
    DestinationTooLong,  // refused: the destination does not fit the command line; nothing was sent
    TooLarge,            // refused: the size does not fit the device's byte count; nothing was sent
    AnnouncementFailed,  // an announcement was not written or answered with an error; no data was sent
    DataWriteFailed,     // the port stopped taking the data part way
    DataRejected,        // all data was written but the device answered it with an error
};

struct UploadResult {
    UploadStatus status = UploadStatus::SourceUnreadable;
    long long size = 0;          // the file's size, once known
    long long sent = 0;          // data bytes the port took
    std::string failedCommand;   // AnnouncementFailed: the line that failed
    int systemError = 0;         // SourceUnreadable: the errno of the failed open or read, if any

    bool Succeeded() const { return status == UploadStatus::Completed; }
    // Nothing at all went to the device.
    bool NothingSent() const;
};

// A short sentence saying what happened, for the caller's message.
const char* UploadStatusText(UploadStatus status);
// The status as one word for scripts: "completed", "sourceUnreadable", ...
const char* UploadStatusName(UploadStatus status);

// The device counts the file's bytes in a signed 32-bit number.
inline constexpr long long kMaxUploadSize = INT32_MAX;
// Data chunks are at most this long and each is followed by kChunkPauseMs.
inline constexpr int kUploadChunkSize = 1024;
inline constexpr uint32_t kChunkPauseMs = 50;
// The bar takes 16-bit ranges; larger files move it once per several chunks.
inline constexpr int kMaxUploadProgressRange = 65535;

// The next chunk's length for `remaining` bytes still to send: 1024, or the rest, except
// that a rest which is a multiple of 64 is sent as that minus one and then a single byte,
// so that no last chunk is a whole number of 64-byte USB packets. 0 when nothing remains.
int UploadChunkSize(long long remaining);

struct UploadProgressPlan {
    int range = 0;          // the bar's maximum
    int chunksPerStep = 1;  // chunks written per step of the bar
};
// size / 1024 + 5 steps, one per chunk, scaled down to fit kMaxUploadProgressRange.
UploadProgressPlan PlanUploadProgress(long long size);

// How long the device may take to answer the data: a second per started 10000 bytes.
int UploadAnswerTimeout(long long size);

// Writes raw bytes to the port: the number of bytes it took (fewer when it failed part
// way), or -1 when it took none.
using DataWriter = std::function<long(const char* data, std::size_t length)>;

struct DataWriteResult {
    long long sent = 0;   // bytes the port took
    bool failed = false;  // the port failed, or left part of six chunks in a row
};

// The data phase of an upload: the whole of `data` in chunks of UploadChunkSize, each logged,
// stepped and followed by a pause of kChunkPauseMs on `clock`, counted from the end of its
// write: no chunk starts sooner than that after the one before has gone out. A chunk the
// port took only part of goes on from the first byte it did not take.
DataWriteResult WriteUploadData(std::string_view data, const DataWriter& write, Clock& clock, CommandLog* log,
    UploadObserver* observer);

// Uploads the source's file: the announcements 17, 3, 16, 9 and 5, the data in paced
// chunks, the device's answer to the data and the closing 18. A refused or unreadable
// source sends nothing. The result tells how far it got; the transfer itself is proven
// only by comparing digests afterwards. Takes the link's turn for the whole transfer.
UploadResult RunUpload(SerialLink& link, const UploadSource& source, UploadObserver* observer);

} // namespace tervane
