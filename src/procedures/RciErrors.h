#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tervane {

struct USBCommand;

// The device answers an RCI request it will not carry out with OK all the same, and says
// so inside its reply: an `error` element with a `desc`. The description of the first such
// element of the reply ("error" when it has none); none when the reply holds no error or
// is no XML at all.
std::optional<std::string> RciErrorText(std::string_view response);

// Why a finished row counts as refused: failed (an error answer or none), or an RCI error
// in its reply. None when it went through.
std::optional<std::string> RowRefusal(const USBCommand& row);

} // namespace tervane
