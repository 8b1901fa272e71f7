#pragma once

#include "USBCommand.h"
#include "UploadSource.h"

#include <libxml/tree.h>

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

// The name as a message can show it: control characters and DEL become "?".
std::string ShownName(std::string_view name);

} // namespace tervane
