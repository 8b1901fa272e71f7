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

// Start-up: xmlInitParser, the version check against 2.7.2 and the refusing entity
// loader. Safe to call more than once.
void InitXmlLibrary();
// Shutdown: xmlCleanupParser. Every document must have been freed before.
void CleanupXmlLibrary();

// Parses text that came from outside (a device reply, a restore file): no network, no
// entity substitution, no DTD loading, no XInclude, libxml2's size and depth limits on.
// A document carrying a DOCTYPE is refused outright, so no entity is ever declared.
// Nothing is printed; on failure the result is none and `errorText`, when given,
// receives a one-line reason.
XmlDocument ReadUntrustedXml(std::string_view text, const char* documentName,
                             std::string* errorText = nullptr);

// The same parse for a file on disk (a configuration file to restore). The file is read
// as plain bytes: no decompression, no URL fetching.
XmlDocument ReadUntrustedXmlFile(const std::string& path, std::string* errorText = nullptr);

} // namespace tervane
