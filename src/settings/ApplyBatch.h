#pragma once

#include "RciDocuments.h"
#include "RciRequests.h"
#include "USBCommand.h"

#include <libxml/tree.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tervane {

// One finished row as the results walk reads it.
struct FinishedRow {
    std::string_view command;
    std::string_view response;
    int failed = 0;
};

// The batch that sends the settings document and reads it back; empty (nothing to send)
// when there is no document.
std::vector<USBCommand> ApplySettingsRows(const xmlDoc* settingsDocument);
// The same for the radio settings document; there is no settle wait before its read-back.
std::vector<USBCommand> ApplyRadioSettingsRows(const xmlDoc* radioSettingsDocument);

// Which parse operation a query's answer goes to.
enum class RciReply { Settings, State, RadioSettings };

// A request text the walk looks for (case-sensitive substring of a row's command) and the
// parse operation its answer goes to. The first route that matches wins.
struct ResultRoute {
    std::string_view request;
    RciReply reply;
};

// After an apply of the settings, and after a restore from a file.
inline constexpr std::array kApplySettingsRoutes{
    ResultRoute{kQuerySettingsRequest, RciReply::Settings},
    ResultRoute{kBareQuerySettingsRequest, RciReply::Settings},
};
inline constexpr std::array kApplyRadioSettingsRoutes{
    ResultRoute{kQueryRadioSettingsRequest, RciReply::RadioSettings},
};
// After a factory reset: the bare settings query is not recognised there.
inline constexpr std::array kFactoryDefaultRoutes{
    ResultRoute{kQuerySettingsRequest, RciReply::Settings},
    ResultRoute{kQueryStateRequest, RciReply::State},
};

// Hands one row's answer to the first matching route's parse operation; false when no
// route matches.
bool RouteResult(RciDocuments& documents, std::string_view command, std::string_view response,
                 std::span<const ResultRoute> routes);

// The results walk over any finished rows with `command`, `response` and `failed`
// (FinishedRow, or the batch's own records): failed rows are skipped, an empty command
// ends the walk, every other row goes through RouteResult.
template <typename Rows>
void WalkResults(RciDocuments& documents, const Rows& rows, std::span<const ResultRoute> routes)
{
    for (const auto& row : rows) {
        if (row.failed)
            continue;
        const std::string_view command = row.command;
        if (command.empty())
            break;
        RouteResult(documents, command, row.response, routes);
    }
}

} // namespace tervane
