#include "SafeXml.h"

#include "XmlPrescan.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

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

XmlDocument ReadUntrustedXml(std::string_view text, const char* documentName, std::string* errorText)
{
    InstallRefusingEntityLoader();
    if (text.size() > kMaxXmlInputBytes || text.size() > static_cast<std::size_t>(INT_MAX)) {
        SetError(errorText, "document too large");
        return {};
    }
    if (HasAttributeHeavyElement(text)) {
        SetError(errorText, "an element holds more than " + std::to_string(kMaxXmlAttributesPerElement)
                                + " attributes");
        return {};
    }
    ParseOutcome outcome;
    const ScopedErrorCapture capture(outcome);
    std::unique_ptr<xmlParserCtxt, ParserCtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        SetError(errorText, "out of memory");
        return {};
    }
    ctxt->_private = &outcome;
    ctxt->sax->internalSubset = RefuseDoctype;
    ctxt->sax->serror = CollectError;

    const char* bytes = text.empty() ? "" : text.data();
    XmlDocument doc(xmlCtxtReadMemory(ctxt.get(), bytes, static_cast<int>(text.size()), documentName,
                                      nullptr, kUntrustedParseOptions));
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
