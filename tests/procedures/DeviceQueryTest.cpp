#include "DeviceQuery.h"

#include "DeviceRunner.h"
#include "RciDocuments.h"
#include "RciRequests.h"
#include "SafeXml.h"
#include "SerialLink.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"

#include <gtest/gtest.h>

#include <libxml/tree.h>

#include <functional>
#include <memory>
#include <string>

namespace tervane {
namespace {

// ---- The answers of the modem commands ---------------------------------------------------

struct TextCase {
    const char* name;
    const char* response;
    const char* expected;
};

class PhoneNumberTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(PhoneNumberTest, TakesTheNumberOfTheFirstLine)
{
    EXPECT_EQ(PhoneNumberFromCnum(GetParam().response), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cnum, PhoneNumberTest,
    ::testing::Values(TextCase{"NameNumberType", "+CNUM: \"Voice\",\"0123456789\",129", "0123456789"},
        TextCase{"SeveralLines", "+CNUM: \"Line 1\",\"+15551230077\",145\r\n+CNUM: \"Line 2\",\"0987\",129",
            "+15551230077"},
        TextCase{"NameAndNumberOnly", "+CNUM: \"Voice\",\"0123\"", "0123"},
        TextCase{"NoCommaKeepsTheRest", "+CNUM: \"0123\"", " 0123"},
        TextCase{"EmptyNameField", "+CNUM: ,\"555\",129", "555"},
        TextCase{"Empty", "", ""}),
    [](const auto& row) { return std::string(row.param.name); });

class ImsiTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(ImsiTest, DropsLineEnds)
{
    EXPECT_EQ(ImsiFromCimi(GetParam().response), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cimi, ImsiTest,
    ::testing::Values(TextCase{"OneLine", "310260123456789", "310260123456789"},
        TextCase{"TwoLines", "3102601234\r\n56789", "310260123456789"},
        TextCase{"StrayLineFeeds", "\n31026\r0123\n", "310260123"}),
    [](const auto& row) { return std::string(row.param.name); });

struct SignalCase {
    const char* name;
    const char* response;
    int32_t expected;
};

class SignalQualityTest : public ::testing::TestWithParam<SignalCase> {};

TEST_P(SignalQualityTest, ReadsTheNumberBeforeTheComma)
{
    EXPECT_EQ(SignalQualityFromCsq(GetParam().response), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Csq, SignalQualityTest,
    ::testing::Values(SignalCase{"WithBitErrorRate", "+CSQ: 17,99", 17}, SignalCase{"Unknown", "+CSQ: 99,99", 99},
        SignalCase{"NoComma", "+CSQ: 23", 23}, SignalCase{"NoNumber", "+CSQ: ,99", 0},
        SignalCase{"Empty", "", 0}, SignalCase{"Words", "ERROR", 0},
        SignalCase{"WithoutBlankAfterColon", "+CSQ:12,0", 0}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- The lamps ---------------------------------------------------------------------------

struct LampCase {
    const char* name;
    int32_t quality;
    const char* product;
    int shown;
    int lit;
};

class SignalLampsTest : public ::testing::TestWithParam<LampCase> {};

TEST_P(SignalLampsTest, CountsTheThresholdsBelowTheLevel)
{
    const SignalLamps lamps = SignalLampsFor(GetParam().quality, GetParam().product);
    EXPECT_EQ(lamps.shown, GetParam().shown);
    EXPECT_EQ(lamps.lit, GetParam().lit);
}

INSTANTIATE_TEST_SUITE_P(Lamps, SignalLampsTest,
    ::testing::Values(LampCase{"Five_0", 0, "Skellin Q7", 5, 0}, LampCase{"Five_2", 2, "Skellin Q7", 5, 0},
        LampCase{"Five_3", 3, "Skellin Q7", 5, 1}, LampCase{"Five_5", 5, "Skellin Q7", 5, 1},
        LampCase{"Five_6", 6, "Skellin Q7", 5, 2}, LampCase{"Five_10", 10, "Skellin Q7", 5, 2},
        LampCase{"Five_11", 11, "Skellin Q7", 5, 3}, LampCase{"Five_13", 13, "Skellin Q7", 5, 3},
        LampCase{"Five_14", 14, "Skellin Q7", 5, 4}, LampCase{"Five_17", 17, "Skellin Q7", 5, 4},
        LampCase{"Five_18", 18, "Skellin Q7", 5, 5}, LampCase{"Five_31", 31, "Skellin Q7", 5, 5},
        LampCase{"Three_2", 2, "Skellin Q7R", 3, 0}, LampCase{"Three_3", 3, "Skellin Q7R", 3, 1},
        LampCase{"Three_9", 9, "Skellin Q7R", 3, 1}, LampCase{"Three_10", 10, "Skellin Q7R", 3, 2},
        LampCase{"Three_17", 17, "Skellin Q7R", 3, 2}, LampCase{"Three_18", 18, "Skellin Q7R", 3, 3},
        LampCase{"Three_31", 31, "Q7R", 3, 3}, LampCase{"LowerCaseIsNotThreeLamp", 31, "q7r", 5, 5},
        LampCase{"Negative", -5, "Skellin Q7", 5, 0}, LampCase{"Huge", 2147483647, "Skellin Q7", 5, 5},
        LampCase{"HugeNegative", -2147483647 - 1, "Skellin Q7R", 3, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(LinkLamp, UnlitOnlyForTheNullAddress)
{
    EXPECT_FALSE(LinkLampLit("0.0.0.0"));
    EXPECT_FALSE(LinkLampLit("0.0.0.0 "));
    EXPECT_TRUE(LinkLampLit(""));
    EXPECT_TRUE(LinkLampLit("0.0.0"));
    EXPECT_TRUE(LinkLampLit("10.72.14.203"));
}

TEST(LinkLamp, UpOnlyWithAStateAndAnAddressOtherThanTheNullOne)
{
    EXPECT_TRUE(LinkUp(true, "10.72.14.203"));
    EXPECT_TRUE(LinkUp(true, ""));
    EXPECT_FALSE(LinkUp(true, "0.0.0.0"));
    EXPECT_FALSE(LinkUp(false, ""));
    EXPECT_FALSE(LinkUp(false, "10.72.14.203"));
}

TEST(SignalLevel, IsTwiceTheQualityLess113WithoutOverflow)
{
    static_assert(SignalLevelDbm(0) == -113);
    static_assert(SignalLevelDbm(20) == -73);
    static_assert(SignalLevelDbm(31) == -51);
    static_assert(SignalLevelDbm(2147483647) == 4294967181LL);
    static_assert(SignalLevelDbm(-2147483647 - 1) == -4294967409LL);
}

// ---- The batch and its walk --------------------------------------------------------------

TEST(DeviceQueryBatch, HoldsTheElevenCommandsInOrder)
{
    struct Row {
        std::string command;
        const char* prompt;
        int timeout;
    };
    const Row expected[] = {
        {"AT\r\n\r\n", "Detecting modem...", 1000},
        {"AT+CGMI\r\n", "Identifying modem...", 1000},
        {"AT+CGSN\r\n", "Reading serial number (IMEI)...", 1000},
        {"AT+CGMR\r\n", "Reading modem revision (CMGR)...", 1000},
        {"AT+CIMI\r\n", "Reading SIM serial number (IMSI)...", 1000},
        {"AT+CSQ\r\n", "Reading receive signal strength (RSSI)...", 1000},
        {"AT+CNUM\r\n", "Reading modem phone number (CNUM)...", 1000},
        {"AT+CREG?\r\n", "Reading network registration status (CREG)...", 1000},
        {"at&usbinterface=20,\"<rci_request version='1.1'><query_setting></query_setting></rci_request>\"\r\n",
            "Reading device settings...", 5000},
        {"at&usbinterface=20,\"<rci_request version='1.1'><query_state/></rci_request>\"\r\n",
            "Reading device status...", 5000},
        {"at&usbinterface=20,\"<rci_request version='1.1'><do_command target='zigbee'><query_setting/>"
         "</do_command></rci_request>\"\r\n",
            "Reading Ravlo settings...", 5000},
    };
    const CommandBatch batch = DeviceQueryBatch();
    ASSERT_EQ(batch.GetCount(), 11);
    for (int i = 0; i < 11; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(batch.GetAt(i)->command, expected[i].command);
        EXPECT_EQ(batch.GetAt(i)->prompt, expected[i].prompt);
        EXPECT_EQ(batch.GetAt(i)->timeout, expected[i].timeout);
        EXPECT_EQ(batch.GetAt(i)->responseReserve, 0);
    }
}

constexpr const char* kSettings = "<rci_reply version='1.1'><query_setting><serial><baud>9600</baud></serial>"
                                  "</query_setting></rci_reply>";
constexpr const char* kState = "<rci_reply version='1.1'><query_state><device_info><model>Skellin Q7</model>"
                               "</device_info></query_state></rci_reply>";
constexpr const char* kRadio = "<rci_reply version='1.1'><do_command target='zigbee'><query_setting><radio>"
                               "<node_id>1</node_id></radio></query_setting></do_command></rci_reply>";

class WalkTest : public ::testing::Test {
protected:
    void SetUp() override { InitXmlLibrary(); }

    // The batch as a device answering everything would leave it.
    static CommandBatch Answered()
    {
        CommandBatch batch = DeviceQueryBatch();
        const char* answers[] = {"", "WAVECOM MODEM", "356938035643809", "R7.54", "310260123456789",
            "+CSQ: 17,99", "+CNUM: \"Line 1\",\"+15551230077\",145", "+CREG: 0,1", kSettings, kState, kRadio};
        for (int i = 0; i < batch.GetCount(); ++i)
            batch.GetAt(i)->response = answers[i];
        return batch;
    }

    static std::string ElementText(xmlNodePtr root, const char* name)
    {
        for (xmlNodePtr node = root; node; node = node->next) {
            for (xmlNodePtr child = node->children; child; child = child->next)
                if (child->type == XML_ELEMENT_NODE && std::string(reinterpret_cast<const char*>(child->name)) == name) {
                    const XmlString text(xmlNodeGetContent(child));
                    return reinterpret_cast<const char*>(text.get());
                }
        }
        return {};
    }

    RciDocuments documents;
    DeviceFacts facts;
};

TEST_F(WalkTest, FillsEveryFieldAndTheThreeDocuments)
{
    ASSERT_TRUE(WalkDeviceQuery(Answered(), facts, documents));
    EXPECT_EQ(facts.modemType, "WAVECOM MODEM");
    EXPECT_EQ(facts.imei, "356938035643809");
    EXPECT_EQ(facts.modemRevision, "R7.54");
    EXPECT_EQ(facts.imsi, "310260123456789");
    EXPECT_EQ(facts.signalQuality, 17);
    EXPECT_EQ(facts.phoneNumber, "+15551230077");
    EXPECT_NE(documents.SettingsRoot(), nullptr);
    EXPECT_NE(documents.StateRoot(), nullptr);
    EXPECT_NE(documents.RadioSettingsRoot(), nullptr);
    EXPECT_TRUE(documents.RadioPageFlag());
}

TEST_F(WalkTest, FailedNumberAndSimQueriesShowTheirWords)
{
    CommandBatch batch = Answered();
    batch.GetAt(4)->failed = 1;
    batch.GetAt(4)->response = "";
    batch.GetAt(6)->failed = 1;
    batch.GetAt(6)->response = "+CME ERROR: 10";
    ASSERT_TRUE(WalkDeviceQuery(batch, facts, documents));
    EXPECT_EQ(facts.imsi, "No SIM Inserted");
    EXPECT_EQ(facts.phoneNumber, "N/A");
}

TEST_F(WalkTest, OtherFailedModemQueriesKeepTheirAnswer)
{
    facts.modemType = "before";
    CommandBatch batch = Answered();
    batch.GetAt(1)->failed = 1;
    batch.GetAt(1)->response = "";
    ASSERT_TRUE(WalkDeviceQuery(batch, facts, documents));
    EXPECT_EQ(facts.modemType, "");
}

TEST_F(WalkTest, EmptySettingsStopsBeforeTheState)
{
    documents.ParseState("<r><query_state><device_info><model>Old</model></device_info></query_state></r>");
    CommandBatch batch = Answered();
    batch.GetAt(8)->response = "";
    EXPECT_FALSE(WalkDeviceQuery(batch, facts, documents));
    EXPECT_EQ(documents.SettingsDocument(), nullptr);
    EXPECT_EQ(ElementText(documents.StateRoot(), "model"), "Old");
    EXPECT_EQ(facts.phoneNumber, "+15551230077");
}

TEST_F(WalkTest, EmptyStateStopsBeforeTheRadio)
{
    CommandBatch batch = Answered();
    batch.GetAt(9)->response = "";
    batch.GetAt(10)->response = "Currently not configured or supported";
    EXPECT_FALSE(WalkDeviceQuery(batch, facts, documents));
    EXPECT_NE(documents.SettingsRoot(), nullptr);
    EXPECT_TRUE(documents.RadioPageFlag());
}

TEST_F(WalkTest, AmpersandsOfTheStateAreRemovedBeforeParsing)
{
    CommandBatch batch = Answered();
    batch.GetAt(9)->response = "<rci_reply><query_state><device_info><model>Skellin & Q7&</model>"
                               "</device_info></query_state></rci_reply>";
    ASSERT_TRUE(WalkDeviceQuery(batch, facts, documents));
    ASSERT_NE(documents.StateRoot(), nullptr);
    EXPECT_EQ(ElementText(documents.StateRoot(), "model"), "Skellin  Q7");
}

TEST_F(WalkTest, AnEmptyRadioAnswerStillGoesToItsParser)
{
    documents.ParseRadioSettings(kRadio);
    ASSERT_NE(documents.RadioSettingsDocument(), nullptr);
    CommandBatch batch = Answered();
    batch.GetAt(10)->response = "";
    EXPECT_TRUE(WalkDeviceQuery(batch, facts, documents));
    EXPECT_EQ(documents.RadioSettingsDocument(), nullptr);
}

TEST_F(WalkTest, RadioNotConfiguredClearsTheRadioPageFlag)
{
    CommandBatch batch = Answered();
    batch.GetAt(10)->response = "<rci_reply><do_command target='zigbee'><error>Currently not configured or "
                                "supported</error></do_command></rci_reply>";
    EXPECT_TRUE(WalkDeviceQuery(batch, facts, documents));
    EXPECT_FALSE(documents.RadioPageFlag());
}

// ---- Against the simulated device --------------------------------------------------------

class SimulatedQueryTest : public ::testing::Test {
protected:
    void SetUp() override { InitXmlLibrary(); }

    bool Query(const sim::DeviceConfig& config, const std::function<void(sim::Faults&)>& faults = {})
    {
        device = std::make_unique<sim::SimulatedQ7>(config);
        sim::Faults chosen;
        if (faults)
            faults(chosen);
        if (!test::StartAndOpen(*device, link, chosen))
            return false;
        DirectRunner runner(link);
        outcome = QueryDevice(facts, documents, runner);
        return outcome.documentsRead;
    }

    std::unique_ptr<sim::SimulatedQ7> device;
    SerialLink link;
    RciDocuments documents;
    DeviceFacts facts;
    DeviceQueryOutcome outcome;
};

TEST_F(SimulatedQueryTest, ReadsTheDevicesFacts)
{
    sim::DeviceConfig config;
    config.signalQuality = 14;
    ASSERT_TRUE(Query(config));
    EXPECT_EQ(facts.modemType, config.manufacturer);
    EXPECT_EQ(facts.imei, config.imei);
    EXPECT_EQ(facts.imsi, config.imsi);
    EXPECT_EQ(facts.modemRevision, config.modemRevision);
    EXPECT_EQ(facts.phoneNumber, config.phoneNumber);
    EXPECT_EQ(facts.signalQuality, 14);
    EXPECT_NE(documents.SettingsRoot(), nullptr);
    EXPECT_NE(documents.StateRoot(), nullptr);
    EXPECT_NE(documents.RadioSettingsRoot(), nullptr);
    EXPECT_TRUE(documents.RadioPageFlag());
}

TEST_F(SimulatedQueryTest, WithoutSimShowsItsWords)
{
    ASSERT_TRUE(Query({}, [](sim::Faults& f) { f.noSim = true; }));
    EXPECT_EQ(facts.imsi, "No SIM Inserted");
    EXPECT_EQ(facts.phoneNumber, "N/A");
}

TEST_F(SimulatedQueryTest, NumberErrorShowsNotAvailable)
{
    ASSERT_TRUE(Query({}, [](sim::Faults& f) { f.cnumError = true; }));
    EXPECT_EQ(facts.phoneNumber, "N/A");
    EXPECT_NE(facts.imsi, "No SIM Inserted");
}

TEST_F(SimulatedQueryTest, UnconfiguredRadioClearsTheFlag)
{
    sim::DeviceConfig config;
    config.radioConfigured = false;
    ASSERT_TRUE(Query(config));
    EXPECT_FALSE(documents.RadioPageFlag());
}

TEST_F(SimulatedQueryTest, RefusedSettingsQueryIsNoAnswer)
{
    EXPECT_FALSE(Query({}, [](sim::Faults& f) { f.errorFor = {"<query_setting></query_setting>"}; }));
    EXPECT_EQ(documents.SettingsDocument(), nullptr);
    EXPECT_EQ(documents.StateDocument(), nullptr);
}

// What the query says besides the facts: whether the device answered at all, gave its
// settings, measured the signal, and ended each identity answer.
struct QueryAnswers {
    const char* label;
    std::vector<std::string> errorFor;
    std::vector<std::string> unendedFor;
    bool documentsRead;
    bool settingsAnswered;
    bool signalMeasured;
    std::string unendedIdentity;
};

class QueryOutcomeTest : public SimulatedQueryTest, public ::testing::WithParamInterface<QueryAnswers> { };

TEST_P(QueryOutcomeTest, SaysWhatTheDeviceDid)
{
    const QueryAnswers& row = GetParam();
    EXPECT_EQ(Query({},
                  [&row](sim::Faults& f) {
                      f.errorFor = row.errorFor;
                      f.unendedFor = row.unendedFor;
                  }),
        row.documentsRead);
    EXPECT_EQ(outcome.documentsRead, row.documentsRead);
    EXPECT_TRUE(outcome.anyAnswer);
    EXPECT_EQ(outcome.settingsAnswered, row.settingsAnswered);
    EXPECT_EQ(outcome.signalMeasured, row.signalMeasured);
    EXPECT_EQ(outcome.unendedIdentity, row.unendedIdentity);
}

INSTANTIATE_TEST_SUITE_P(Answers, QueryOutcomeTest,
    ::testing::Values(QueryAnswers {"all", {}, {}, true, true, true, ""},
        QueryAnswers {"signalError", {"AT+CSQ"}, {}, true, true, false, ""},
        QueryAnswers {"revisionUnended", {}, {"AT+CGMR"}, true, true, true, "AT+CGMR"},
        QueryAnswers {"settingsError", {"<query_setting></query_setting>"}, {}, false, false, true, ""},
        QueryAnswers {"stateError", {"<query_state"}, {}, false, true, true, ""}),
    [](const auto& row) { return std::string(row.param.label); });

} // namespace
} // namespace tervane
