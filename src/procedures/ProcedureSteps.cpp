#include "ProcedureSteps.h"

#include "CommandBatch.h"
#include "SafeXml.h"
#include "SettingPath.h"
#include "XmlText.h"
#include "UploadWorker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tervane {

void ResetBatch(CommandBatch& batch, USBCommand row)
{
    batch.RemoveAll();
    batch.AddTail(row);
}

bool CanOpenForReading(const std::string& path)
{
    if (path.empty())
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

std::string_view DestinationRefusal(DestinationCheck check)
{
    switch (check) {
    case DestinationCheck::Good:
        return {};
    case DestinationCheck::NoFileName:
        return UploadStatusText(UploadStatus::NoFileName);
    case DestinationCheck::UnsafeFileName:
        return UploadStatusText(UploadStatus::UnsafeFileName);
    case DestinationCheck::TooLong:
        return UploadStatusText(UploadStatus::DestinationTooLong);
    }
    return {};
}

std::string ShownName(std::string_view name)
{
    std::string shown(name);
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            c = '?';
    }
    return shown;
}

} // namespace tervane
