#include "SimSettings.h"

#include "SimValueRules.h"

#include <algorithm>

namespace tervane::sim {

namespace {

struct Step {
    std::string name;
    std::optional<std::string> index;
};

std::vector<Step> SplitPath(std::string_view path)
{
    std::vector<Step> steps;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto end = path.find('/', start);
        std::string_view text = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        Step step;
        const auto amp = text.find("&index=");
        if (amp == std::string_view::npos) {
            step.name = std::string(text);
        } else {
            step.name = std::string(text.substr(0, amp));
            step.index = std::string(text.substr(amp + 7));
        }
        steps.push_back(std::move(step));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return steps;
}

bool Matches(const SimNode& node, const std::string& name, const std::optional<std::string>& index)
{
    return NamesEqual(node.name, name) && (!index || (node.HasAttribute("index") && node.Attribute("index") == *index));
}

// The element an incoming request element refers to: same name and, when it carries one, same index.
SimNode* FindCounterpart(std::vector<SimNode>& list, const SimNode& incoming)
{
    std::optional<std::string> index;
    if (incoming.HasAttribute("index"))
        index = incoming.Attribute("index");
    for (SimNode& node : list) {
        if (Matches(node, incoming.name, index))
            return &node;
    }
    return nullptr;
}

const SimNode* Find(const std::vector<SimNode>& groups, std::string_view path)
{
    const std::vector<SimNode>* list = &groups;
    const SimNode* found = nullptr;
    for (const Step& step : SplitPath(path)) {
        if (!list)
            return nullptr;
        const auto it = std::find_if(list->begin(), list->end(),
                                     [&](const SimNode& node) { return Matches(node, step.name, step.index); });
        if (it == list->end())
            return nullptr;
        found = &*it;
        list = &found->children;
    }
    return found;
}

bool Remove(std::vector<SimNode>& groups, std::string_view path)
{
    std::vector<Step> steps = SplitPath(path);
    std::vector<SimNode>* list = &groups;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const auto it = std::find_if(list->begin(), list->end(),
                                     [&](const SimNode& node) { return Matches(node, steps[i].name, steps[i].index); });
        if (it == list->end())
            return false;
        if (i + 1 == steps.size()) {
            // Without an index the path means every group of that name.
            list->erase(std::remove_if(list->begin(), list->end(),
                                       [&](const SimNode& node) { return Matches(node, steps[i].name, steps[i].index); }),
                        list->end());
            return true;
        }
        list = &it->children;
    }
    return false;
}

bool IsBlank(const std::string& text)
{
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Writes the incoming values into `stored`; errors go into `answer`. Returns whether all were taken.
bool Merge(SimNode& stored, const SimNode& incoming, const std::string& groupName, SimNode& answer,
    const std::vector<std::string>& refused)
{
    bool ok = true;
    for (const SimNode& child : incoming.children) {
        SimNode* target = FindCounterpart(stored.children, child);
        if (!target) {
            answer.Add(ErrorNode(2, "Unknown setting: " + child.name));
            ok = false;
            continue;
        }
        if (!target->children.empty()) {
            if (!child.children.empty())
                ok = Merge(*target, child, groupName, answer, refused) && ok;
            else if (!IsBlank(child.text)) {
                answer.Add(ErrorNode(3, "Not a single setting: " + child.name));
                ok = false;
            }
            continue;
        }
        if (!child.children.empty()) {
            answer.Add(ErrorNode(3, "Not a setting group: " + child.name));
            ok = false;
            continue;
        }
        const bool refusedName = std::any_of(refused.begin(), refused.end(),
            [&child](const std::string& name) { return NamesEqual(name, child.name); });
        const auto value =
            refusedName ? std::optional<std::string>() : NormalizeSettingValue(groupName, child.name, child.text);
        if (!value) {
            answer.Add(ErrorNode(4, "Invalid value for " + child.name + ": " + child.text));
            ok = false;
            continue;
        }
        target->text = *value;
    }
    return ok;
}

SimNode ReplyShell(const SimNode& group)
{
    SimNode shell(group.name);
    if (group.HasAttribute("index"))
        shell.Attr("index", group.Attribute("index"));
    return shell;
}

} // namespace

SimSettings::SimSettings(std::vector<SimNode> factory, const std::set<std::string>& omitted)
    : m_factory(std::move(factory))
{
    for (const std::string& path : omitted)
        Remove(m_factory, path);
    m_groups = m_factory;
}

SimNode SimSettings::Query(const SimNode& request) const
{
    SimNode reply("query_setting");
    if (request.children.empty()) {
        reply.children = m_groups;
        return reply;
    }
    for (const SimNode& wanted : request.children) {
        bool any = false;
        for (const SimNode& group : m_groups) {
            if (NamesEqual(group.name, wanted.name)
                && (!wanted.HasAttribute("index") || group.Attribute("index") == wanted.Attribute("index"))) {
                reply.Add(group);
                any = true;
            }
        }
        if (!any)
            reply.Add(ReplyShell(wanted).Add(ErrorNode(1, "Unknown setting group")));
    }
    return reply;
}

SimNode SimSettings::Apply(const SimNode& request, const std::vector<std::string>& refused)
{
    SimNode reply("set_setting");
    for (const SimNode& incoming : request.children) {
        SimNode answer = ReplyShell(incoming);
        SimNode* stored = FindCounterpart(m_groups, incoming);
        if (!stored) {
            answer.Add(ErrorNode(1, "Unknown setting group"));
        } else {
            SimNode changed = *stored;
            if (Merge(changed, incoming, stored->name, answer, refused))
                *stored = std::move(changed);
        }
        reply.Add(std::move(answer));
    }
    return reply;
}

void SimSettings::RestoreFactory()
{
    m_groups = m_factory;
}

std::optional<std::string> SimSettings::Value(std::string_view path) const
{
    const SimNode* node = Find(m_groups, path);
    if (!node || !node->children.empty())
        return std::nullopt;
    return node->text;
}

bool SimSettings::SetValue(std::string_view path, std::string value)
{
    SimNode* node = const_cast<SimNode*>(Find(m_groups, path));
    if (!node || !node->children.empty())
        return false;
    node->text = std::move(value);
    return true;
}

} // namespace tervane::sim
