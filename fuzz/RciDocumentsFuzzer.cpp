// The three parse operations on one reply, then a setting path resolved from each root and
// the file-list walk over the same reply.
#include "FuzzInput.h"
#include "RciDocuments.h"
#include "SettingPath.h"

#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    tervane::InitXmlLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto [path, reply] = tervane::fuzz::SplitAtZero(tervane::fuzz::AsText(data, size));
    tervane::RciDocuments documents;
    documents.ParseSettings(reply);
    documents.ParseState(reply);
    documents.ParseRadioSettings(reply);
    FUZZ_CHECK((documents.SettingsDocument() == nullptr) == !documents.SettingsParseError().empty());
    for (xmlNodePtr root : {documents.SettingsRoot(), documents.StateRoot(), documents.RadioSettingsRoot()}) {
        const xmlNodePtr found = tervane::ResolvePath(root, path);
        FUZZ_CHECK(found == nullptr || found->type == XML_ELEMENT_NODE);
        FUZZ_CHECK(path.size() <= tervane::kMaxSettingPathLength || found == nullptr);
        for (xmlNodePtr node = root; node != nullptr;)
            node = tervane::FindNextSibling(node, XML_ELEMENT_NODE, "file");
    }
    documents.FreeAll();
    return 0;
}
