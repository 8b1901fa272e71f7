#include "SetValues.h"

#include "ApplySettings.h"
#include "RciDocuments.h"
#include "SettingPath.h"
#include "XmlText.h"

namespace tervane {

namespace {

xmlNodePtr RootOf(const RciDocuments& documents, SettingsDocumentKind kind)
{
    return kind == SettingsDocumentKind::RadioSettings ? documents.RadioSettingsRoot() : documents.SettingsRoot();
}

} // namespace

SetValuesResult SetValues(const std::vector<PathValue>& values, SettingsDocumentKind kind, RciDocuments& documents,
    DeviceRunner& runner)
{
    SetValuesResult result;
    result.values.reserve(values.size());
    for (const PathValue& value : values) {
        result.values.push_back({value.path, std::nullopt, false, std::nullopt});
        if (const xmlNodePtr element = ResolvePath(RootOf(documents, kind), value.path))
            SetElementText(element, ToXmlCharData(value.value));
    }

    const ApplyOutcome outcome = kind == SettingsDocumentKind::RadioSettings ? OnApplyRadioSettings(documents, runner)
                                                                             : OnApplySettings(documents, runner);
    result.sent = outcome.sent;
    result.readBack = outcome.readBack;
    result.refused = outcome.refused;
    if (!outcome.readBack)
        return result;

    const xmlNodePtr root = RootOf(documents, kind);
    for (std::size_t i = 0; i < values.size(); ++i) {
        PathValueOutcome& row = result.values[i];
        row.held = SettingText(root, values[i].path);
        row.kept = row.held && *row.held == ToXmlCharData(values[i].value);
        if (!row.kept)
            row.refused = outcome.refused;
    }
    return result;
}

} // namespace tervane
