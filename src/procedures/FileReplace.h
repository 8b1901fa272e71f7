#pragma once

#include <string>
#include <string_view>

namespace tervane {

// Writes `bytes` as the whole content of the file at `path`: first into a new file in the
// same folder, which is flushed to the disk and then renamed over `path`. A write that
// fails therefore never leaves part of a file under that name, nor destroys the file that
// was there. An existing file's permissions are kept. False, with the reason, on failure.
bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string* reason = nullptr);

} // namespace tervane
