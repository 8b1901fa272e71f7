#include "SimDevice.h"
#include "SimEncoding.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tervane::sim {
namespace {

SimInput Line(std::string text)
{
    SimInput input;
    input.kind = SimInput::Kind::Line;
    input.echo = text + "\r\n";
    input.text = std::move(text);
    return input;
}

SimInput Raw(std::string text)
{
    SimInput input;
    input.kind = SimInput::Kind::RawRequest;
    input.echo = text;
    input.text = std::move(text);
    return input;
}

SimInput Data(std::string bytes)
{
    SimInput input;
    input.kind = SimInput::Kind::Data;
    input.text = std::move(bytes);
    return input;
}

std::string Rci(const std::string& request)
{
    return "at&usbinterface=20,\"" + request + "\"";
}

// The reply document inside an answer body.
SimNode ReplyOf(const SimReply& reply)
{
    auto node = ParseXml(reply.body);
    EXPECT_TRUE(node) << reply.body;
    return node.value_or(SimNode());
}

const SimNode* Child(const SimNode& node, const char* name)
{
    for (const SimNode& child : node.children) {
        if (child.name == name)
            return &child;
    }
    return nullptr;
}

struct AtCase {
    const char* name;
    const char* command;
    std::function<void(Faults&)> faults;
    SimReply::Result result;
    const char* body; // between echo and result code
};

class ModemCommands : public ::testing::TestWithParam<AtCase> {};

TEST_P(ModemCommands, Answer)
{
    SimDevice device{DeviceConfig{}};
    if (GetParam().faults)
        device.ChangeFaults(GetParam().faults);
    const SimReply reply = device.Handle(Line(GetParam().command));
    EXPECT_EQ(reply.result, GetParam().result);
    EXPECT_EQ(reply.body, GetParam().body);
}

constexpr auto kOk = SimReply::Result::Ok;
constexpr auto kError = SimReply::Result::Error;

INSTANTIATE_TEST_SUITE_P(
    Device, ModemCommands,
    ::testing::Values(
        AtCase{"attention", "AT", nullptr, kOk, ""},
        AtCase{"manufacturer", "AT+CGMI", nullptr, kOk, "\r\nWAVECOM MODEM\r\n"},
        AtCase{"lower_case_command", "at+cgmi", nullptr, kOk, "\r\nWAVECOM MODEM\r\n"},
        AtCase{"imei", "AT+CGSN", nullptr, kOk, "\r\n356938035643809\r\n"},
        AtCase{"revision", "AT+CGMR", nullptr, kOk, "\r\nR7.54.0.201806141515.FXT009 2130196 061418 15:15\r\n"},
        AtCase{"imsi", "AT+CIMI", nullptr, kOk, "\r\n310260123456789\r\n"},
        AtCase{"imsi_without_sim", "AT+CIMI", [](Faults& f) { f.noSim = true; }, kError, ""},
        AtCase{"signal", "AT+CSQ", nullptr, kOk, "\r\n+CSQ: 20,99\r\n"},
        AtCase{"number", "AT+CNUM", nullptr, kOk, "\r\n+CNUM: \"Line 1\",\"+15551230077\",145\r\n"},
        AtCase{"number_error", "AT+CNUM", [](Faults& f) { f.cnumError = true; }, kError, ""},
        AtCase{"number_without_sim", "AT+CNUM", [](Faults& f) { f.noSim = true; }, kError, ""},
        AtCase{"registration", "AT+CREG?", nullptr, kOk, "\r\n+CREG: 0,1\r\n"},
        AtCase{"unknown", "AT+CGXX", nullptr, kError, ""},
        AtCase{"not_a_command", "HELLO", nullptr, kError, ""},
        AtCase{"unknown_sub_command", "at&usbinterface=99", nullptr, kError, ""},
        AtCase{"request_without_quotes", "at&usbinterface=20,<rci_request/>", nullptr, kError, ""},
        AtCase{"request_not_xml", "at&usbinterface=20,\"<rci_request>\"", nullptr, kError, ""},
        AtCase{"chosen_error", "AT+CGSN", [](Faults& f) { f.errorFor = {"CGSN"}; }, kError, ""},
        AtCase{"chosen_silence", "AT+CGSN", [](Faults& f) { f.silentFor = {"CGSN"}; }, SimReply::Result::None, ""},
        AtCase{"digest_of_missing_file", "at&usbinterface=41,\"/WEB/python/none.py\"", nullptr, kError, ""},
        AtCase{"install_without_image", "at&usbinterface=110", nullptr, kError, ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SimDevice, RebootAnswersThenRestarts)
{
    SimDevice device{DeviceConfig{}};
    const SimReply reply = device.Handle(Line("at+CFUN=1"));
    EXPECT_EQ(reply.result, kOk);
    EXPECT_EQ(reply.then, SimReply::Then::Restart);
}

TEST(SimDevice, SilentDeviceListsButDoesNothing)
{
    SimDevice device{DeviceConfig{}};
    device.ChangeFaults([](Faults& f) { f.silent = true; });
    const SimReply reply = device.Handle(Line(Rci("<rci_request version='1.1'><set_factory_default/></rci_request>")));
    EXPECT_EQ(reply.result, SimReply::Result::None);
    ASSERT_EQ(device.ReceivedCommands().size(), 1u);
}

TEST(SimDevice, SettingsQueryListsEveryGroup)
{
    SimDevice device{DeviceConfig{}};
    const SimNode reply = ReplyOf(device.Handle(
        Line(Rci("<rci_request version='1.1'><query_setting></query_setting></rci_request>"))));
    EXPECT_EQ(reply.name, "rci_reply");
    const SimNode* query = Child(reply, "query_setting");
    ASSERT_TRUE(query);
    for (const char* group : {"mobile_simple", "mgmtconnection", "serial", "telnet_server", "tcp_server", "ssh_server",
                              "securesocket", "udp_server", "python"})
        EXPECT_TRUE(Child(*query, group)) << group;
}

TEST(SimDevice, StateFollowsModelAndFaults)
{
    DeviceConfig config;
    config.model = "Q7R";
    SimDevice device{config};
    const std::string query = Rci("<rci_request version='1.1'><query_state/></rci_request>");
    SimNode state = *Child(ReplyOf(device.Handle(Line(query))), "query_state");
    EXPECT_EQ(Child(*Child(state, "device_info"), "model")->text, "Q7R");
    EXPECT_EQ(Child(*Child(state, "device_info"), "firmwaresoftrevstr")->text, "2.4.1.7");
    EXPECT_EQ(Child(*Child(state, "ppp_stats"), "ip_address")->text, "10.72.14.203");
    EXPECT_TRUE(Child(state, "zigbee_state"));

    device.ChangeFaults([](Faults& f) {
        f.noSim = true;
        f.noRadio = true;
    });
    state = *Child(ReplyOf(device.Handle(Line(query))), "query_state");
    EXPECT_EQ(Child(*Child(state, "ppp_stats"), "ip_address")->text, "0.0.0.0");
    EXPECT_EQ(Child(*Child(state, "mobile_stats"), "iccid")->text, "");
    EXPECT_FALSE(Child(state, "zigbee_state"));
}

TEST(SimDevice, RadioWithoutConfigurationAnswersTheTextAlone)
{
    DeviceConfig config;
    config.radioConfigured = false;
    SimDevice device{config};
    const SimReply reply = device.Handle(Line(
        Rci("<rci_request version='1.1'><do_command target='zigbee'><query_setting/></do_command></rci_request>")));
    EXPECT_EQ(reply.result, kOk);
    EXPECT_EQ(reply.body, "\r\nCurrently not configured or supported\r\n");
}

TEST(SimDevice, RadioWithoutConfigurationAnswersInsideAReplyOnSomeFirmware)
{
    DeviceConfig config;
    config.radioConfigured = false;
    config.wrapsNoRadioAnswer = true;
    SimDevice device{config};
    const SimReply reply = device.Handle(Line(
        Rci("<rci_request version='1.1'><do_command target='zigbee'><query_setting/></do_command></rci_request>")));
    EXPECT_EQ(reply.result, kOk);
    EXPECT_NE(reply.body.find("Currently not configured or supported"), std::string::npos);
    EXPECT_EQ(reply.body.find('<'), 2u);
}

TEST(SimDevice, BareSetSettingChangesTheSettings)
{
    SimDevice device{DeviceConfig{}};
    const SimReply announce = device.Handle(Line("at&usbinterface=22"));
    EXPECT_EQ(announce.then, SimReply::Then::ExpectRawRequest);
    const SimReply reply = device.Handle(Raw(
        "<rci_request version='1.1'><set_setting><python index='1'><state>on</state></python></set_setting>"
        "</rci_request>"));
    EXPECT_EQ(reply.result, kOk);
    EXPECT_EQ(device.Setting("python/state"), "on");
}

TEST(SimDevice, RadioSettingsAndRadioUpdate)
{
    SimDevice device{DeviceConfig{}};
    device.Handle(Raw("<rci_request version='1.1'><do_command target='zigbee'><set_setting><radio>"
                      "<node_id>ROOF</node_id><join_time>60</join_time></radio></set_setting></do_command>"
                      "</rci_request>"));
    EXPECT_EQ(device.RadioSetting("radio/node_id"), "ROOF");
    EXPECT_EQ(device.RadioSetting("radio/join_time"), "60");

    const std::string update =
        Rci("<rci_request version='1.1'><do_command target='zigbee'><fw_update file='ravlo.ebl'/></do_command>"
            "</rci_request>");
    EXPECT_NE(device.Handle(Line(update)).body.find("<error"), std::string::npos); // not uploaded yet
    EXPECT_EQ(device.RadioFirmwareVersion(), "0x2164");
    device.PutFile("/WEB/mesh/ravlo.ebl", "EBL image");
    EXPECT_EQ(device.Handle(Line(update)).body.find("<error"), std::string::npos);
    EXPECT_EQ(device.RadioFirmwareVersion(), "0x2270");
}

TEST(SimDevice, FileListFetchAndRemove)
{
    DeviceConfig config;
    config.files = {{"/WEB/python/a.py", "print(1)\n"}, {"/WEB/python/lib/b.py", ""}, {"/WEB/mesh/x.ebl", "x"}};
    SimDevice device{config};

    SimNode list = ReplyOf(device.Handle(Raw("<rci_request version='1.1'><do_command target='file_system'>"
                                             "<ls dir='/WEB/python'/></do_command></rci_request>")));
    const SimNode* ls = Child(*Child(list, "do_command"), "ls");
    ASSERT_TRUE(ls);
    ASSERT_EQ(ls->children.size(), 2u);
    EXPECT_EQ(ls->children[0].name, "dir");
    EXPECT_EQ(ls->children[1].name, "file");
    EXPECT_EQ(ls->children[1].Attribute("name"), "a.py");
    EXPECT_EQ(ls->children[1].Attribute("size"), "9");

    SimNode fetched = ReplyOf(device.Handle(Raw("<rci_request version='1.1'><do_command target='file_system'>"
                                                "<get_file name='/WEB/python/a.py'/></do_command></rci_request>")));
    const SimNode* getFile = Child(*Child(fetched, "do_command"), "get_file");
    ASSERT_TRUE(getFile);
    EXPECT_EQ(getFile->Attribute("name"), "/WEB/python/a.py");
    EXPECT_EQ(Child(*getFile, "data")->text, Base64Encode("print(1)\n"));
    EXPECT_EQ(Child(*getFile, "data")->Attribute("encode"), "base64");

    device.Handle(Line(Rci("<rci_request version='1.1'><do_command target='file_system'>"
                           "<rm name='/WEB/python/a.py'/></do_command></rci_request>")));
    EXPECT_FALSE(device.File("/WEB/python/a.py"));
    EXPECT_TRUE(device.File("/WEB/mesh/x.ebl"));
}

TEST(SimDevice, HostileFaults)
{
    DeviceConfig config;
    config.files = {{"/WEB/python/a.py", "print('a hostile device')\n"}};
    SimDevice device{config};
    device.ChangeFaults([](Faults& f) {
        f.fileReplyName = "/WEB/python/.bashrc";
        f.shortFileData = true;
        f.modemEscapes = true;
        f.brokenState = true;
        f.brokenListing = true;
    });

    SimNode fetched = ReplyOf(device.Handle(Raw("<rci_request version='1.1'><do_command target='file_system'>"
                                                "<get_file name='/WEB/python/a.py'/></do_command></rci_request>")));
    const SimNode* getFile = Child(*Child(fetched, "do_command"), "get_file");
    ASSERT_TRUE(getFile);
    EXPECT_EQ(getFile->Attribute("name"), "/WEB/python/.bashrc");
    const std::string whole = Base64Encode("print('a hostile device')\n");
    EXPECT_EQ(Child(*getFile, "data")->text, whole.substr(0, whole.size() / 2));

    EXPECT_NE(device.Handle(Line("AT+CGMI")).body.find("\x1b]0;owned\x07\x1b[2J"), std::string::npos);
    EXPECT_FALSE(ParseXml(device.Handle(Line(Rci("<rci_request version='1.1'><query_state/></rci_request>"))).body));
    const SimReply listed = device.Handle(Raw("<rci_request version='1.1'><do_command target='file_system'>"
                                              "<ls dir='/WEB/python'/></do_command></rci_request>"));
    EXPECT_EQ(listed.result, kOk);
    EXPECT_FALSE(ParseXml(listed.body));
    // Only the state and listing answers are broken.
    ReplyOf(device.Handle(Line(Rci("<rci_request version='1.1'><query_setting/></rci_request>"))));
}

class UploadDevice : public ::testing::Test {
protected:
    // The whole upload exchange; the result of each step in order.
    std::vector<SimReply::Result> Upload(const std::string& path, const std::string& bytes)
    {
        const std::string n = std::to_string(bytes.size());
        std::vector<SimReply::Result> results;
        for (const std::string& line : {"AT&USBINTERFACE=17," + n, "AT&USBINTERFACE=3," + n,
                                        "AT&USBINTERFACE=16,\"" + path + "\"", "AT&USBINTERFACE=9," + path}) {
            results.push_back(device.Handle(Line(line)).result);
        }
        const SimReply start = device.Handle(Line("AT&USBINTERFACE=5"));
        results.push_back(start.result);
        if (start.then == SimReply::Then::ExpectData) {
            EXPECT_EQ(start.dataBytes, bytes.size());
            results.push_back(device.Handle(Data(bytes)).result);
        }
        results.push_back(device.Handle(Line("AT&USBINTERFACE=18," + n)).result);
        return results;
    }

    std::string Digest(const std::string& path)
    {
        const SimReply reply = device.Handle(Line("at&usbinterface=41,\"" + path + "\""));
        return reply.result == kOk ? reply.body : "ERROR";
    }

    SimDevice device{DeviceConfig{}};
};

TEST_F(UploadDevice, StoresTheFileAndAnswersItsDigest)
{
    const std::string bytes(1500, 'q');
    EXPECT_EQ(Upload("/WEB/python/big.py", bytes), std::vector<SimReply::Result>(7, kOk));
    EXPECT_EQ(device.File("/WEB/python/big.py"), bytes);
    EXPECT_EQ(Digest("/WEB/python/big.py"), "\r\n" + Md5Hex(bytes) + "\r\n");
    EXPECT_EQ(device.UploadCount(), 1);
}

TEST_F(UploadDevice, EmptyFile)
{
    EXPECT_EQ(Upload("/WEB/python/empty.py", ""), std::vector<SimReply::Result>(7, kOk));
    EXPECT_EQ(device.File("/WEB/python/empty.py"), "");
}

TEST_F(UploadDevice, StepsOutOfOrderAreRefused)
{
    EXPECT_EQ(device.Handle(Line("AT&USBINTERFACE=5")).result, kError);
    EXPECT_EQ(device.Handle(Line("AT&USBINTERFACE=17,10")).result, kOk);
    EXPECT_EQ(device.Handle(Line("AT&USBINTERFACE=3,11")).result, kError); // size disagrees
    EXPECT_EQ(device.Handle(Line("AT&USBINTERFACE=16,\"/WEB/python/x.py\"")).result, kError);
    EXPECT_EQ(device.Handle(Line("AT&USBINTERFACE=17,10")).result, kOk);
    EXPECT_EQ(device.Handle(Line("AT&USBINTERFACE=3,10")).result, kOk);
    EXPECT_EQ(device.Handle(Line("AT&USBINTERFACE=16,\"/WEB/python/x.py\"")).result, kOk);
    EXPECT_EQ(device.Handle(Line("AT&USBINTERFACE=9,/WEB/python/y.py")).result, kError); // other path
    EXPECT_EQ(device.UploadCount(), 0);
}

TEST_F(UploadDevice, BadDestinationsAreRefused)
{
    for (const char* path : {"WEB/python/a.py", "/WEB/python/", "/WEB/../etc/a", "/WEB//a.py"}) {
        device.Handle(Line("AT&USBINTERFACE=17,1"));
        device.Handle(Line("AT&USBINTERFACE=3,1"));
        EXPECT_EQ(device.Handle(Line(std::string("AT&USBINTERFACE=16,\"") + path + "\"")).result, kError) << path;
    }
}

TEST_F(UploadDevice, DigestFaults)
{
    device.PutFile("/fw/updatefw.dwl", "image");
    const std::string right = "\r\n" + Md5Hex("image") + "\r\n";
    device.ChangeFaults([](Faults& f) { f.upperCaseDigests = true; });
    std::string upper = right;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(Digest("/fw/updatefw.dwl"), upper);
    device.ChangeFaults([](Faults& f) {
        f.upperCaseDigests = false;
        f.wrongDigests = true;
    });
    const std::string wrong = Digest("/fw/updatefw.dwl");
    EXPECT_NE(wrong, right);
    EXPECT_EQ(wrong.size(), right.size());
}

TEST_F(UploadDevice, CorruptedUploadDiffersFromWhatWasSent)
{
    device.ChangeFaults([](Faults& f) { f.corruptUploads = true; });
    Upload("/WEB/python/a.py", "print('hello')\n");
    Upload("/WEB/python/b.py", "");
    EXPECT_NE(device.File("/WEB/python/a.py"), "print('hello')\n");
    EXPECT_EQ(device.File("/WEB/python/a.py")->size(), 15u);
    EXPECT_NE(device.File("/WEB/python/b.py"), "");
}

TEST_F(UploadDevice, RestartLosesAnUploadUnderWay)
{
    device.Handle(Line("AT&USBINTERFACE=17,3"));
    device.Handle(Line("AT&USBINTERFACE=3,3"));
    device.Handle(Line("AT&USBINTERFACE=16,\"/WEB/python/a.py\""));
    device.Handle(Line("AT&USBINTERFACE=9,/WEB/python/a.py"));
    device.Handle(Line("AT&USBINTERFACE=5"));
    device.Restarted();
    EXPECT_EQ(device.Handle(Data("abc")).result, kError);
    EXPECT_EQ(device.Handle(Line("AT&USBINTERFACE=18,3")).result, kError);
    EXPECT_FALSE(device.File("/WEB/python/a.py"));
}

TEST_F(UploadDevice, InstallChangesTheFirmwareVersion)
{
    device.PutFile("/fw/updatefw.dwl", "firmware image");
    const SimReply reply = device.Handle(Line("at&usbinterface=110"));
    EXPECT_EQ(reply.result, kOk);
    EXPECT_EQ(reply.then, SimReply::Then::Restart);
    EXPECT_EQ(device.FirmwareVersion(), "2.5.0.3");
    EXPECT_NE(device.StateXml().find("<firmwaresoftrevstr>2.5.0.3</firmwaresoftrevstr>"), std::string::npos);
}

} // namespace
} // namespace tervane::sim
