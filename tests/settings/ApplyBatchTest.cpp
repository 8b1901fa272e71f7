#include "ApplyBatch.h"
#include "RciRequests.h"
#include "XmlTestHelpers.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace tervane {
namespace {

constexpr const char* kSettingsReply = "<r><query_setting><edited/></query_setting></r>";
constexpr const char* kNewSettings = "<r><query_setting><fresh/></query_setting></r>";
constexpr const char* kRadioReply = "<r><do_command><query_setting><edited/></query_setting></do_command></r>";

bool SameRow(const USBCommand& a, const USBCommand& b)
{
    return a.command == b.command && a.prompt == b.prompt && a.timeout == b.timeout;
}

TEST(ApplyBatch, SettingsRows)
{
    RciDocuments documents;
    documents.ParseSettings(kSettingsReply);
    const std::vector<USBCommand> rows = ApplySettingsRows(documents.SettingsDocument());
    const std::vector<USBCommand> expected{
        CommandRow("at&usbinterface=22\r\n", "Sending new settings to the device...", 100),
        CommandRow("<rci_request><set_setting><edited/></set_setting></rci_request>", "Sending new settings to device...", 30000),
        CommandRow("SLEEP", "Waiting for new settings to take effect...", 20000),
        CommandRow("at&usbinterface=20,\"<rci_request version='1.1'><query_setting></query_setting></rci_request>\"\r\n",
         "Retrieving new settings from device...", 20000),
    };
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_TRUE(SameRow(rows[i], expected[i])) << "row " << i << ": " << rows[i].command;
    const int total = std::accumulate(rows.begin(), rows.end(), 0, [](int sum, const USBCommand& r) { return sum + r.timeout; });
    EXPECT_EQ(total / 100, 701);
}

TEST(ApplyBatch, RadioSettingsRows)
{
    RciDocuments documents;
    documents.ParseRadioSettings(kRadioReply);
    const std::vector<USBCommand> rows = ApplyRadioSettingsRows(documents.RadioSettingsDocument());
    const std::vector<USBCommand> expected{
        CommandRow("at&usbinterface=22\r\n", "Sending new Ravlo settings to the device...", 1000),
        CommandRow("<rci_request><do_command><set_setting><edited/></set_setting></do_command></rci_request>",
         "Sending new Ravlo settings to the device...", 35000),
        CommandRow("at&usbinterface=20,\"<rci_request version='1.1'><do_command target='zigbee'><query_setting/></do_command></rci_request>\"\r\n",
         "Retrieving Ravlo settings from the device...", 20000),
    };
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_TRUE(SameRow(rows[i], expected[i])) << "row " << i << ": " << rows[i].command;
}

TEST(ApplyBatch, NoDocumentNoRows)
{
    EXPECT_TRUE(ApplySettingsRows(nullptr).empty());
    EXPECT_TRUE(ApplyRadioSettingsRows(nullptr).empty());
}

enum class Routes { ApplySettings, ApplyRadio, FactoryDefault };

struct WalkCase {
    const char* name;
    Routes routes;
    std::vector<FinishedRow> rows;
    std::string settingsGroup;  // first group of the settings root afterwards; "" = none
    std::string stateGroup;
    std::string radioGroup;
    bool radioPageFlag = true;
};

std::ostream& operator<<(std::ostream& os, const WalkCase& c) { return os << c.name; }

std::span<const ResultRoute> RoutesOf(Routes routes)
{
    switch (routes) {
    case Routes::ApplySettings: return kApplySettingsRoutes;
    case Routes::ApplyRadio: return kApplyRadioSettingsRoutes;
    case Routes::FactoryDefault: return kFactoryDefaultRoutes;
    }
    return {};
}

class WalkResultsTest : public ::testing::TestWithParam<WalkCase> {};

TEST_P(WalkResultsTest, HandsAnswersToTheirParsers)
{
    const WalkCase& c = GetParam();
    RciDocuments documents;
    documents.ParseSettings(kSettingsReply);
    documents.ParseState("<r><query_state><edited/></query_state></r>");
    documents.ParseRadioSettings(kRadioReply);

    WalkResults(documents, c.rows, RoutesOf(c.routes));

    EXPECT_EQ(test::FirstElementName(documents.SettingsRoot()), c.settingsGroup);
    EXPECT_EQ(test::FirstElementName(documents.StateRoot()), c.stateGroup);
    EXPECT_EQ(test::FirstElementName(documents.RadioSettingsRoot()), c.radioGroup);
    EXPECT_EQ(documents.RadioPageFlag(), c.radioPageFlag);
}

const std::string kPayload = "<rci_request><set_setting><edited/></set_setting></rci_request>";

INSTANTIATE_TEST_SUITE_P(
    Batches, WalkResultsTest,
    ::testing::Values(
        WalkCase{"apply_read_back",
                 Routes::ApplySettings,
                 {{kRawRequestAnnounce, "", 0}, {kPayload, "", 0}, {"SLEEP", "", 0}, {kQuerySettingsRequest, kNewSettings, 0}},
                 "fresh", "edited", "edited"},
        WalkCase{"apply_rows_refused_still_read_back",
                 Routes::ApplySettings,
                 {{kRawRequestAnnounce, "", 1}, {kPayload, "", 1}, {"SLEEP", "", 0}, {kQuerySettingsRequest, kNewSettings, 0}},
                 "fresh", "edited", "edited"},
        WalkCase{"read_back_failed_keeps_edited", Routes::ApplySettings, {{kQuerySettingsRequest, kNewSettings, 1}},
                 "edited", "edited", "edited"},
        WalkCase{"read_back_timed_out_leaves_none", Routes::ApplySettings, {{kQuerySettingsRequest, "", 0}}, "", "edited",
                 "edited"},
        WalkCase{"bare_query_recognised", Routes::ApplySettings, {{kBareQuerySettingsRequest, kNewSettings, 0}}, "fresh",
                 "edited", "edited"},
        WalkCase{"empty_command_ends_walk", Routes::ApplySettings,
                 {{"", "", 0}, {kQuerySettingsRequest, kNewSettings, 0}}, "edited", "edited", "edited"},
        WalkCase{"failed_empty_command_skipped", Routes::ApplySettings,
                 {{"", "", 1}, {kQuerySettingsRequest, kNewSettings, 0}}, "fresh", "edited", "edited"},
        WalkCase{"state_query_ignored_by_apply", Routes::ApplySettings, {{kQueryStateRequest, "<r><query_state><x/></query_state></r>", 0}},
                 "edited", "edited", "edited"},
        WalkCase{"radio_read_back", Routes::ApplyRadio,
                 {{kQueryRadioSettingsRequest, "<r><do_command><query_setting><fresh/></query_setting></do_command></r>", 0}},
                 "edited", "edited", "fresh"},
        WalkCase{"radio_not_configured_keeps_edited", Routes::ApplyRadio,
                 {{kQueryRadioSettingsRequest, "<r><error>Currently not configured or supported</error></r>", 0}}, "edited",
                 "edited", "edited", false},
        WalkCase{"factory_defaults", Routes::FactoryDefault,
                 {{kFactoryDefaultRequest, "", 0}, {"at+CFUN=1\r\n", "", 0}, {kQuerySettingsRequest, kNewSettings, 0},
                  {kQueryStateRequest, "<r><query_state><fresh/></query_state></r>", 0}},
                 "fresh", "fresh", "edited"},
        WalkCase{"factory_settings_error_keeps_settings", Routes::FactoryDefault,
                 {{kQuerySettingsRequest, "", 1}, {kQueryStateRequest, "<r><query_state><fresh/></query_state></r>", 0}},
                 "edited", "fresh", "edited"},
        WalkCase{"factory_bare_query_not_recognised", Routes::FactoryDefault, {{kBareQuerySettingsRequest, kNewSettings, 0}},
                 "edited", "edited", "edited"}),
    test::CaseName());

// The batch's own records have the same three fields; the walk reads them directly.
TEST(WalkResults, ReadsAnyRecordWithCommandResponseAndFailed)
{
    struct Record {
        std::string command;
        std::string prompt;
        std::string response;
        int timeout = 0;
        int failed = 0;
    };
    const std::vector<Record> batch{{std::string(kQuerySettingsRequest), "p", kNewSettings, 20000, 0}};
    RciDocuments documents;
    WalkResults(documents, batch, kApplySettingsRoutes);
    EXPECT_EQ(test::FirstElementName(documents.SettingsRoot()), "fresh");
}

} // namespace
} // namespace tervane
