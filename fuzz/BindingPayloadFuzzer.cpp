// Any text a page holds survives the round trip: stored into every leaf setting of a
// settings reply, serialised into the settings payload, parsed again and loaded back, it
// reads as the character data it was turned into.
#include "BindingTable.h"
#include "FuzzInput.h"
#include "RciDocuments.h"
#include "SafeXml.h"
#include "SettingPath.h"
#include "SettingsPayload.h"
#include "XmlText.h"

#include <string>

namespace {

// The path of a leaf under a group, with the group's index when it has one.
std::string PathOf(xmlNodePtr group, xmlNodePtr leaf)
{
    std::string path = reinterpret_cast<const char*>(group->name);
    const tervane::XmlString index(xmlGetProp(group, reinterpret_cast<const xmlChar*>("index")));
    if (index)
        path += "&index=" + std::string(reinterpret_cast<const char*>(index.get()));
    return path + "/" + reinterpret_cast<const char*>(leaf->name);
}

tervane::BindingTable LeafBindings(xmlNodePtr root)
{
    tervane::BindingTable table;
    for (xmlNodePtr group = root; group != nullptr && table.size() < 64; group = group->next) {
        if (group->type != XML_ELEMENT_NODE)
            continue;
        for (xmlNodePtr leaf = group->children; leaf != nullptr && table.size() < 64; leaf = leaf->next) {
            if (leaf->type != XML_ELEMENT_NODE)
                continue;
            tervane::BindingRecord record;
            record.path = PathOf(group, leaf);
            if (record.path.size() > tervane::kMaxSettingPathLength || tervane::ResolvePath(root, record.path) != leaf)
                continue; // an earlier element of the same name answers this path
            record.target = static_cast<tervane::FieldId>(table.size() + 1);
            record.kindFlags = tervane::BIND_TEXT;
            record.storeConverter = &tervane::ToXmlCharData;
            table.push_back(record);
        }
    }
    return table;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    tervane::InitXmlLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto [value, reply] = tervane::fuzz::SplitAtZero(tervane::fuzz::AsText(data, size));
    tervane::RciDocuments documents;
    documents.ParseSettings(reply);
    if (documents.SettingsRoot() == nullptr)
        return 0;
    const tervane::BindingTable table = LeafBindings(documents.SettingsRoot());
    tervane::FieldStore fields;
    for (const auto& record : table)
        fields.SetText(record.target, std::string(value));
    tervane::StoreBindings(table, fields, documents.SettingsRoot());

    const auto payload = tervane::PrepareSettingsPayload(documents.SettingsDocument());
    if (!payload)
        return 0;
    // The payload is the set_setting request the device receives; read its settings back.
    std::string error;
    const tervane::XmlDocument sent = tervane::ReadUntrustedXml(*payload, "payload.xml", &error);
    FUZZ_CHECK(sent != nullptr);
    const xmlNodePtr command = tervane::FindChild(xmlDocGetRootElement(sent.get()), XML_ELEMENT_NODE, "set_setting");
    FUZZ_CHECK(command != nullptr);

    tervane::FieldStore loaded;
    tervane::LoadBindings([](int32_t) {}, table, loaded, command->children);
    const std::string expected = tervane::ToXmlCharData(value);
    for (const auto& record : table)
        FUZZ_CHECK(loaded.Text(record.target) == expected);
    return 0;
}
