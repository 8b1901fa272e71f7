#include "PythonFiles.h"

#include "ApplySettings.h"
#include "DeviceRunner.h"
#include "FileReplace.h"
#include "ProcedureQuestions.h"
#include "ProcedureSteps.h"
#include "RciDocuments.h"
#include "RciRequests.h"
#include "SafeXml.h"
#include "SettingPath.h"
#include "TransferVerification.h"
#include "XmlText.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <optional>

namespace tervane {

namespace {

constexpr int kAnnounceListTimeout = 5000;
constexpr int kListTimeout = 30000;
constexpr int kVerifyUploadTimeout = 15000;
constexpr int kAnnounceFileTimeout = 10000;
constexpr int kFileTimeout = 40000;
constexpr int kDeleteTimeout = 10000;

constexpr std::size_t kMaxItemText = 99;

const char* const kListPrompt = "Retrieving file list from the device...";

std::string Attribute(xmlNodePtr node, const char* name)
{
    const XmlString value(xmlGetProp(node, reinterpret_cast<const xmlChar*>(name)));
    return std::string(XmlView(value.get()));
}

bool HasAttribute(xmlNodePtr node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && xmlHasProp(node, reinterpret_cast<const xmlChar*>(name)) != nullptr;
}

// The path and the Base64 text of a file reply; none when the reply lacks either element.
struct FileReply {
    std::string name;
    std::string bytes;  // decoded
};

bool IsFileData(const xmlNode* node)
{
    return node->type == XML_ELEMENT_NODE && AsciiIEquals(XmlView(node->name), "data") && node->parent != nullptr
        && node->parent->type == XML_ELEMENT_NODE && AsciiIEquals(XmlView(node->parent->name), "get_file");
}

// Decodes the text of the first `data` element under a `get_file` (its descendants' text
// included) while the reply is parsed, writing the bytes over the front of the reply text
// itself. That is safe: the parser is fed the text in blocks and copies each before it
// parses it, every Base64 character it delivers came from at least one byte of text fed,
// and four such characters give three bytes, so what is written never reaches what has
// not been fed yet. The file is thus held once, in the reply's own buffer.
class InPlaceBase64 : public XmlTextSink {
public:
    explicit InPlaceBase64(char* out)
        : m_out(out)
    {
    }

    bool Takes(const xmlNode* element) override
    {
        for (const xmlNode* node = element; node != nullptr && node->type == XML_ELEMENT_NODE; node = node->parent) {
            if (node == m_data)
                return true;
            if (m_data == nullptr && IsFileData(node)) {
                m_data = node;
                return true;
            }
        }
        return false;
    }

    void Take(std::string_view text) override
    {
        m_decoder.Decode(text, m_out + m_written, m_written);
    }

    const xmlNode* Data() const { return m_data; }
    std::size_t Written() const { return m_written; }

private:
    char* m_out;
    std::size_t m_written = 0;
    const xmlNode* m_data = nullptr;
    Base64Decoder m_decoder;
};

// Reads the file reply of the row and decodes its content. The reply is parsed without
// keeping the file's text in the tree, the file is decoded into the reply's own buffer
// as the parse goes, and that buffer becomes the file's bytes.
std::optional<FileReply> ReadFileReply(USBCommand& row, long long listedSize)
{
    if (row.failed)
        return std::nullopt;
    InPlaceBase64 decoded(row.response.data());
    const XmlDocument doc = ReadUntrustedXml(CutReply(row.response), "filedata.xml", nullptr,
        FileReplyCap(listedSize), &decoded);
    if (!doc) {
        std::string().swap(row.response);
        return std::nullopt;
    }
    const xmlNodePtr command = FindChild(xmlDocGetRootElement(doc.get()), XML_ELEMENT_NODE, "do_command");
    const xmlNodePtr getFile = FindChild(command, XML_ELEMENT_NODE, "get_file");
    const xmlNodePtr data = FindChild(getFile, XML_ELEMENT_NODE, "data");
    if (data == nullptr) {
        std::string().swap(row.response);
        return std::nullopt;
    }
    FileReply reply;
    reply.name = Attribute(getFile, "name");
    if (data == decoded.Data()) {
        row.response.resize(decoded.Written());
        reply.bytes = std::move(row.response);
    } else {
        // The text that was taken belongs to another element; the file's own element kept
        // its text in the tree.
        std::string().swap(row.response);
        const XmlString content(xmlNodeGetContent(data));
        reply.bytes = DecodeBase64(XmlView(content.get()));
    }
    row.response = std::string();
    return reply;
}

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

PythonFileItem ItemOf(std::string name, std::string_view sizeText)
{
    PythonFileItem item;
    item.name = std::move(name);
    for (const char c : sizeText) {
        if (c != ' ' && c != '\t')
            item.sizeText += c;
    }
    // A size below zero is no size.
    item.size = std::max<long long>(ReadDecimal(item.sizeText), 0);
    return item;
}

} // namespace

std::string FileListItemText(const PythonFileEntry& entry, std::size_t nameWidth)
{
    std::string text = entry.name;
    if (text.size() < nameWidth)
        text.resize(nameWidth, ' ');
    text += "    ";
    text += entry.size;
    if (entry.size.size() < 8)
        text.append(8 - entry.size.size(), ' ');
    return text;
}

std::size_t FileListNameWidth(const PythonFileList& files)
{
    std::size_t width = kFileListNameWidth;
    for (const PythonFileEntry& entry : files)
        width = std::max(width, entry.name.size());
    return width;
}

PythonFileItem SplitFileListItem(std::string_view itemText)
{
    const std::string_view text = itemText.substr(0, std::min(itemText.size(), kMaxItemText));
    const auto blank = text.find(' ');
    if (blank == std::string_view::npos)
        return ItemOf(std::string(text), {});
    return ItemOf(std::string(text.substr(0, blank)), text.substr(blank + 1));
}

PythonFileItem ItemForEntry(const PythonFileEntry& entry)
{
    return ItemOf(entry.name, entry.size);
}

PythonFileList ReadFileList(std::string_view listResponse)
{
    PythonFileList files;
    const XmlDocument doc = ReadUntrustedXml(CutReply(listResponse), "python.xml");
    if (!doc)
        return files;
    const xmlNodePtr command = FindChild(xmlDocGetRootElement(doc.get()), XML_ELEMENT_NODE, "do_command");
    const xmlNodePtr ls = FindChild(command, XML_ELEMENT_NODE, "ls");
    if (ls == nullptr)
        return files;
    for (xmlNodePtr entry = ls->children; entry != nullptr; entry = FindNextSibling(entry, XML_ELEMENT_NODE, "file")) {
        if (HasAttribute(entry, "name") && HasAttribute(entry, "size"))
            files.push_back({Attribute(entry, "name"), Attribute(entry, "size")});
    }
    return files;
}

bool ListingCameBack(const USBCommand& row)
{
    return !row.failed && ReadUntrustedXml(CutReply(row.response), "python.xml") != nullptr;
}

void AddListingRows(CommandBatch& batch)
{
    batch.AddTail(CommandRow(std::string(kRawRequestAnnounce), kListPrompt, kAnnounceListTimeout));
    batch.AddTail(CommandRow(std::string(kListPythonFilesRequest), kListPrompt, kListTimeout));
}

PythonFileList ListPythonFiles(DeviceRunner& runner, bool* listed)
{
    CommandBatch batch;
    AddListingRows(batch);
    runner.RunBatch(batch);
    if (listed != nullptr)
        *listed = ListingCameBack(*batch.GetTail());
    return ReadFileList(batch.GetTail()->response);
}

PythonUploadResult UploadPythonFile(const std::string& path, DeviceRunner& runner, ProcedureQuestions& questions)
{
    PythonUploadResult result;
    if (path.empty()) {
        questions.Ask(QuestionKind::Error, std::string(kEnterFilenameCaption), std::string(kNoPythonFileText));
        result.outcome = PythonUploadOutcome::NoFile;
        return result;
    }
    const UploadSource source(path, false, false);
    const DestinationCheck check = source.CheckDestination();
    if (check != DestinationCheck::Good) {
        questions.Ask(QuestionKind::Error, std::string(kEnterCorrectFilenameCaption),
            std::string(DestinationRefusal(check)));
        result.outcome = PythonUploadOutcome::NameRefused;
        return result;
    }

    CommandBatch batch;
    for (;;) {
        // Taken on every pass: the file may have been fixed before Retry.
        const std::string localDigest = FileDigestHex(path).value_or("");
        result.lastUpload = runner.Upload(source);
        ++result.uploads;
        ResetBatch(batch, CommandRow(DigestQueryFor(source), "Verifying upload...", kVerifyUploadTimeout));
        AddListingRows(batch);
        runner.RunBatch(batch);
        if (DigestsMatch(localDigest, *batch.GetHead())) {
            result.outcome = PythonUploadOutcome::Verified;
            break;
        }
        // A new upload overwrites the bad copy, so nothing is removed first.
        if (questions.Ask(QuestionKind::RetryCancel, std::string(kErrorCaption), TransferFailedMessage(path))
            != Answer::Retry) {
            result.outcome = PythonUploadOutcome::Cancelled;
            break;
        }
    }
    result.files = ReadFileList(batch.GetTail()->response);
    result.listRefreshed = true;
    return result;
}

std::vector<PythonDownloadResult> DownloadPythonFiles(const std::vector<PythonFileItem>& items, DeviceRunner& runner,
    ProcedureQuestions& questions)
{
    std::vector<PythonDownloadResult> results;
    for (const PythonFileItem& item : items) {
        PythonDownloadResult& result = results.emplace_back();
        result.name = item.name;
        if (!IsSafeListedFileName(item.name)) {
            questions.Ask(QuestionKind::Error, std::string(kErrorCaption), UnsafeNameMessage(item.name));
            result.outcome = PythonDownloadOutcome::NameRefused;
            continue;
        }
        const std::string prompt = "Retrieving " + item.name + " (" + item.sizeText + " bytes) from the device...";
        const std::string fileRequest = FillRciRequest(kGetPythonFileRequest, item.name).value_or("");
        CommandBatch batch;
        for (;;) {
            ResetBatch(batch, CommandRow(std::string(kRawRequestAnnounce), prompt, kAnnounceFileTimeout));
            batch.AddTail(CommandRow(fileRequest, prompt, kFileTimeout, DownloadResponseReserve(item.size)));
            batch.AddTail(CommandRow(PythonDigestQuery(item.name), prompt, DownloadDigestTimeout(item.size)));
            runner.RunBatch(batch);
            ++result.exchanges;
            const USBCommand& digestRow = *batch.GetTail();

            // A reply without get_file or data (the device's answer for a file it does not
            // have) is as useless as one that does not parse: nothing is written from it.
            std::optional<FileReply> reply = ReadFileReply(*batch.GetAt(1), item.size);
            if (!reply) {
                if (questions.Ask(QuestionKind::RetryCancel, std::string(kErrorCaption),
                        std::string(kDownloadUnreadableText)) == Answer::Retry)
                    continue;
                result.outcome = PythonDownloadOutcome::Cancelled;
                break;
            }

            // The device does not choose what is written: a reply for another file is a
            // failed download, however good its digest.
            const std::string askedPath = std::string(kPythonDirectory) + item.name;
            if (reply->name != askedPath) {
                if (questions.Ask(QuestionKind::RetryCancel, std::string(kErrorCaption),
                        DownloadOtherFileMessage(reply->name, askedPath)) == Answer::Retry)
                    continue;
                result.outcome = PythonDownloadOutcome::Cancelled;
                break;
            }

            // The reply is the file asked for: the dialog proposes its name as it was listed.
            FileChoice choice;
            choice.initialName = item.name;
            const std::optional<std::string> target = questions.ChooseSaveFile(choice);
            if (!target) {
                result.outcome = PythonDownloadOutcome::NotSaved;
                break;
            }
            // The bytes are checked in the temporary file; the file at the target is
            // replaced only by a download whose digest matched.
            std::string reason;
            std::optional<PendingFile> written = PendingFile::Write(*target, reply->bytes, &reason);
            const auto replyBytes = static_cast<long long>(reply->bytes.size());
            reply.reset();
            const std::string localDigest =
                written ? FileDigestHex(written->TemporaryPath()).value_or("") : std::string();
            const bool verified = written && DigestsMatch(localDigest, digestRow);
            if (!written || (verified && !written->Commit(&reason))) {
                if (questions.Ask(QuestionKind::RetryCancel, std::string(kErrorCaption),
                        DownloadWriteFailedMessage(*target, reason)) == Answer::Retry)
                    continue;
                result.outcome = PythonDownloadOutcome::Cancelled;
                break;
            }
            if (verified) {
                result.savedPath = *target;
                result.savedBytes = replyBytes;
                result.outcome = PythonDownloadOutcome::Saved;
                break;
            }
            if (questions.Ask(QuestionKind::RetryCancel, std::string(kErrorCaption),
                    DownloadMismatchMessage(localDigest, digestRow.response)) == Answer::Retry)
                continue;
            // Nothing is lost either way: the target keeps what it held and the download
            // stays beside it.
            if (std::optional<std::string> kept = written->KeepUnverified(&reason))
                result.unverifiedPath = std::move(*kept);
            else
                questions.Ask(QuestionKind::Error, std::string(kErrorCaption),
                    KeepUnverifiedFailedMessage(*target, reason));
            result.outcome = PythonDownloadOutcome::Cancelled;
            break;
        }
    }
    return results;
}

PythonDeleteResult DeletePythonFiles(const std::vector<PythonFileItem>& items, DeviceRunner& runner,
    ProcedureQuestions& questions)
{
    PythonDeleteResult result;
    CommandBatch batch;
    for (const PythonFileItem& item : items) {
        if (!IsSafeListedFileName(item.name)) {
            questions.Ask(QuestionKind::Error, std::string(kErrorCaption), UnsafeNameMessage(item.name));
            result.refused.push_back(item.name);
            continue;
        }
        batch.AddTail(CommandRow(FillRciRequest(kRemovePythonFileRequest, item.name).value_or(""),
            "Deleting file from the device...", kDeleteTimeout));
    }
    AddListingRows(batch);
    runner.RunBatch(batch);
    result.files = ReadFileList(batch.GetTail()->response);
    result.listed = ListingCameBack(*batch.GetTail());
    return result;
}

int DownloadDigestTimeout(long long size)
{
    const long long steps = std::max(size, 0LL) / 10000 + 1;
    return steps > INT_MAX / 1000 ? INT_MAX : static_cast<int>(steps * 1000);
}

long long DownloadResponseReserve(long long size)
{
    if (size <= 0)
        return 0;
    // A listed size is the device's word, not a measured one: the room is reserved, not
    // filled, and no more than the largest file an upload can have put there needs.
    constexpr long long kEnvelope = 1024;
    const long long file = std::min(size, kMaxUploadSize);
    const long long encoded = (file + 2) / 3 * 4;
    const long long lineEnds = 2 * (encoded / 64 + 1);
    return encoded + lineEnds + kEnvelope;
}

std::size_t FileReplyCap(long long size)
{
    return static_cast<std::size_t>(kResponseBase) + static_cast<std::size_t>(DownloadResponseReserve(size));
}

std::size_t Base64Decoder::Decode(std::string_view text, char* out, std::size_t& written)
{
    std::size_t put = 0;
    for (const char c : text) {
        if (m_ended)
            break;
        if (c == '=') {
            m_ended = true;
            break;
        }
        const int value = Base64Value(c);
        if (value < 0)
            continue;
        m_bits = (m_bits << 6 | static_cast<unsigned>(value)) & 0xffffffu;
        m_count += 6;
        if (m_count >= 8) {
            m_count -= 8;
            out[put++] = static_cast<char>(m_bits >> m_count & 0xffu);
        }
    }
    written += put;
    return put;
}

std::string DecodeBase64(std::string_view text)
{
    std::string bytes(text.size() / 4 * 3 + 3, '\0');
    std::size_t written = 0;
    Base64Decoder().Decode(text, bytes.data(), written);
    bytes.resize(written);
    return bytes;
}

BindingTable PythonBindings()
{
    BindingTable table;
    table.push_back(
        {kAutoStartStatePath, kAutoStartEnabledField, kAutoStartEnabledField, {}, BIND_ONOFF, nullptr, nullptr});
    table.push_back(
        {kAutoStartCommandPath, kAutoStartCommandField, kAutoStartCommandField, {}, BIND_TEXT, nullptr, nullptr});
    return table;
}

bool ApplyAutoStart(RciDocuments& documents, DeviceRunner& runner, const BindingTable& table,
    const FieldStore& fields)
{
    StoreBindings(table, fields, documents.SettingsRoot());
    return OnApplySettings(documents, runner);
}

} // namespace tervane
