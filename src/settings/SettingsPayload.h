#pragma once

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <string_view>

namespace tervane {

// The text sent after "at&usbinterface=22\r\n" to write a whole document back: the
// serialised document without the standard XML declaration and without its final line
// end, every double quote after the first 22 characters turned into a single quote.
// A document whose own encoding puts NUL bytes on the line (UTF-16, UTF-32) is sent in
// UTF-8. None when there is no document or it does not serialise.
std::optional<std::string> PrepareSettingsPayload(const xmlDoc* document);

// The textual steps alone, applied to what xmlDocDumpMemory gave.
std::string PayloadFromDump(std::string_view dump);

} // namespace tervane
