#include "ChoiceList.h"

#include "XmlText.h"

namespace tervane {

std::vector<std::string> SplitChoices(std::string_view choiceList)
{
    std::vector<std::string> entries;
    if (choiceList.empty())
        return entries;
    for (;;) {
        const std::size_t lf = choiceList.find('\n');
        entries.emplace_back(choiceList.substr(0, lf));
        if (lf == std::string_view::npos)
            return entries;
        choiceList.remove_prefix(lf + 1);
    }
}

int FindChoice(const std::vector<std::string>& entries, std::string_view text)
{
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (AsciiIStartsWith(entries[i], text))
            return static_cast<int>(i);
    return -1;
}

} // namespace tervane
