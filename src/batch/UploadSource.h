#pragma once

#include <string>
#include <string_view>

namespace tervane {

// Device paths that uploads go to.
inline constexpr std::string_view kFirmwareImagePath = "/fw/updatefw.dwl";
inline constexpr std::string_view kMeshDirectory = "/WEB/mesh/";
inline constexpr std::string_view kPythonDirectory = "/WEB/python/";

// The longest destination the line "AT&USBINTERFACE=16,"<destination>"\r\n" can carry
// within the device's 99 characters.
inline constexpr std::size_t kMaxDestinationLength = 76;

// Whether a destination can be uploaded to, and if not, why.
enum class DestinationCheck {
    Good,
    NoFileName,        // the path ends in "/" or names "." or ".."
    UnsafeFileName,    // a character the command lines or the RCI requests cannot carry
    TooLong,           // longer than kMaxDestinationLength
};

// One local file and where it goes on the device.
class UploadSource {
public:
    UploadSource() = default;
    UploadSource(std::string path, bool firmwareImage, bool meshFile);

    void SetUploadSource(std::string path, bool firmwareImage, bool meshFile);

    const std::string& Path() const { return m_path; }
    bool FirmwareImage() const { return m_firmwareImage; }
    bool MeshFile() const { return m_meshFile; }

    // The part of the path after its last "/", or the whole path when it has none.
    std::string FileName() const;
    // "/fw/updatefw.dwl" for a firmware image, else the mesh or the Python folder
    // followed by the file name.
    std::string Destination() const;
    // Whether Destination() can go into the upload's command lines.
    DestinationCheck CheckDestination() const;

private:
    std::string m_path;
    bool m_firmwareImage = false;
    bool m_meshFile = false;
};

// The file name part of a local path: after the last "/". A "\" is an ordinary character
// of a file name here, not a separator.
std::string FileNameOf(std::string_view path);

// Whether a file name on the device can be carried by every line it goes into: quoted
// (sub-command 16, the digest query), unquoted (sub-command 9) and inside RCI requests.
// Printable ASCII only, without blank, quotes, "<", ">", "&", ",", ";" and "\"; not empty,
// "." or "..".
bool IsSafeDeviceFileName(std::string_view name);
// Whether the name of a file already on the device can be carried by the lines that fetch,
// check or remove it: quoted and inside RCI requests only, so a blank is allowed as well.
bool IsSafeListedFileName(std::string_view name);

} // namespace tervane
