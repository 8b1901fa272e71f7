#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tervane::sim {

// One element of the device's settings, state or replies. A leaf holds its value in `text`;
// an element with children keeps no text of its own.
struct SimNode {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
    std::vector<SimNode> children;

    SimNode() = default;
    explicit SimNode(std::string elementName, std::string value = {});

    SimNode& Attr(std::string key, std::string value);
    SimNode& Add(SimNode child);

    // Empty when the attribute is absent.
    std::string Attribute(std::string_view key) const;
    bool HasAttribute(std::string_view key) const;
};

// ASCII letters compared without regard to case.
bool NamesEqual(std::string_view a, std::string_view b);

// A well-formed document's root element, or nothing. Text between child elements is dropped.
std::optional<SimNode> ParseXml(std::string_view text);

// One element per line, two blanks of indent per level, attribute values in double quotes.
std::string WriteXml(const SimNode& node, int depth = 0);

std::string EscapeXml(std::string_view text, bool inAttribute);

// The device's RCI error element: <error id="N"><desc>...</desc></error>.
SimNode ErrorNode(int id, std::string description);

} // namespace tervane::sim
