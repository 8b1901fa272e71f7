#pragma once

#include "Md5.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tervane {

class UploadSource;
struct USBCommand;

// An MD5 digest as 32 lower-case hexadecimal characters and its terminator.
inline constexpr std::size_t kDigestTextSize = 33;

// Writes the MD5 digest of the file's bytes into `buffer` as a zero-terminated digest text
// and returns `buffer`. Returns nullptr and leaves the buffer untouched when `length` is
// less than 33 or the file is not a regular file that can be read to its end.
const char* FileDigestHex(const char* path, char* buffer, std::size_t length);
// The same, as a text; none when the file cannot be read.
std::optional<std::string> FileDigestHex(const std::string& path);

// The MD5 digest of bytes that come in pieces (a download as it is written), the same
// digest FileDigestHex gives for a file holding them.
class DigestStream {
public:
    DigestStream();
    ~DigestStream();
    DigestStream(const DigestStream&) = delete;
    DigestStream& operator=(const DigestStream&) = delete;
    void Update(std::string_view bytes);
    // The digest text of everything given; none when the computation failed. Once only.
    std::optional<std::string> Finish();

private:
    Md5 m_md5;
    bool m_good = true;
};

// Digest queries: at&usbinterface=41 with the device path in double quotes. The forms
// with a file name give an empty text, which sends nothing as a batch row, when the name
// cannot be carried (IsSafeDeviceFileName; IsSafeListedFileName for the Python files,
// which are checked only once they are on the device).
std::string FirmwareDigestQuery();
std::string MeshDigestQuery(std::string_view fileName);
std::string PythonDigestQuery(std::string_view fileName);
// The query for where the source was uploaded to.
std::string DigestQueryFor(const UploadSource& source);

// The device's digest answer with every CR and LF removed, as it is compared and shown.
std::string DeviceDigestText(std::string_view answer);
// True when the device's answer, without its CRs and LFs, is exactly the local digest.
// A local digest that is not 32 lower-case hexadecimal characters (no digest could be
// taken) matches nothing, not even an empty answer.
bool DigestsMatch(std::string_view localDigest, std::string_view deviceAnswer);
// The same for a finished digest query row; a failed row matches nothing.
bool DigestsMatch(std::string_view localDigest, const USBCommand& queryRow);

// The messages shown when the digests differ. The device's answer is shown as compared.
std::string UploadMismatchMessage(std::string_view localDigest, std::string_view deviceAnswer);
std::string DownloadMismatchMessage(std::string_view localDigest, std::string_view deviceAnswer);
std::string TransferFailedMessage(std::string_view localPath);

} // namespace tervane
