#include "LocalFiles.h"

#include "FileReplace.h"
#include "ProcedureSteps.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tervane {

std::string WhyUnreadable(const std::string& path)
{
    if (path.empty())
        return "no file named";
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return "cannot read " + path + ": " + std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return "cannot read " + path + ": not a regular file";
    if (!CanOpenForReading(path))
        return "cannot read " + path + ": " + std::strerror(errno ? errno : EACCES);
    return {};
}

std::string WhyUnwritable(const std::string& path)
{
    if (path.empty())
        return "no file named";
    std::string reason;
    const std::optional<std::string> target = ResolveWriteTarget(path, &reason);
    if (!target)
        return "cannot write " + path + ": " + reason;
    // The folder that receives the file: the link's target's when the path is a link.
    const auto slash = target->rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target->substr(0, slash);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return "cannot write " + path + ": " + folder + ": " + std::strerror(errno);
    if (!S_ISDIR(info.st_mode))
        return "cannot write " + path + ": " + folder + " is not a folder";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "cannot write " + path + ": " + folder + ": " + std::strerror(errno);
    return {};
}

} // namespace tervane
