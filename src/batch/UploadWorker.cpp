#include "UploadWorker.h"

#include "CommandLog.h"
#include "SerialLink.h"

#include "SystemCalls.h"

#include <cerrno>
#include <new>

namespace tervane {

namespace {

// Room for a sub-command's answer: the echo of a line of up to 99 characters and the result
// code after it. A shorter buffer would cut off an ERROR behind a long echo and let an
// announcement the device refused pass as accepted.
constexpr std::size_t kAnswerBufferSize = 1024;
// More writes in a row than this that leave part of their chunk, and the port is given up.
constexpr int kMaxShortWrites = 5;

// One announcement: send, read and clean. Good unless the line could not be written or
// the device answered with an error (no answer at all is good).
bool Exchange(SerialLink& link, const std::string& line, int timeoutMs)
{
    if (!link.SendCommand(line))
        return false;
    std::string raw;
    link.ReadResponse(line, raw, kAnswerBufferSize, timeoutMs, false, nullptr);
    return link.CleanResponse(line, raw);
}

// Reads the whole regular file at `path` into `data`.
UploadStatus ReadSource(const std::string& path, std::string& data, long long& size, int& error)
{
    // Non-blocking, so a FIFO given by mistake cannot hold the worker at the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return UploadStatus::SourceUnreadable;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = errno;
        ::close(fd);
        return UploadStatus::SourceUnreadable;
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return UploadStatus::SourceUnreadable;
    }
    size = st.st_size;
    if (size > kMaxUploadSize) {
        ::close(fd);
        return UploadStatus::TooLarge;
    }
    try {
        data.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
        ::close(fd);
        return UploadStatus::SourceUnreadable;
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A file that shrank since its size was taken would announce a wrong count.
            error = n < 0 ? errno : EIO;
            ::close(fd);
            return UploadStatus::SourceUnreadable;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return UploadStatus::Completed;
}

UploadStatus RefusalOf(DestinationCheck check)
{
    switch (check) {
    case DestinationCheck::NoFileName:
        return UploadStatus::NoFileName;
    case DestinationCheck::UnsafeFileName:
        return UploadStatus::UnsafeFileName;
    case DestinationCheck::TooLong:
        return UploadStatus::DestinationTooLong;
    case DestinationCheck::Good:
        break;
    }
    return UploadStatus::Completed;
}

} // namespace

bool UploadResult::NothingSent() const
{
    switch (status) {
    case UploadStatus::SourceUnreadable:
    case UploadStatus::NoFileName:
    case UploadStatus::UnsafeFileName:
    case UploadStatus::DestinationTooLong:
    case UploadStatus::TooLarge:
        return true;
    default:
        return false;
    }
}

const char* UploadStatusName(UploadStatus status)
{
    switch (status) {
    case UploadStatus::Completed:
        return "completed";
    case UploadStatus::SourceUnreadable:
        return "sourceUnreadable";
    case UploadStatus::NoFileName:
        return "noFileName";
    case UploadStatus::UnsafeFileName:
        return "unsafeFileName";
    case UploadStatus::DestinationTooLong:
        return "destinationTooLong";
    case UploadStatus::TooLarge:
        return "tooLarge";
    case UploadStatus::AnnouncementFailed:
        return "announcementFailed";
    case UploadStatus::DataWriteFailed:
        return "dataWriteFailed";
    case UploadStatus::DataRejected:
        return "dataRejected";
    }
    return "";
}

const char* UploadStatusText(UploadStatus status)
{
    switch (status) {
    case UploadStatus::Completed:
        return "The file was uploaded.";
    case UploadStatus::SourceUnreadable:
        return "The file cannot be read.";
    case UploadStatus::NoFileName:
        return "The path does not name a file.";
    case UploadStatus::UnsafeFileName:
        return "The file name holds characters the device cannot take: use letters, digits and "
               "punctuation other than quotes, \",\", \";\", \"<\", \">\", \"&\" and \"\\\", and no blanks.";
    case UploadStatus::DestinationTooLong:
        return "The file name is too long for the device.";
    case UploadStatus::TooLarge:
        return "The file is too large to upload.";
    case UploadStatus::AnnouncementFailed:
        return "The device refused the upload.";
    case UploadStatus::DataWriteFailed:
        return "The connection to the device failed during the upload.";
    case UploadStatus::DataRejected:
        return "The device did not accept the uploaded data.";
    }
    return "";
}

int UploadChunkSize(long long remaining)
{
    if (remaining <= 0)
        return 0;
    if (remaining >= kUploadChunkSize)
        return kUploadChunkSize;
    return static_cast<int>(remaining % 64 == 0 ? remaining - 1 : remaining);
}

UploadProgressPlan PlanUploadProgress(long long size)
{
    const long long steps = (size > 0 ? size : 0) / kUploadChunkSize + 5;
    UploadProgressPlan plan;
    if (steps <= kMaxUploadProgressRange) {
        plan.range = static_cast<int>(steps);
        return plan;
    }
    const long long perStep = (steps + kMaxUploadProgressRange - 1) / kMaxUploadProgressRange;
    plan.chunksPerStep = static_cast<int>(perStep);
    plan.range = static_cast<int>((steps + perStep - 1) / perStep);
    return plan;
}

int UploadAnswerTimeout(long long size)
{
    return static_cast<int>(((size > 0 ? size : 0) / 10000 + 1) * 1000);
}

DataWriteResult WriteUploadData(std::string_view data, const DataWriter& write, Clock& clock, CommandLog* log,
    UploadObserver* observer)
{
    const long long size = static_cast<long long>(data.size());
    const int chunksPerStep = PlanUploadProgress(size).chunksPerStep;
    DataWriteResult result;
    int shortWrites = 0;
    long long chunksWritten = 0;
    while (result.sent < size) {
        const int chunk = UploadChunkSize(size - result.sent);
        const long taken = write(data.data() + result.sent, static_cast<std::size_t>(chunk));
        // The device stores a chunk in the pause after it has all of it: the pause runs from
        // the end of this write, however long the write took, so a chunk held up by a slow
        // port or a busy device is never followed closely by the next. The log line and the
        // bar's step fall within the pause, and the wake-up is at the pause's end itself, so
        // nothing is added to it.
        const uint64_t due = clock.MicroTicks() + uint64_t {kChunkPauseMs} * 1000;
        if (taken < 0 || taken > chunk) {
            result.failed = true;
            break;
        }
        if (log)
            log->WriteUploadProgress(result.sent, size, taken);
        ++chunksWritten;
        if (observer && chunksWritten % chunksPerStep == 0)
            observer->Step();
        clock.SleepUntilMicro(due);
        // The bytes the port took are on their way to the device; only the rest is written
        // again, or the device would store them twice.
        result.sent += taken;
        if (taken == chunk) {
            shortWrites = 0;
        } else if (++shortWrites > kMaxShortWrites) {
            result.failed = true;
            break;
        }
    }
    return result;
}

UploadResult RunUpload(SerialLink& link, const UploadSource& source, UploadObserver* observer)
{
    // The whole transfer is one turn: no signal poll comes between its commands.
    const WorkTurn turn(link.Turns());
    UploadResult result;
    if (const auto check = source.CheckDestination(); check != DestinationCheck::Good) {
        result.status = RefusalOf(check);
        return result;
    }
    std::string data;
    result.status = ReadSource(source.Path(), data, result.size, result.systemError);
    if (result.status != UploadStatus::Completed)
        return result;

    const long long size = result.size;
    const std::string count = std::to_string(size);
    const std::string destination = source.Destination();
    const std::string dataCommand = "AT&USBINTERFACE=5\r\n";
    const struct {
        std::string line;
        int timeoutMs;
    } announcements[] = {
        {"AT&USBINTERFACE=17," + count + "\r\n", 500},
        {"AT&USBINTERFACE=3," + count + "\r\n", 250},
        {"AT&USBINTERFACE=16,\"" + destination + "\"\r\n", 250},
        {"AT&USBINTERFACE=9," + destination + "\r\n", 250},
        {dataCommand, 4000},
    };
    for (const auto& announcement : announcements) {
        if (!Exchange(link, announcement.line, announcement.timeoutMs)) {
            result.status = UploadStatus::AnnouncementFailed;
            result.failedCommand = announcement.line;
            return result;
        }
    }

    const UploadProgressPlan plan = PlanUploadProgress(size);
    if (observer)
        observer->SetRange(plan.range);
    CommandLog* log = link.Log();
    if (log)
        log->WriteUploadStart(destination, size);

    const DataWriteResult written = WriteUploadData(
        data, [&link](const char* bytes, std::size_t length) { return link.WriteRaw(bytes, length); },
        link.GetClock(), log, observer);
    result.sent = written.sent;
    if (log)
        log->WriteUploadEnd(written.sent, size);

    std::string raw;
    link.ReadResponse(dataCommand, raw, kAnswerBufferSize, UploadAnswerTimeout(size), false, nullptr);
    const bool accepted = link.CleanResponse(dataCommand, raw);
    if (accepted)
        Exchange(link, "AT&USBINTERFACE=18," + count + "\r\n", 5000);

    if (written.failed)
        result.status = UploadStatus::DataWriteFailed;
    else if (!accepted)
        result.status = UploadStatus::DataRejected;
    else
        result.status = UploadStatus::Completed;
    return result;
}

} // namespace tervane
