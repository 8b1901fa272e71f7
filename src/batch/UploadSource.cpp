#include "UploadSource.h"

namespace tervane {

UploadSource::UploadSource(std::string path, bool firmwareImage, bool meshFile)
{
    SetUploadSource(std::move(path), firmwareImage, meshFile);
}

void UploadSource::SetUploadSource(std::string path, bool firmwareImage, bool meshFile)
{
    m_path = std::move(path);
    m_firmwareImage = firmwareImage;
    m_meshFile = meshFile;
}

std::string UploadSource::FileName() const
{
    return FileNameOf(m_path);
}

std::string UploadSource::Destination() const
{
    if (m_firmwareImage)
        return std::string(kFirmwareImagePath);
    return std::string(m_meshFile ? kMeshDirectory : kPythonDirectory) + FileName();
}

DestinationCheck UploadSource::CheckDestination() const
{
    // The firmware image always goes to the same place, whatever the file is called.
    if (m_firmwareImage)
        return DestinationCheck::Good;
    const std::string name = FileName();
    if (name.empty() || name == "." || name == "..")
        return DestinationCheck::NoFileName;
    if (!IsSafeDeviceFileName(name))
        return DestinationCheck::UnsafeFileName;
    if (Destination().size() > kMaxDestinationLength)
        return DestinationCheck::TooLong;
    return DestinationCheck::Good;
}

std::string FileNameOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

namespace {

bool IsSafeFileName(std::string_view name, bool blanksAllowed)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        // Blanks would be dropped from the unquoted sub-command 9, "," and ";" end its
        // argument or the command, quotes end the quoted forms, "<", ">" and "&" break the
        // RCI requests the name goes into, and the device may read "\" as a separator.
        if (c == ' ' && blanksAllowed)
            continue;
        if (byte <= 0x20 || byte >= 0x7f)
            return false;
        switch (c) {
        case '"':
        case '\'':
        case '<':
        case '>':
        case '&':
        case ',':
        case ';':
        case '\\':
        case '/':
            return false;
        default:
            break;
        }
    }
    return true;
}

} // namespace

bool IsSafeDeviceFileName(std::string_view name)
{
    return IsSafeFileName(name, false);
}

bool IsSafeListedFileName(std::string_view name)
{
    return IsSafeFileName(name, true);
}

} // namespace tervane
