#pragma once

#include <string>
#include <string_view>

namespace tervane {

// Reduces a raw answer to its payload: removes <pyPrint> and <usb> spans, the final
// result code, the echo of the command and surrounding blanks, CRs and LFs.
// False only when the answer ends in the error result code. Linear in the answer's size.
// The same on the answer itself: `text` is cleaned where it lies, without a second buffer.
bool CleanResponse(std::string_view command, std::string& text);
// The same into `cleaned`, whose storage is reused.
bool CleanResponse(std::string_view command, std::string_view raw, std::string& cleaned);

} // namespace tervane
