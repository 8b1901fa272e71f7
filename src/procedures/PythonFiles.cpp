#include "PythonFiles.h"

#include "ApplySettings.h"
#include "CleanResponse.h"
#include "DeviceRunner.h"
#include "FileReplace.h"
#include "ProcedureQuestions.h"
#include "ProcedureSteps.h"
#include "RciDocuments.h"
#include "RciErrors.h"
#include "RciRequests.h"
#include "SafeXml.h"
#include "SettingPath.h"
#include "TransferVerification.h"
#include "XmlText.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>
#include <utility>

namespace tervane {

namespace {

constexpr int kAnnounceListTimeout = 5000;
constexpr int kListTimeout = 30000;
constexpr int kVerifyUploadTimeout = 15000;
constexpr int kAnnounceFileTimeout = 10000;
constexpr int kFileTimeout = 40000;
constexpr int kDeleteTimeout = 10000;


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
    std::string bytes; // decoded
};

bool IsFileData(const xmlNode* node)
{
    return node->type == XML_ELEMENT_NODE && AsciiIEquals(XmlView(node->name), "data") && node->parent != nullptr &&
        node->parent->type == XML_ELEMENT_NODE && AsciiIEquals(XmlView(node->parent->name), "get_file");
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

    void Take(std::string_view text) override { m_decoder.Decode(text, m_out + m_written, m_written); }

    const xmlNode* Data() const { return m_data; }
    std::size_t Written() const { return m_written; }

private:
    char* m_out;
    std::size_t m_written = 0;
    const xmlNode* m_data = nullptr;
    Base64Decoder m_decoder;
};

// Reads a whole file reply and decodes its content. The reply is parsed without keeping the
// file's text in the tree, the file is decoded into the reply's own buffer as the parse goes,
// and that buffer becomes the file's bytes.
std::optional<FileReply> ReadFileReply(std::string& response, long long listedSize, std::string& why)
{
    InPlaceBase64 decoded(response.data());
    std::string parseError;
    const XmlDocument doc =
        ReadUntrustedXml(CutReply(response), "filedata.xml", &parseError, FileReplyCap(listedSize), &decoded);
    if (!doc) {
        std::string().swap(response);
        why = "The device's reply was refused: " + (parseError.empty() ? std::string("not a document") : parseError);
        return std::nullopt;
    }
    const xmlNodePtr command = FindChild(xmlDocGetRootElement(doc.get()), XML_ELEMENT_NODE, "do_command");
    const xmlNodePtr getFile = FindChild(command, XML_ELEMENT_NODE, "get_file");
    const xmlNodePtr data = FindChild(getFile, XML_ELEMENT_NODE, "data");
    if (data == nullptr) {
        std::string().swap(response);
        why = "The device's reply holds no file";
        return std::nullopt;
    }
    FileReply reply;
    reply.name = Attribute(getFile, "name");
    if (data == decoded.Data()) {
        response.resize(decoded.Written());
        reply.bytes = std::move(response);
    } else {
        // The text that was taken belongs to another element; the file's own element kept
        // its text in the tree.
        std::string().swap(response);
        const XmlString content(xmlNodeGetContent(data));
        reply.bytes = DecodeBase64(XmlView(content.get()));
    }
    response = std::string();
    return reply;
}

// A reply up to this long is read whole, as it always was; a longer one is read as it arrives.
constexpr std::size_t kWholeReplyBytes = std::size_t {1} << 20;
// What a streamed reply keeps: the text before the file's data (the echo, the declaration and
// the elements around the data), what follows it, and a span of the device's own output.
constexpr std::size_t kMaxReplyHead = 64 * 1024;
constexpr std::size_t kMaxReplyTail = 64 * 1024;
constexpr std::size_t kMaxSpanHeld = 64 * 1024;
// Decoded bytes go to the file in blocks of this size.
constexpr std::size_t kDecodeBlock = 256 * 1024;

constexpr std::string_view kPrintOpen = "<pyPrint>";
constexpr std::string_view kPrintClose = "</pyPrint>";
constexpr std::string_view kUsbOpen = "<usb>";
constexpr std::string_view kUsbClose = "</usb>";

// How far `pattern` is matched after `c`, when `matched` characters were before. The tags
// hold their "<" only at the front, so a mismatch can only start the pattern over.
std::size_t Advance(std::string_view pattern, std::size_t matched, char c)
{
    if (pattern[matched] == c)
        return matched + 1;
    return c == pattern[0] ? 1 : 0;
}

// The bytes of a download on their way into the file: written in blocks and hashed as they
// are written, so the local digest is ready when the last byte is.
class DownloadSink {
public:
    explicit DownloadSink(PendingFile& file)
        : m_file(file)
        , m_block(std::make_unique_for_overwrite<char[]>(kDecodeBlock))
    {
    }

    // Base64 text of the file, in order.
    void Decode(std::string_view text)
    {
        while (!text.empty()) {
            // Four characters give three bytes, and one more may be carried over from before.
            const std::size_t room = kDecodeBlock - m_used;
            const std::size_t take = std::min(text.size(), room > 4 ? (room - 1) / 3 * 4 : 0);
            if (take == 0) {
                Flush();
                continue;
            }
            m_decoder.Decode(text.substr(0, take), m_block.get() + m_used, m_used);
            text.remove_prefix(take);
        }
    }

    // Bytes decoded elsewhere.
    void Put(std::string_view bytes)
    {
        Flush();
        Write(bytes);
    }

    void Flush()
    {
        Write(std::string_view(m_block.get(), m_used));
        m_used = 0;
    }

    // All bytes are in: the disk's flush starts while the device's digest is asked for.
    void Ended()
    {
        Flush();
        m_file.StartFlush();
    }

    bool WriteFailed() const { return m_writeFailed; }
    long long Bytes() const { return m_bytes; }
    std::optional<std::string> Digest() { return m_digest.Finish(); }

private:
    void Write(std::string_view bytes)
    {
        if (bytes.empty() || m_writeFailed)
            return;
        if (!m_file.Append(bytes))
            m_writeFailed = true;
        m_digest.Update(bytes);
        m_bytes += static_cast<long long>(bytes.size());
    }

    PendingFile& m_file;
    std::unique_ptr<char[]> m_block;
    std::size_t m_used = 0;
    Base64Decoder m_decoder;
    DigestStream m_digest;
    long long m_bytes = 0;
    bool m_writeFailed = false;
};

// A file reply read as it arrives, straight into the file chosen for it. A reply up to
// kWholeReplyBytes is gathered and read whole. A longer one is never held: the <pyPrint> and
// <usb> spans of the device's own output are taken out as they come, the text before the
// file's data element and after it is kept (each within its bound), and the data's text is
// decoded into the file as it arrives. At the end the kept text, with a marker of this read
// where the data was, is cleaned and parsed as any reply is, and the file counts as read only
// when the reply is well-formed and the data element it names is the one that was decoded,
// holding nothing else. A reply that holds anything else (markup or a reference inside the
// data, too much around it) is unreadable; the device sends plain Base64.
class FileReplyStream : public ResponseSink {
public:
    enum class Outcome {
        Read,        // a file reply, decoded into the file; Name() says which file
        Unreadable,  // no reply, an error, not a document, or no data element
        WriteFailed, // the file refused the bytes
    };

    FileReplyStream(std::string_view command, PendingFile& file, long long listedSize)
        : m_command(command)
        , m_listedSize(listedSize)
        , m_sink(file)
    {
    }

    void Take(std::string_view raw) override
    {
        if (m_failed)
            return;
        if (!m_streaming) {
            if (m_whole.size() + raw.size() <= kWholeReplyBytes) {
                m_whole.append(raw);
                return;
            }
            m_streaming = true;
            std::string held;
            held.swap(m_whole);
            Scan(held);
        }
        Scan(raw);
    }

    void Ended() override
    {
        if (m_streaming)
            m_sink.Ended();
    }

    // After the row has run.
    Outcome Finish(const USBCommand& row)
    {
        if (row.failed)
            m_why = row.readEnd == ReadEnd::Unended ? "The device's reply did not end"
                : row.readEnd == ReadEnd::Nothing   ? "The device did not reply"
                                                    : "The device answered with an error";
        Outcome outcome = row.failed ? Outcome::Unreadable : m_streaming ? FinishStreamed() : FinishWhole();
        if (outcome == Outcome::Unreadable && m_why.empty())
            m_why = "The device's reply was refused: it is not a file reply";
        m_sink.Flush();
        if (outcome == Outcome::Read && m_sink.WriteFailed())
            outcome = Outcome::WriteFailed;
        return outcome;
    }

    const std::string& Name() const { return m_name; }
    // Why the reply was unreadable, in the user's words.
    const std::string& Why() const { return m_why; }
    long long Bytes() const { return m_sink.Bytes(); }
    std::optional<std::string> Digest() { return m_sink.Digest(); }

private:
    enum class Region { Head, Data, Tail };
    enum class Span { None, Print, Usb, PrintInUsb };

    Outcome FinishWhole()
    {
        CleanResponse(m_command, m_whole);
        std::optional<FileReply> reply = ReadFileReply(m_whole, m_listedSize, m_why);
        if (!reply)
            return Outcome::Unreadable;
        m_name = std::move(reply->name);
        m_sink.Put(reply->bytes);
        return Outcome::Read;
    }

    Outcome FinishStreamed()
    {
        if (m_span != Span::None) {
            // A span that never closed stays in the answer, as cleaning leaves it; inside the
            // data it would be markup there.
            if (m_region == Region::Data || m_spanOverflow)
                return Outcome::Unreadable;
            Emit(m_spanHeld);
        }
        if (!m_candidate.empty())
            NoSpan(std::exchange(m_candidate, {}));
        if (m_failed || m_region == Region::Head)
            return Outcome::Unreadable;

        const std::string marker = Marker();
        std::string skeleton = std::move(m_head);
        skeleton += marker;
        skeleton += m_tail;
        std::string().swap(m_tail);
        CleanResponse(m_command, skeleton);
        std::string parseError;
        const XmlDocument doc =
            ReadUntrustedXml(CutReply(skeleton), "filedata.xml", &parseError, kMaxReplyHead + kMaxReplyTail + 1024);
        if (!doc) {
            m_why = "The device's reply was refused: " + (parseError.empty() ? std::string("not a document") : parseError);
            return Outcome::Unreadable;
        }
        const xmlNodePtr command = FindChild(xmlDocGetRootElement(doc.get()), XML_ELEMENT_NODE, "do_command");
        const xmlNodePtr getFile = FindChild(command, XML_ELEMENT_NODE, "get_file");
        const xmlNodePtr data = FindChild(getFile, XML_ELEMENT_NODE, "data");
        if (data == nullptr) {
            m_why = "The device's reply holds no file";
            return Outcome::Unreadable;
        }
        const XmlString content(xmlNodeGetContent(data));
        if (XmlView(content.get()) != marker)
            return Outcome::Unreadable;
        m_name = Attribute(getFile, "name");
        return Outcome::Read;
    }

    // A text no reply holds by chance: it stands for the decoded data in the kept reply.
    static std::string Marker()
    {
        std::random_device random;
        char text[40];
        std::snprintf(text, sizeof text, "tq7data%08x%08x%08x", random(), random(), random());
        return text;
    }

    void Scan(std::string_view text)
    {
        std::size_t i = 0;
        while (i < text.size() && !m_failed) {
            if (m_span != Span::None) {
                SpanCharacter(text[i++]);
                continue;
            }
            if (!m_candidate.empty()) {
                if (!Candidate(text[i]))
                    continue; // the character was not taken: it is read again
                ++i;
                continue;
            }
            // Before the data, text goes on up to the end of a tag at most, so that the data's
            // start tag is seen as soon as it is whole.
            const std::size_t special = m_region == Region::Data ? FindMarkup(text, i)
                : m_region == Region::Head                       ? text.find_first_of("<>", i)
                                                                 : text.find('<', i);
            const std::size_t end = special == std::string_view::npos ? text.size() : special;
            if (end < text.size() && text[end] == '>') {
                Emit(text.substr(i, end + 1 - i));
                i = end + 1;
                continue;
            }
            if (m_region == Region::Data)
                m_sink.Decode(text.substr(i, end - i));
            else
                Emit(text.substr(i, end - i));
            i = end;
            if (i == text.size())
                break;
            if (text[i] == '&') {
                // A reference inside the data: not the device's plain Base64.
                EndData(text.substr(i, 1));
                ++i;
                continue;
            }
            m_candidate.assign(1, '<');
            ++i;
        }
    }

    // Where the data's plain text ends: the next "<" or "&".
    static std::size_t FindMarkup(std::string_view text, std::size_t from)
    {
        for (std::size_t i = from; i < text.size(); ++i) {
            if (text[i] == '<' || text[i] == '&')
                return i;
        }
        return std::string_view::npos;
    }

    // The next character after a "<" that may open a span. False when it does not continue
    // one: the characters held go on as text, and this one is to be read again.
    bool Candidate(char c)
    {
        std::string extended = m_candidate + c;
        if (kPrintOpen.starts_with(extended) || kUsbOpen.starts_with(extended)) {
            if (extended == kPrintOpen || extended == kUsbOpen) {
                m_span = extended == kPrintOpen ? Span::Print : Span::Usb;
                m_spanHeld = std::move(extended);
                m_spanOverflow = false;
                m_openMatched = m_closeMatched = 0;
                m_candidate.clear();
            } else {
                m_candidate = std::move(extended);
            }
            return true;
        }
        NoSpan(std::exchange(m_candidate, {}));
        return false;
    }

    // Characters held after a "<" that turned out to open no span.
    void NoSpan(std::string held)
    {
        if (m_region == Region::Data)
            EndData(held); // markup: the data's text ends here
        else
            Emit(held);
    }

    // One character inside a span: waits for the span's end, and inside a <usb> span takes out
    // a whole <pyPrint> span first, as cleaning does.
    void SpanCharacter(char c)
    {
        if (m_spanHeld.size() < kMaxSpanHeld)
            m_spanHeld += c;
        else
            m_spanOverflow = true;
        if (m_span == Span::Usb) {
            m_openMatched = Advance(kPrintOpen, m_openMatched, c);
            m_closeMatched = Advance(kUsbClose, m_closeMatched, c);
            if (m_closeMatched == kUsbClose.size()) {
                EndSpan(Span::None);
            } else if (m_openMatched == kPrintOpen.size()) {
                m_span = Span::PrintInUsb;
                m_openMatched = m_closeMatched = 0;
            }
            return;
        }
        m_closeMatched = Advance(kPrintClose, m_closeMatched, c);
        if (m_closeMatched == kPrintClose.size()) {
            if (m_span == Span::PrintInUsb) {
                m_span = Span::Usb;
                m_openMatched = m_closeMatched = 0;
            } else {
                EndSpan(Span::None);
            }
        }
    }

    void EndSpan(Span next)
    {
        m_span = next;
        m_openMatched = m_closeMatched = 0;
        m_spanHeld.clear();
        m_spanOverflow = false;
    }

    void EndData(std::string_view text)
    {
        m_region = Region::Tail;
        Emit(text);
    }

    // Text outside the data, spans taken out.
    void Emit(std::string_view text)
    {
        if (m_region == Region::Tail) {
            if (m_tail.size() + text.size() > kMaxReplyTail)
                m_failed = true;
            else
                m_tail.append(text);
            return;
        }
        if (m_head.size() + text.size() > kMaxReplyHead) {
            m_failed = true;
            return;
        }
        m_head.append(text);
        StartData();
    }

    // Looks in the head for the start tag of a data element; once it is whole, what follows
    // it is the data.
    void StartData()
    {
        for (;;) {
            const std::size_t open = m_head.find('<', m_headSearch);
            if (open == std::string::npos) {
                m_headSearch = m_head.size();
                return;
            }
            m_headSearch = open;
            constexpr std::size_t kName = 4; // "data"
            if (m_head.size() < open + kName + 2)
                return;
            const char after = m_head[open + kName + 1];
            if (!AsciiIEquals(std::string_view(m_head).substr(open + 1, kName), "data") ||
                !(after == '>' || after == '/' || after == ' ' || after == '\t' || after == '\r' || after == '\n')) {
                m_headSearch = open + 1;
                continue;
            }
            const std::size_t end = StartTagEnd(open + kName + 1);
            if (end == std::string::npos)
                return;
            if (m_head[end - 1] == '/') {
                m_headSearch = end + 1; // an empty element
                continue;
            }
            std::string rest = m_head.substr(end + 1);
            m_head.resize(end + 1);
            m_region = Region::Data;
            Scan(rest);
            return;
        }
    }

    // The ">" that ends the start tag whose attributes begin at `from`, quoted values skipped.
    std::size_t StartTagEnd(std::size_t from) const
    {
        char quote = 0;
        for (std::size_t i = from; i < m_head.size(); ++i) {
            const char c = m_head[i];
            if (quote != 0) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return i;
            }
        }
        return std::string::npos;
    }

    const std::string_view m_command;
    const long long m_listedSize;
    DownloadSink m_sink;
    std::string m_whole; // the reply while it is short enough to be read whole
    bool m_streaming = false;
    bool m_failed = false;
    Region m_region = Region::Head;
    std::string m_head;
    std::size_t m_headSearch = 0; // where the head has not yet been searched for the data
    std::string m_tail;
    std::string m_candidate; // "<" and what followed, while it may still open a span
    Span m_span = Span::None;
    std::string m_spanHeld; // the open span, given back if it never closes
    bool m_spanOverflow = false;
    std::size_t m_openMatched = 0;
    std::size_t m_closeMatched = 0;
    std::string m_name;
    std::string m_why;
};

// The value of each Base64 character, -1 for the others.
constexpr std::array<signed char, 256> kBase64Values = [] {
    std::array<signed char, 256> values {};
    values.fill(-1);
    constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < kAlphabet.size(); ++i)
        values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    return values;
}();

int Base64Value(char c)
{
    return kBase64Values[static_cast<unsigned char>(c)];
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
        if (questions.Ask(QuestionKind::RetryCancel, std::string(kErrorCaption), TransferFailedMessage(path)) !=
            Answer::Retry) {
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
        const std::string askedPath = std::string(kPythonDirectory) + item.name;
        const auto askRetry = [&](const std::string& text) {
            if (questions.Ask(QuestionKind::RetryCancel, std::string(kErrorCaption), text) == Answer::Retry)
                return true;
            result.outcome = PythonDownloadOutcome::Cancelled;
            return false;
        };
        CommandBatch batch;
        for (;;) {
            // The place is chosen first, so that the file goes to the disk beside it as it
            // arrives; the dialog proposes the name as it was listed.
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
            std::optional<PendingFile> written = PendingFile::Create(*target, &reason);
            if (!written) {
                if (askRetry(DownloadWriteFailedMessage(*target, reason)))
                    continue;
                break;
            }
            FileReplyStream reply(fileRequest, *written, item.size);
            ResetBatch(batch, CommandRow(std::string(kRawRequestAnnounce), prompt, kAnnounceFileTimeout));
            USBCommand fileRow = CommandRow(fileRequest, prompt, kFileTimeout, DownloadResponseReserve(item.size));
            fileRow.stream = &reply;
            batch.AddTail(fileRow);
            batch.AddTail(CommandRow(PythonDigestQuery(item.name), prompt, DownloadDigestTimeout(item.size)));
            runner.RunBatch(batch);
            ++result.exchanges;
            const USBCommand& digestRow = *batch.GetTail();
            const FileReplyStream::Outcome outcome = reply.Finish(*batch.GetAt(1));

            // A reply without get_file or data (the device's answer for a file it does not
            // have) is as useless as one that does not parse: nothing is kept from it.
            if (outcome == FileReplyStream::Outcome::Unreadable) {
                written.reset();
                if (askRetry(DownloadUnreadableMessage(reply.Why())))
                    continue;
                break;
            }
            // The device does not choose what is written: a reply for another file is a
            // failed download, however good its digest.
            if (outcome == FileReplyStream::Outcome::Read && reply.Name() != askedPath) {
                written.reset();
                if (askRetry(DownloadOtherFileMessage(reply.Name(), askedPath)))
                    continue;
                break;
            }
            // Read, or a write that failed, whose reason the file gives.
            bool finished = written->Finish(&reason);
            if (finished && outcome != FileReplyStream::Outcome::Read) {
                finished = false;
                reason = "the file could not be written";
            }
            // Hashed as it was written: the local digest is ready with the last byte.
            const std::string localDigest = finished ? reply.Digest().value_or("") : std::string();
            const bool verified = finished && DigestsMatch(localDigest, digestRow);
            if (!finished || (verified && !written->Commit(&reason))) {
                written.reset();
                if (askRetry(DownloadWriteFailedMessage(*target, reason)))
                    continue;
                break;
            }
            if (verified) {
                result.savedPath = *target;
                result.savedBytes = reply.Bytes();
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
        result.sent.push_back({item.name, std::nullopt});
    }
    AddListingRows(batch);
    runner.RunBatch(batch);
    // The removal rows come first, one per name sent.
    for (std::size_t i = 0; i < result.sent.size(); ++i)
        result.sent[i].refused = RowRefusal(*batch.GetAt(static_cast<int>(i)));
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

bool ApplyAutoStart(RciDocuments& documents, DeviceRunner& runner, const BindingTable& table, const FieldStore& fields)
{
    StoreBindings(table, fields, documents.SettingsRoot());
    return OnApplySettings(documents, runner).sent;
}

} // namespace tervane
