// Applying settings end to end: the fields go into the document, the document goes to the
// simulated device, and what the device kept comes back into the document.
#include "ApplySettings.h"
#include "BindingTable.h"
#include "DeviceRunner.h"
#include "RciDocuments.h"
#include "RciRequests.h"
#include "SafeXml.h"
#include "SerialLink.h"
#include "SetValues.h"
#include "SettingPath.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"

#include <gtest/gtest.h>

#include <libxml/tree.h>

namespace tervane {
namespace {

std::string TextAt(xmlNodePtr root, const std::string& path)
{
    xmlNodePtr node = ResolvePath(root, path);
    if (!node)
        return "<unresolved>";
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return text;
}

class ApplySettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitXmlLibrary();
        ASSERT_TRUE(test::StartAndOpen(device, link));
    }

    // Reads the settings the way the device query does.
    void ReadSettings()
    {
        CommandBatch batch;
        USBCommand query;
        query.command = std::string(kQuerySettingsRequest);
        query.timeout = 5000;
        batch.AddTail(query);
        runner.RunBatch(batch);
        documents.ParseSettings(batch.GetHead()->response);
        ASSERT_NE(documents.SettingsRoot(), nullptr);
    }

    void Store(const std::string& path, const std::string& value)
    {
        FieldStore fields;
        fields.SetText(1, value);
        StoreBindings({{path, 1, 0, {}, BIND_TEXT, nullptr, nullptr}}, fields, documents.SettingsRoot());
    }

    sim::SimulatedQ7 device;
    FastClock clock {200};
    SerialLink link {clock};
    DirectRunner runner {link};
    RciDocuments documents;
};

struct ValueCase {
    const char* name;
    std::string value;
};

class ApplyValues : public ApplySettingsTest, public ::testing::WithParamInterface<ValueCase> {};

// What the user typed reaches the device unchanged and reads back the same.
TEST_P(ApplyValues, ReachTheDeviceAsTypedAndComeBack)
{
    ReadSettings();
    Store("mobile_simple/password", GetParam().value);
    Store("mgmtconnection&index=3/ServerArray&index=1/serverAddress", "lka2.skellin.com");
    ASSERT_TRUE(OnApplySettings(documents, runner));
    EXPECT_EQ(device.Setting("mobile_simple/password").value_or("<missing>"), GetParam().value);
    EXPECT_EQ(device.Setting("mgmtconnection&index=3/ServerArray&index=1/serverAddress").value_or("<missing>"),
        "lka2.skellin.com");
    ASSERT_NE(documents.SettingsRoot(), nullptr);
    EXPECT_EQ(TextAt(documents.SettingsRoot(), "mobile_simple/password"), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Table, ApplyValues,
    ::testing::Values(ValueCase {"plain", "s3cret"}, ValueCase {"ampersand_and_less_than", "a&b<c>d"},
        ValueCase {"double_and_single_quotes", "say \"hi\" it's"}, ValueCase {"non_ascii", "caf\xc3\xa9"},
        ValueCase {"entity_lookalike", "&amp;&lt;"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(ApplySettingsTest, RefusedValueLeavesWhatTheDeviceKept)
{
    ReadSettings();
    const std::string kept = device.Setting("serial&index=1/baud").value_or("<missing>");
    Store("serial&index=1/baud", "12345");
    const ApplyOutcome outcome = OnApplySettings(documents, runner);
    ASSERT_TRUE(outcome.sent);
    EXPECT_EQ(outcome.refused, "Invalid value for baud: 12345");
    EXPECT_TRUE(outcome.refusedInReply);
    EXPECT_TRUE(outcome.readBack);
    EXPECT_EQ(device.Setting("serial&index=1/baud").value_or("<missing>"), kept);
    EXPECT_EQ(TextAt(documents.SettingsRoot(), "serial&index=1/baud"), kept);
}

TEST_F(ApplySettingsTest, FailedReadBackKeepsTheEditedDocument)
{
    ReadSettings();
    Store("mobile_simple/apn", "edited.apn");
    device.ChangeFaults([](sim::Faults& f) { f.errorFor = {"<query_setting></query_setting>"}; });
    const ApplyOutcome outcome = OnApplySettings(documents, runner);
    ASSERT_TRUE(outcome.sent);
    EXPECT_FALSE(outcome.refused);
    EXPECT_FALSE(outcome.readBack);
    EXPECT_EQ(TextAt(documents.SettingsRoot(), "mobile_simple/apn"), "edited.apn");
    EXPECT_EQ(device.Setting("mobile_simple/apn").value_or("<missing>"), "edited.apn");
}

// An ERROR to the request itself is a refusal without the device's words.
TEST_F(ApplySettingsTest, AnErrorAnswerIsARefusal)
{
    ReadSettings();
    Store("mobile_simple/apn", "edited.apn");
    device.ChangeFaults([](sim::Faults& f) { f.errorFor = {"set_setting"}; });
    const ApplyOutcome outcome = OnApplySettings(documents, runner);
    EXPECT_EQ(outcome.refused, "an error answer or none");
    EXPECT_FALSE(outcome.refusedInReply);
    EXPECT_TRUE(outcome.readBack);
    EXPECT_EQ(TextAt(documents.SettingsRoot(), "mobile_simple/apn"), "internet.tervane");
}

// Each path says what the device holds after the read-back, compared with the value as a
// document carries it; a refusal is given to the values the device did not keep only.
TEST_F(ApplySettingsTest, SetValuesSaysPerPathWhatTheDeviceHolds)
{
    ReadSettings();
    const SetValuesResult result = SetValues({{"serial&index=1/baud", "12345"}, {"MOBILE_SIMPLE/APN", "fleet.example"},
                                                 {"system/location",
                                                     "a\x01"
                                                     "b"}},
        SettingsDocumentKind::Settings, documents, runner);
    EXPECT_TRUE(result.sent);
    EXPECT_TRUE(result.readBack);
    EXPECT_EQ(result.refused, "Invalid value for baud: 12345");
    ASSERT_EQ(result.values.size(), 3u);
    EXPECT_EQ(result.values[0].path, "serial&index=1/baud");
    EXPECT_EQ(result.values[0].held, "9600");
    EXPECT_FALSE(result.values[0].kept);
    EXPECT_EQ(result.values[0].refused, "Invalid value for baud: 12345");
    EXPECT_EQ(result.values[1].held, "fleet.example");
    EXPECT_TRUE(result.values[1].kept);
    EXPECT_FALSE(result.values[1].refused);
    EXPECT_EQ(result.values[2].held, "ab");
    EXPECT_TRUE(result.values[2].kept) << "a control character a document cannot carry is not asked for";
    EXPECT_EQ(device.Setting("mobile_simple/apn"), "fleet.example");
}

TEST_F(ApplySettingsTest, SetValuesWithoutReadBackKnowsNothingHeld)
{
    ReadSettings();
    device.ChangeFaults([](sim::Faults& f) { f.errorFor = {"<query_setting></query_setting>"}; });
    const SetValuesResult result =
        SetValues({{"mobile_simple/apn", "fleet.example"}}, SettingsDocumentKind::Settings, documents, runner);
    EXPECT_TRUE(result.sent);
    EXPECT_FALSE(result.readBack);
    ASSERT_EQ(result.values.size(), 1u);
    EXPECT_FALSE(result.values[0].held);
    EXPECT_FALSE(result.values[0].kept);
}

TEST_F(ApplySettingsTest, NoDocumentSendsNothing)
{
    device.ClearReceivedCommands();
    EXPECT_FALSE(OnApplySettings(documents, runner));
    EXPECT_FALSE(OnApplyRadioSettings(documents, runner));
    EXPECT_TRUE(device.ReceivedCommands().empty());
    EXPECT_EQ(documents.SettingsDocument(), nullptr);
}

TEST_F(ApplySettingsTest, RadioSettingsRoundTrip)
{
    CommandBatch batch;
    USBCommand query;
    query.command = std::string(kQueryRadioSettingsRequest);
    query.timeout = 5000;
    batch.AddTail(query);
    runner.RunBatch(batch);
    documents.ParseRadioSettings(batch.GetHead()->response);
    ASSERT_NE(documents.RadioSettingsRoot(), nullptr);
    FieldStore fields;
    fields.SetText(1, "NODE-7");
    StoreBindings({{"radio/node_id", 1, 0, {}, BIND_TEXT, nullptr, nullptr}}, fields, documents.RadioSettingsRoot());
    ASSERT_TRUE(OnApplyRadioSettings(documents, runner));
    EXPECT_EQ(device.RadioSetting("radio/node_id").value_or("<missing>"), "NODE-7");
    EXPECT_EQ(TextAt(documents.RadioSettingsRoot(), "radio/node_id"), "NODE-7");
}

} // namespace
} // namespace tervane
