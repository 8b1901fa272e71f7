#include "SafeXml.h"

#include "XmlPrescan.h"
#include "XmlText.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <mutex>

namespace tervane {

void XmlDocFree::operator()(xmlDoc* doc) const noexcept
{
    xmlFreeDoc(doc);
}

void XmlStringFree::operator()(xmlChar* text) const noexcept
{
    xmlFree(text);
}

namespace {

// The library version the program was written against (2.7.2).
constexpr int kRequiredXmlVersion = 20702;

constexpr int kUntrustedParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// Nothing the program reads may pull in another file or URL.
xmlParserInputPtr RefuseExternalEntity(const char*, const char*, xmlParserCtxtPtr)
{
    return nullptr;
}

void InstallRefusingEntityLoader()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlSetExternalEntityLoader(RefuseExternalEntity); });
}

struct ParseOutcome {
    bool doctypeSeen = false;
    std::string firstError;
    XmlTextSink* sink = nullptr;
    // The sink's answer for the element whose text came last.
    const xmlNode* askedFor = nullptr;
    bool taken = false;
    bool outOfMemory = false;
};

ParseOutcome& OutcomeOf(void* ctx)
{
    return *static_cast<ParseOutcome*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
}

// A reply has no use for a document type; refusing it here means the internal subset
// (and any entity it would declare) is never read.
void RefuseDoctype(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*)
{
    ParseOutcome& outcome = OutcomeOf(ctx);
    outcome.doctypeSeen = true;
    outcome.firstError = "document type declarations are not accepted";
    xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
}

bool SinkTakes(xmlParserCtxtPtr ctxt)
{
    ParseOutcome& outcome = OutcomeOf(ctxt);
    if (ctxt->node == nullptr)
        return false;
    if (ctxt->node != outcome.askedFor) {
        outcome.askedFor = ctxt->node;
        outcome.taken = outcome.sink->Takes(ctxt->node);
    }
    return outcome.taken;
}

void TakeOrKeepText(void* ctx, const xmlChar* text, int length)
{
    const auto ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    if (SinkTakes(ctxt))
        OutcomeOf(ctx).sink->Take(std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)));
    else
        xmlSAX2Characters(ctx, text, length);
}

void TakeOrKeepCData(void* ctx, const xmlChar* text, int length)
{
    const auto ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    if (SinkTakes(ctxt))
        OutcomeOf(ctx).sink->Take(std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)));
    else
        xmlSAX2CDataBlock(ctx, text, length);
}

#if LIBXML_VERSION >= 21200
using XmlErrorRef = const xmlError*;
#else
using XmlErrorRef = xmlErrorPtr;
#endif

void KeepFirstError(ParseOutcome& outcome, XmlErrorRef error)
{
    if (!outcome.firstError.empty() || error == nullptr || error->message == nullptr)
        return;
    std::string message = error->message;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    for (char& c : message)
        if (c == '\n' || c == '\r')
            c = ' ';
    // The message may quote the reply (a name of thousands of characters): it is cut to
    // a length a person reads, at the start of a UTF-8 character.
    if (message.size() > kMaxParseErrorLength) {
        std::size_t cut = kMaxParseErrorLength;
        while (cut > 0 && (static_cast<unsigned char>(message[cut]) & 0xc0u) == 0x80u)
            --cut;
        message.resize(cut);
        message += "...";
    }
    outcome.firstError = error->line > 0 ? "line " + std::to_string(error->line) + ": " + message : message;
}

// Errors the parser raises with its context.
void CollectError(void* ctx, XmlErrorRef error)
{
    KeepFirstError(OutcomeOf(ctx), error);
}

// Errors raised without a parser context (the encoding converters, the input layer).
void CollectLibraryError(void* outcome, XmlErrorRef error)
{
    KeepFirstError(*static_cast<ParseOutcome*>(outcome), error);
}

void IgnoreGenericError(void*, const char*, ...) {}

// For the length of one parse, everything libxml2 reports on this thread goes into the
// outcome instead of standard error; the previous handlers come back afterwards.
class ScopedErrorCapture {
public:
    explicit ScopedErrorCapture(ParseOutcome& outcome)
        : m_structured(xmlStructuredError)
        , m_structuredContext(xmlStructuredErrorContext)
        , m_generic(xmlGenericError)
        , m_genericContext(xmlGenericErrorContext)
    {
        xmlSetStructuredErrorFunc(&outcome, CollectLibraryError);
        xmlSetGenericErrorFunc(&outcome, IgnoreGenericError);
    }
    ~ScopedErrorCapture()
    {
        xmlSetStructuredErrorFunc(m_structuredContext, m_structured);
        xmlSetGenericErrorFunc(m_genericContext, m_generic);
    }
    ScopedErrorCapture(const ScopedErrorCapture&) = delete;
    ScopedErrorCapture& operator=(const ScopedErrorCapture&) = delete;

private:
    xmlStructuredErrorFunc m_structured;
    void* m_structuredContext;
    xmlGenericErrorFunc m_generic;
    void* m_genericContext;
};

struct ParserCtxtFree {
    void operator()(xmlParserCtxt* ctxt) const noexcept { xmlFreeParserCtxt(ctxt); }
};

void SetError(std::string* errorText, std::string text)
{
    if (errorText != nullptr)
        *errorText = std::move(text);
}

// How a text says it is encoded. UTF-8 under another spelling ("utf_8", "UTF-8.") is read
// by libxml2 through the system's converter in pieces, which can split a character where
// two pieces meet; such a text is read as the UTF-8 it is, its declaration naming UTF-8. Any other encoding (the first
// bytes of UTF-16 or UCS-4, or another name in the declaration) is converted as it is
// read, and only the whole-memory parse reports a failed conversion.
enum class TextEncoding { Utf8, Utf8Alias, Other };

// Where the declaration names the encoding, for a text whose name is respelt.
struct NamedAt {
    std::size_t at = 0;
    std::size_t length = 0;
};

TextEncoding EncodingOf(std::string_view text, NamedAt* named = nullptr)
{
    const std::string_view whole = text;
    const int head = static_cast<int>(std::min<std::size_t>(text.size(), 4));
    const xmlCharEncoding detected = xmlDetectCharEncoding(reinterpret_cast<const unsigned char*>(text.data()), head);
    if (detected != XML_CHAR_ENCODING_NONE && detected != XML_CHAR_ENCODING_UTF8)
        return TextEncoding::Other;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    if (!text.starts_with("<?xml"))
        return TextEncoding::Utf8;
    const std::string_view declaration = text.substr(0, text.find("?>"));
    const auto at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return TextEncoding::Utf8;
    const auto open = declaration.find_first_of("'\"", at);
    if (open == std::string_view::npos)
        return TextEncoding::Utf8;
    const auto close = declaration.find(declaration[open], open + 1);
    const std::string_view name = declaration.substr(open + 1, close == std::string_view::npos ? 0 : close - open - 1);
    std::string folded;
    std::string letters; // the name without punctuation
    for (char c : name) {
        c = FoldAscii(c);
        folded += c;
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            letters += c;
    }
    if (folded == "utf-8" || folded == "utf8" || folded == "us-ascii" || folded == "ascii")
        return TextEncoding::Utf8;
    if (letters != "utf8")
        return TextEncoding::Other;
    if (named != nullptr)
        *named = {static_cast<std::size_t>(name.data() - whole.data()), name.size()};
    return TextEncoding::Utf8Alias;
}

void HandOver(xmlParserCtxtPtr ctxt, ParseOutcome& outcome)
{
    ctxt->_private = &outcome;
    ctxt->sax->internalSubset = RefuseDoctype;
    ctxt->sax->serror = CollectError;
    if (outcome.sink != nullptr) {
        ctxt->sax->characters = TakeOrKeepText;
        ctxt->sax->ignorableWhitespace = TakeOrKeepText;
        ctxt->sax->cdataBlock = TakeOrKeepCData;
    }
}

// Fed to libxml2 in blocks: the parser keeps only what it has not consumed yet, so a large
// reply is never held twice.
XmlDocument ParseInBlocks(std::string_view text, const char* documentName, ParseOutcome& outcome)
{
    // The first bytes go in with the context so that it sees the encoding they show.
    const std::size_t head = std::min<std::size_t>(text.size(), 4);
    std::unique_ptr<xmlParserCtxt, ParserCtxtFree> ctxt(
        xmlCreatePushParserCtxt(nullptr, nullptr, text.data(), static_cast<int>(head), documentName));
    if (!ctxt) {
        outcome.outOfMemory = true;
        return {};
    }
    xmlCtxtUseOptions(ctxt.get(), kUntrustedParseOptions);
    HandOver(ctxt.get(), outcome);
    constexpr std::size_t kBlock = 65536;
    for (std::size_t at = head; at < text.size() && ctxt->instate != XML_PARSER_EOF;) {
        const std::size_t length = std::min(kBlock, text.size() - at);
        if (xmlParseChunk(ctxt.get(), text.data() + at, static_cast<int>(length), 0) != 0 && !ctxt->wellFormed)
            break;
        at += length;
    }
    xmlParseChunk(ctxt.get(), nullptr, 0, 1);
    XmlDocument doc(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    if (!ctxt->wellFormed)
        doc.reset();
    return doc;
}

// Read whole from memory: texts in another encoding, converted as libxml2 reads them.
XmlDocument ParseWhole(std::string_view text, const char* documentName, ParseOutcome& outcome)
{
    std::unique_ptr<xmlParserCtxt, ParserCtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        outcome.outOfMemory = true;
        return {};
    }
    // libxml2 takes the length of a text in memory as an int; a file reply may be longer.
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        outcome.firstError = "document too large";
        return {};
    }
    HandOver(ctxt.get(), outcome);
    const char* bytes = text.empty() ? "" : text.data();
    return XmlDocument(xmlCtxtReadMemory(ctxt.get(), bytes, static_cast<int>(text.size()), documentName, nullptr,
                                         kUntrustedParseOptions));
}

} // namespace

void InitXmlLibrary()
{
    xmlInitParser();
    xmlCheckVersion(kRequiredXmlVersion);
    InstallRefusingEntityLoader();
}

void CleanupXmlLibrary()
{
    xmlCleanupParser();
}

XmlDocument ReadUntrustedXml(std::string_view text, const char* documentName, std::string* errorText,
                             std::size_t maxBytes, XmlTextSink* sink)
{
    InstallRefusingEntityLoader();
    if (text.size() > maxBytes) {
        SetError(errorText, "document too large");
        return {};
    }
    if (HasAttributeHeavyElement(text)) {
        SetError(errorText, "an element holds more than " + std::to_string(kMaxXmlAttributesPerElement)
                                + " attributes");
        return {};
    }
    ParseOutcome outcome;
    outcome.sink = sink;
    const ScopedErrorCapture capture(outcome);
    NamedAt named;
    const TextEncoding encoding = EncodingOf(text, &named);
    XmlDocument doc;
    if (encoding == TextEncoding::Other) {
        doc = ParseWhole(text, documentName, outcome);
    } else if (encoding == TextEncoding::Utf8Alias) {
        std::string respelt;
        respelt.reserve(text.size());
        respelt.append(text.substr(0, named.at)).append("UTF-8").append(text.substr(named.at + named.length));
        doc = ParseInBlocks(respelt, documentName, outcome);
    } else {
        doc = ParseInBlocks(text, documentName, outcome);
    }
    if (outcome.outOfMemory) {
        SetError(errorText, "out of memory");
        return {};
    }
    if (outcome.doctypeSeen)
        doc.reset();
    if (!doc)
        SetError(errorText, outcome.firstError.empty() ? "not a well-formed document" : outcome.firstError);
    else
        SetError(errorText, {});
    return doc;
}

XmlDocument ReadUntrustedXmlFile(const std::string& path, std::string* errorText)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SetError(errorText, "cannot open " + path);
        return {};
    }
    std::string bytes;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        bytes.append(block, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > kMaxXmlInputBytes) {
            SetError(errorText, "document too large");
            return {};
        }
    }
    if (in.bad()) {
        SetError(errorText, "cannot read " + path);
        return {};
    }
    return ReadUntrustedXml(bytes, path.c_str(), errorText);
}

} // namespace tervane
