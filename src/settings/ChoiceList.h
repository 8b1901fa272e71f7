#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tervane {

// The entries of a drop-down list written as one text, separated by line feeds.
std::vector<std::string> SplitChoices(std::string_view choiceList);

// The entry a list shows for a field's text: the first whose text begins with it, A to Z
// case-folded (so an empty text picks the first entry); -1 when none does, and the list
// then keeps its selection.
int FindChoice(const std::vector<std::string>& entries, std::string_view text);

} // namespace tervane
