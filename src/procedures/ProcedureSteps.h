#pragma once

#include "USBCommand.h"
#include "UploadSource.h"

#include <libxml/tree.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tervane {

class CommandBatch;

// Small steps the maintenance procedures share.

// Empties the batch and appends one row.
void ResetBatch(CommandBatch& batch, USBCommand row);

// Whether the local file can be opened for reading: an existing regular file. A FIFO or a
// device node is refused rather than waited on.
bool CanOpenForReading(const std::string& path);

// Why an upload source is refused before anything is sent; empty when it is not.
std::string_view DestinationRefusal(DestinationCheck check);

// The name as a message can show it: control characters and DEL become "?", C1 controls
// too (U+0080 to U+009F in UTF-8, and a byte 0x80 to 0x9F that is not part of valid UTF-8).
std::string ShownName(std::string_view name);

// The length of the valid UTF-8 sequence starting at `i`, or 0 when the byte there does not
// begin one (overlong forms, surrogates and code points above U+10FFFF are not valid); the
// code point in `codePoint`.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i, uint32_t& codePoint);

// The C1 control characters, U+0080 to U+009F: 0x9B is the one-byte CSI of a terminal.
constexpr bool IsC1Control(uint32_t codePoint)
{
    return codePoint >= 0x80 && codePoint <= 0x9f;
}

} // namespace tervane
