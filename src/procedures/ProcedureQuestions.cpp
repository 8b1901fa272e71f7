#include "ProcedureQuestions.h"

#include "ProcedureSteps.h"

namespace tervane {

std::string UnsafeNameMessage(std::string_view name)
{
    return "The file name " + ShownName(name) + " cannot be sent to the device.";
}

std::string DownloadWriteFailedMessage(std::string_view path, std::string_view reason)
{
    return "Unable to write the file " + ShownName(path) + ": " + std::string(reason)
        + ".\r\nSelect Retry to attempt the file download again.";
}

std::string DownloadUnreadableMessage(std::string_view why)
{
    if (why.empty())
        return std::string(kDownloadUnreadableText);
    return "File download failed. " + ShownName(why) + ".\r\nSelect Retry to attempt the file download again.";
}

std::string DownloadOtherFileMessage(std::string_view sentPath, std::string_view askedPath)
{
    return "File download failed: the device sent " + ShownName(sentPath) + " instead of " + ShownName(askedPath)
        + ".\r\nSelect Retry to attempt the file download again.";
}

std::string KeepUnverifiedFailedMessage(std::string_view path, std::string_view reason)
{
    return "Unable to keep the unverified download of " + ShownName(path) + ": " + std::string(reason) + ".";
}

std::string BackupWriteFailedMessage(std::string_view path, std::string_view reason)
{
    return "Unable to write the backup file " + ShownName(path) + ": " + std::string(reason) + ".";
}

std::string RestoreUnreadableMessage(std::string_view path, std::string_view reason)
{
    return "The configuration file " + ShownName(path) + " could not be read: " + std::string(reason) + ".";
}

} // namespace tervane
