#include "ProcedureSteps.h"

#include "CommandBatch.h"
#include "SafeXml.h"
#include "SettingPath.h"
#include "XmlText.h"
#include "UploadWorker.h"

#include "SystemCalls.h"

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
    std::string shown;
    shown.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte < 0x80) {
            shown.push_back(byte < 0x20 || byte == 0x7f ? '?' : name[i]);
            ++i;
            continue;
        }
        uint32_t codePoint = 0;
        const std::size_t length = Utf8SequenceLength(name, i, codePoint);
        if (length == 0) {
            // Not UTF-8: a byte of its own, a C1 control when it is one.
            shown.push_back(IsC1Control(byte) ? '?' : name[i]);
            ++i;
        } else {
            if (IsC1Control(codePoint))
                shown.push_back('?');
            else
                shown.append(name.substr(i, length));
            i += length;
        }
    }
    return shown;
}

// The length of the valid UTF-8 sequence starting at `i`, or 0 when the byte there does not
// begin one (overlong forms, surrogates and code points above U+10FFFF are not valid).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i, uint32_t& codePoint)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    uint32_t minimum = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        codePoint = lead & 0x1fu;
        minimum = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        codePoint = lead & 0x0fu;
        minimum = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        codePoint = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xc0u) != 0x80u)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3fu);
    }
    if (codePoint < minimum || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
        return 0;
    return length;
}

} // namespace tervane
