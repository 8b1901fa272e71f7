#include "TransferVerification.h"

#include "USBCommand.h"
#include "UploadSource.h"

#include "Md5.h"

#include "SystemCalls.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>

namespace tervane {

namespace {

// The file is fed to the digest in blocks of this size, out of a read-ahead buffer that
// the file is read into with few system calls and no further copying.
constexpr std::size_t kDigestBlockSize = 1024;
constexpr std::size_t kReadAheadSize = 64 * 1024;

// The file's bytes in blocks of at most kDigestBlockSize.
class BlockStream {
public:
    // Opens a regular file. Non-blocking, so a FIFO cannot hold the caller at the open; it
    // is refused like any other file that has no end.
    explicit BlockStream(const char* path)
        : m_fd(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK))
    {
        struct stat st { };
        if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(m_fd);
            m_fd = -1;
        }
        if (m_fd >= 0)
            AdviseSequential(m_fd);
    }
    ~BlockStream()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    BlockStream(const BlockStream&) = delete;
    BlockStream& operator=(const BlockStream&) = delete;

    bool IsOpen() const { return m_fd >= 0; }

    // The next block, empty at the end of the file. False when a read fails.
    bool Next(const unsigned char*& block, std::size_t& length)
    {
        if (m_next == m_end) {
            ssize_t n;
            do {
                n = ::read(m_fd, m_buffer.get(), kReadAheadSize);
            } while (n < 0 && errno == EINTR);
            if (n < 0)
                return false;
            m_next = 0;
            m_end = static_cast<std::size_t>(n);
        }
        block = m_buffer.get() + m_next;
        length = std::min(kDigestBlockSize, m_end - m_next);
        m_next += length;
        return true;
    }

private:
    int m_fd;
    std::unique_ptr<unsigned char[]> m_buffer = std::make_unique<unsigned char[]>(kReadAheadSize);
    std::size_t m_next = 0;
    std::size_t m_end = 0;
};

std::string QueryFor(std::string_view devicePath)
{
    return "at&usbinterface=41,\"" + std::string(devicePath) + "\"\r\n";
}

bool IsDigestText(std::string_view text)
{
    if (text.size() != kDigestTextSize - 1)
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

// The digest's bytes as "%02x" each, and the terminator.
void WriteDigestText(const unsigned char* digest, std::size_t length, char* text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < length; ++i) {
        text[2 * i] = kHex[digest[i] >> 4];
        text[2 * i + 1] = kHex[digest[i] & 0x0f];
    }
    text[2 * length] = '\0';
}

} // namespace

const char* FileDigestHex(const char* path, char* buffer, std::size_t length)
{
    if (length < kDigestTextSize || !path || !buffer)
        return nullptr;
    BlockStream file(path);
    if (!file.IsOpen())
        return nullptr;

    Md5 md5;
    for (;;) {
        const unsigned char* block = nullptr;
        std::size_t n = 0;
        // A read error part way would give the digest of part of the file.
        if (!file.Next(block, n))
            return nullptr;
        if (n == 0)
            break;
        if (!md5.Update(block, n))
            return nullptr;
    }
    std::array<unsigned char, 16> digest {};
    if (!md5.Final(digest))
        return nullptr;
    const std::size_t digestLength = digest.size();

    WriteDigestText(digest.data(), digestLength, buffer);
    return buffer;
}

DigestStream::DigestStream() = default;

DigestStream::~DigestStream() = default;

void DigestStream::Update(std::string_view bytes)
{
    if (m_good && !bytes.empty())
        m_good = m_md5.Update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::optional<std::string> DigestStream::Finish()
{
    std::array<unsigned char, 16> digest {};
    if (!m_good || !m_md5.Final(digest))
        return std::nullopt;
    m_good = false;
    char text[kDigestTextSize];
    WriteDigestText(digest.data(), digest.size(), text);
    return std::string(text);
}

std::optional<std::string> FileDigestHex(const std::string& path)
{
    char text[kDigestTextSize];
    if (!FileDigestHex(path.c_str(), text, sizeof text))
        return std::nullopt;
    return std::string(text);
}

std::string FirmwareDigestQuery()
{
    return QueryFor(kFirmwareImagePath);
}

std::string MeshDigestQuery(std::string_view fileName)
{
    if (!IsSafeDeviceFileName(fileName))
        return {};
    return QueryFor(std::string(kMeshDirectory) + std::string(fileName));
}

std::string PythonDigestQuery(std::string_view fileName)
{
    if (!IsSafeListedFileName(fileName))
        return {};
    return QueryFor(std::string(kPythonDirectory) + std::string(fileName));
}

std::string DigestQueryFor(const UploadSource& source)
{
    if (source.CheckDestination() != DestinationCheck::Good)
        return {};
    return QueryFor(source.Destination());
}

std::string DeviceDigestText(std::string_view answer)
{
    std::string text;
    text.reserve(answer.size());
    for (const char c : answer) {
        if (c != '\r' && c != '\n')
            text.push_back(c);
    }
    return text;
}

bool DigestsMatch(std::string_view localDigest, std::string_view deviceAnswer)
{
    return IsDigestText(localDigest) && DeviceDigestText(deviceAnswer) == localDigest;
}

bool DigestsMatch(std::string_view localDigest, const USBCommand& queryRow)
{
    return queryRow.failed == 0 && DigestsMatch(localDigest, queryRow.response);
}

std::string UploadMismatchMessage(std::string_view localDigest, std::string_view deviceAnswer)
{
    return "File upload failed.  MD5 sum should have been " + std::string(localDigest) + ", but came back as " +
        DeviceDigestText(deviceAnswer) + ".\r\nSelect Retry to attempt the file upload again.";
}

std::string DownloadMismatchMessage(std::string_view localDigest, std::string_view deviceAnswer)
{
    return "File download failed.  MD5 sum should have been " + std::string(localDigest) + ", but came back as " +
        DeviceDigestText(deviceAnswer) + ".\r\nSelect Retry to attempt the file download again.";
}

std::string TransferFailedMessage(std::string_view localPath)
{
    return "The file " + std::string(localPath) + " did not correctly transfer.";
}

} // namespace tervane
