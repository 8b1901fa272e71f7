#include "SettingTexts.h"

#include "SafeXml.h"
#include "SettingPath.h"
#include "XmlText.h"

#include <array>
#include <forward_list>
#include <unordered_set>

namespace tervane {

namespace {

bool HasElementChild(xmlNodePtr node)
{
    for (xmlNodePtr child = node->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            return true;
    }
    return false;
}

std::size_t CountElements(xmlNodePtr first)
{
    std::size_t count = 0;
    for (xmlNodePtr node = first; node; node = node->next)
        count += node->type == XML_ELEMENT_NODE ? 1 : 0;
    return count;
}

std::size_t CountLeaves(xmlNodePtr first)
{
    std::size_t count = 0;
    for (xmlNodePtr node = first; node; node = node->next) {
        if (node->type == XML_ELEMENT_NODE)
            count += HasElementChild(node) ? CountLeaves(node->children) : 1;
    }
    return count;
}

// A path step an element answers to: its name, or its name and index.
struct Step {
    std::string_view name;
    std::string_view index;
    bool hasIndex = false;
};

// Names and index values compare as a path step compares them: A to Z folded, other
// bytes as they are.
struct StepHash {
    std::size_t operator()(const Step& step) const
    {
        std::size_t hash = step.hasIndex ? 1 : 0;
        const auto add = [&hash](std::string_view text) {
            for (const char c : text)
                hash = (hash ^ static_cast<unsigned char>(FoldAscii(c))) * 1099511628211ull;
        };
        add(step.name);
        hash = (hash ^ 0xffu) * 1099511628211ull;
        add(step.index);
        return hash;
    }
};

struct StepEquals {
    bool operator()(const Step& a, const Step& b) const
    {
        return a.hasIndex == b.hasIndex && AsciiIEquals(a.name, b.name) && AsciiIEquals(a.index, b.index);
    }
};

// The steps one list of siblings has answered. A short list keeps them in place and
// searches them one by one; a long one keeps them in a hash set made large enough at
// the start. The texts are views of the tree's own strings, except an index value the
// tree keeps in pieces, whose joined copy is kept here.
class AnsweredSteps {
public:
    explicit AnsweredSteps(std::size_t elements)
        : m_short(elements <= kShortList)
    {
        if (!m_short)
            m_steps.reserve(2 * elements);
    }

    // True the first time the list meets `step`.
    bool Answer(const Step& step)
    {
        if (!m_short)
            return m_steps.insert(step).second;
        for (std::size_t i = 0; i < m_shortCount; ++i) {
            if (StepEquals{}(m_shortSteps[i], step))
                return false;
        }
        m_shortSteps[m_shortCount++] = step;
        return true;
    }

    std::string_view Keep(std::string text) { return m_joined.emplace_front(std::move(text)); }

private:
    static constexpr std::size_t kShortList = 16;
    bool m_short;
    // Each element answers at most two steps: its name, and its name and index.
    std::array<Step, 2 * kShortList> m_shortSteps;
    std::size_t m_shortCount = 0;
    std::unordered_set<Step, StepHash, StepEquals> m_steps;
    std::forward_list<std::string> m_joined;
};

// The element's `index` attribute as one text, or none without one; a joined value is
// kept with the list's steps.
std::optional<std::string_view> IndexValue(xmlNodePtr element, AnsweredSteps& answered)
{
    std::string joined;
    const auto text = IndexText(element, joined);
    // A view of the tree stays good for the walk; a joined value must outlive this call.
    if (!text || text->data() != joined.data())
        return text;
    return answered.Keep(std::move(joined));
}

// Walks the tree once. A path resolves without backtracking to the first element of each
// list that its step matches, so an element is reached by its own path exactly when every
// step on the way, its own included, is the first of its list to match: the first of its
// name (names compared A to Z folded) for a step without index, the first of its name and
// index for a step with one. Each list remembers the steps it has already answered.
// `path` holds the path of the list's parent and is restored before returning.
void Collect(xmlNodePtr first, std::string& path, std::vector<std::pair<std::string, std::string>>& out)
{
    AnsweredSteps answered(CountElements(first));
    const std::size_t parentLength = path.size();
    for (xmlNodePtr node = first; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        const std::string_view name = XmlView(node->name);
        const auto index = IndexValue(node, answered);
        bool reached = answered.Answer(Step{name, {}, false});
        if (index) {
            reached = answered.Answer(Step{name, *index, true})
                // A "/" in the value would split the step; an indexed element without
                // children answers no path.
                && index->find('/') == std::string_view::npos && node->children != nullptr;
        }
        if (!reached)
            continue;
        if (parentLength > 0)
            path += '/';
        path += name;
        if (index) {
            path += "&index=";
            path += *index;
        }
        if (path.size() <= kMaxSettingPathLength) {
            if (HasElementChild(node))
                Collect(node->children, path, out);
            else
                out.emplace_back(path, ElementText(node));
        }
        path.resize(parentLength);
    }
}

} // namespace

std::vector<std::pair<std::string, std::string>> ListSettings(xmlNodePtr root)
{
    std::vector<std::pair<std::string, std::string>> out;
    // Room for every element without element children: no path is listed more than once.
    out.reserve(CountLeaves(root));
    std::string path;
    Collect(root, path, out);
    return out;
}

} // namespace tervane
