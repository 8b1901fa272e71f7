// Applying settings end to end: the fields go into the document, the document goes to the
// simulated device, and what the device kept comes back into the document.
#include "ApplySettings.h"
#include "BindingTable.h"
#include "DeviceRunner.h"
#include "RciDocuments.h"
#include "RciRequests.h"
#include "SafeXml.h"
#include "SerialLink.h"
#include "SettingPath.h"
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
        ASSERT_TRUE(device.Start());
        link.SetPortName(device.PortPath());
        ASSERT_TRUE(link.OpenPort());
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
    ASSERT_TRUE(OnApplySettings(documents, runner));
    EXPECT_EQ(device.Setting("serial&index=1/baud").value_or("<missing>"), kept);
    EXPECT_EQ(TextAt(documents.SettingsRoot(), "serial&index=1/baud"), kept);
}

TEST_F(ApplySettingsTest, FailedReadBackKeepsTheEditedDocument)
{
    ReadSettings();
    Store("mobile_simple/apn", "edited.apn");
    device.ChangeFaults([](sim::Faults& f) { f.errorFor = {"<query_setting></query_setting>"}; });
    ASSERT_TRUE(OnApplySettings(documents, runner));
    EXPECT_EQ(TextAt(documents.SettingsRoot(), "mobile_simple/apn"), "edited.apn");
    EXPECT_EQ(device.Setting("mobile_simple/apn").value_or("<missing>"), "edited.apn");
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
