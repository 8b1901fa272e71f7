#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tervane {

struct XmlDocFree {
    void operator()(xmlDoc* doc) const noexcept;
};
// A parsed document that frees itself.
using XmlDocument = std::unique_ptr<xmlDoc, XmlDocFree>;

struct XmlStringFree {
    void operator()(xmlChar* text) const noexcept;
};
// A text handed out by libxml2 (xmlGetProp, xmlNodeGetContent, xmlDocDumpMemory).
using XmlString = std::unique_ptr<xmlChar, XmlStringFree>;

// Replies and restore files above this size are refused before parsing. A device reply
// fits the batch's receive buffer; a backup of the whole configuration is far smaller.
inline constexpr std::size_t kMaxXmlInputBytes = 16u * 1024u * 1024u;

// A reason a parse gives is at most this long (plus "..."), whatever the text quoted in it.
inline constexpr std::size_t kMaxParseErrorLength = 200;

// Start-up: xmlInitParser, the version check against 2.7.2 and the refusing entity
// loader. Safe to call more than once.
void InitXmlLibrary();
// Shutdown: xmlCleanupParser. Every document must have been freed before.
void CleanupXmlLibrary();

// Takes the character data of chosen elements while a document is parsed, instead of the
// document keeping it: a large text (a file in Base64) never becomes a node of the tree.
class XmlTextSink {
public:
    virtual ~XmlTextSink() = default;
    // Whether text directly inside `element` is taken; asked once per element that has
    // text, when its first piece arrives (its ancestors and earlier siblings are in the tree).
    virtual bool Takes(const xmlNode* element) = 0;
    // The next piece of a taken text, in document order.
    virtual void Take(std::string_view text) = 0;
};

// Parses text that came from outside (a device reply, a restore file): no network, no
// entity substitution, no DTD loading, no XInclude, libxml2's size and depth limits on.
// A document carrying a DOCTYPE is refused outright, so no entity is ever declared.
// The text is fed to the parser in blocks, so the parser never holds a copy of the whole.
// Nothing is printed; on failure the result is none and `errorText`, when given,
// receives a one-line reason. A text longer than `maxBytes` is refused unread.
XmlDocument ReadUntrustedXml(std::string_view text, const char* documentName,
                             std::string* errorText = nullptr, std::size_t maxBytes = kMaxXmlInputBytes,
                             XmlTextSink* sink = nullptr);

// The same parse for a file on disk (a configuration file to restore). The file is read
// as plain bytes: no decompression, no URL fetching.
XmlDocument ReadUntrustedXmlFile(const std::string& path, std::string* errorText = nullptr);

} // namespace tervane
