#include "ApplyBatch.h"

#include "SettingsPayload.h"

#include <utility>

namespace tervane {

std::vector<USBCommand> ApplySettingsRows(const xmlDoc* settingsDocument)
{
    std::optional<std::string> payload = PrepareSettingsPayload(settingsDocument);
    if (!payload)
        return {};
    // The two prompts differ ("the device" / "device"); both are shown as written.
    return {
        CommandRow(std::string(kRawRequestAnnounce), "Sending new settings to the device...", 100),
        CommandRow(std::move(*payload), "Sending new settings to device...", 30000),
        CommandRow("SLEEP", "Waiting for new settings to take effect...", 20000),
        CommandRow(std::string(kQuerySettingsRequest), "Retrieving new settings from device...", 20000),
    };
}

std::vector<USBCommand> ApplyRadioSettingsRows(const xmlDoc* radioSettingsDocument)
{
    std::optional<std::string> payload = PrepareSettingsPayload(radioSettingsDocument);
    if (!payload)
        return {};
    return {
        CommandRow(std::string(kRawRequestAnnounce), "Sending new Ravlo settings to the device...", 1000),
        CommandRow(std::move(*payload), "Sending new Ravlo settings to the device...", 35000),
        CommandRow(std::string(kQueryRadioSettingsRequest), "Retrieving Ravlo settings from the device...", 20000),
    };
}

bool RouteResult(RciDocuments& documents, std::string_view command, std::string_view response,
                 std::span<const ResultRoute> routes)
{
    for (const ResultRoute& route : routes) {
        if (command.find(route.request) == std::string_view::npos)
            continue;
        switch (route.reply) {
        case RciReply::Settings: documents.ParseSettings(response); break;
        case RciReply::State: documents.ParseState(response); break;
        case RciReply::RadioSettings: documents.ParseRadioSettings(response); break;
        }
        return true;
    }
    return false;
}

} // namespace tervane
