#include "InventoryRecord.h"

#include "CommandText.h"
#include "FileReplace.h"
#include "ProcedureSteps.h"

#include "SystemCalls.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <initializer_list>

namespace tervane {

namespace {

std::string Field(std::string_view text)
{
    std::string field;
    bool quote = false;
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@'))
        field.push_back('\'');
    // A control character would break the line; the record keeps one gateway per line.
    for (const char c : ShownName(text)) {
        if (c == '"') {
            field += "\"\"";
            quote = true;
        } else if (c == ',') {
            field.push_back(c);
            quote = true;
        } else {
            field.push_back(c);
        }
    }
    return quote ? "\"" + field + "\"" : field;
}

std::string Line(std::initializer_list<std::string_view> fields)
{
    std::string line;
    bool first = true;
    for (const auto& field : fields) {
        // Counted by fields, not by what the line holds: an empty first field keeps its column.
        if (!first)
            line.push_back(',');
        first = false;
        line += Field(field);
    }
    return line + "\r\n";
}

} // namespace

std::string InventoryHeader()
{
    return Line({"time", "port", "usb_serial", "by_id_path", "imei", "iccid", "imsi", "product", "firmware_before",
        "firmware_after", "radio_firmware", "profile_digest", "changed", "result", "changes", "error"});
}

std::string InventoryLine(const InventoryRecord& r)
{
    // What came from the device is its identity's first line, bounded, so one gateway's
    // line stays a line and a short one.
    return Line({r.time, r.port, r.usbSerial, r.byIdPath, IdentityText(r.imei), IdentityText(r.iccid),
        IdentityText(r.imsi), IdentityText(r.product), IdentityText(r.firmwareBefore), IdentityText(r.firmwareAfter),
        IdentityText(r.radioFirmware), r.profileDigest, r.changed ? "true" : "false", r.result,
        std::to_string(r.changes), r.error});
}

bool AppendInventoryRecord(const std::string& path, const InventoryRecord& record, std::string& failure)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        failure = "cannot open the record " + path + ": " + std::strerror(errno);
        return false;
    }
    bool written = false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        failure = "the record " + path + " is not a file";
    } else if (LockWholeFile(fd) != 0 || ::fstat(fd, &info) != 0) {
        failure = "cannot lock the record " + path + ": " + std::strerror(errno);
    } else {
        const std::string bytes = (info.st_size == 0 ? InventoryHeader() : std::string()) + InventoryLine(record);
        written = WriteAll(fd, bytes);
        if (!written) {
            failure = "cannot write the record " + path + ": " + std::strerror(errno);
            // Under the lock nobody else has written since: cut back to the last whole line.
            if (::ftruncate(fd, info.st_size) != 0)
                failure += " (and it could not be cut back)";
        } else if (FlushFileData(fd) != 0) {
            failure = "cannot write the record " + path + ": " + std::strerror(errno);
            written = false;
        }
    }
    ::close(fd);
    return written;
}

std::string InventoryTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc {};
    char text[32] = "";
    if (UtcParts(now, utc))
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

} // namespace tervane
