#include "PortClient.h"
#include "SimEncoding.h"
#include "SimulatedQ7.h"
#include "SimXml.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tervane::sim {
namespace {

using test::PortClient;

const std::string kSettingsQuery =
    "at&usbinterface=20,\"<rci_request version='1.1'><query_setting></query_setting></rci_request>\"\r\n";
const std::string kStateQuery = "at&usbinterface=20,\"<rci_request version='1.1'><query_state/></rci_request>\"\r\n";

bool LinkExists(const std::string& path)
{
    struct stat info{};
    return lstat(path.c_str(), &info) == 0;
}

// The answer without echo and result code, as the program's cleaning would leave it.
std::string Payload(const std::string& raw, const std::string& command)
{
    std::string text = raw;
    if (text.rfind(command, 0) == 0)
        text.erase(0, command.size());
    for (const char* end : {"\r\nOK\r\n", "\r\nERROR\r\n"}) {
        const std::string e = end;
        if (text.size() >= e.size() && text.compare(text.size() - e.size(), e.size(), e) == 0)
            text.erase(text.size() - e.size());
    }
    const auto first = text.find_first_not_of("\r\n");
    const auto last = text.find_last_not_of("\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::string DecodeBase64(const std::string& text)
{
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=')
            break;
        const auto at = alphabet.find(c);
        if (at == std::string::npos)
            continue;
        bits = bits << 6 | static_cast<unsigned>(at);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>(bits >> count & 0xff);
        }
    }
    return out;
}

class RunningDevice : public ::testing::Test {
protected:
    static DeviceConfig QuickConfig()
    {
        DeviceConfig config;
        config.restartDelayMs = 100;
        config.answerDelayMs = 2;
        return config;
    }

    void StartDevice(DeviceConfig config = QuickConfig())
    {
        device = std::make_unique<SimulatedQ7>(std::move(config));
        ASSERT_TRUE(device->Start());
        Connect();
    }

    void Connect()
    {
        client = std::make_unique<PortClient>(device->PortPath());
        ASSERT_TRUE(client->IsOpen());
    }

    std::string Ask(const std::string& command) { return client->Exchange(command); }

    void SetUp() override { StartDevice(); }

    std::unique_ptr<SimulatedQ7> device;
    std::unique_ptr<PortClient> client;
};

struct FramingCase {
    const char* name;
    const char* command;
    const char* raw;
};

class Framing : public RunningDevice, public ::testing::WithParamInterface<FramingCase> {};

TEST_P(Framing, EchoAnswerAndResultCode)
{
    device->PutFile("/WEB/python/abc.py", "abc");
    EXPECT_EQ(Ask(GetParam().command), GetParam().raw);
}

INSTANTIATE_TEST_SUITE_P(
    Port, Framing,
    ::testing::Values(
        FramingCase{"attention_with_two_line_ends", "AT\r\n\r\n", "AT\r\n\r\n\r\nOK\r\n"},
        FramingCase{"text_answer", "AT+CGMI\r\n", "AT+CGMI\r\n\r\nWAVECOM MODEM\r\n\r\nOK\r\n"},
        FramingCase{"carriage_return_only", "AT+CSQ\r", "AT+CSQ\r\r\n+CSQ: 20,99\r\n\r\nOK\r\n"},
        FramingCase{"mixed_case", "At+CgSn\r\n", "At+CgSn\r\n\r\n356938035643809\r\n\r\nOK\r\n"},
        FramingCase{"unknown_command", "AT+WHAT\r\n", "AT+WHAT\r\n\r\nERROR\r\n"},
        FramingCase{"digest", "at&usbinterface=41,\"/WEB/python/abc.py\"\r\n",
                    "at&usbinterface=41,\"/WEB/python/abc.py\"\r\n\r\n900150983cd24fb0d6963f7d28e17f72\r\n\r\nOK\r\n"},
        FramingCase{"digest_of_missing_file", "at&usbinterface=41,\"/WEB/python/none.py\"\r\n",
                    "at&usbinterface=41,\"/WEB/python/none.py\"\r\n\r\nERROR\r\n"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(RunningDevice, DigestMatchesTheStoredFile)
{
    const std::string raw = Ask("at&usbinterface=41,\"/WEB/python/sensor_report.py\"\r\n");
    EXPECT_EQ(Payload(raw, "at&usbinterface=41,\"/WEB/python/sensor_report.py\"\r\n"),
              Md5Hex(*device->GetFile("/WEB/python/sensor_report.py")));
}

TEST_F(RunningDevice, PortSurvivesTheProgramReopeningIt)
{
    client.reset();
    Connect();
    EXPECT_EQ(Ask("AT\r\n"), "AT\r\n\r\nOK\r\n");
    EXPECT_EQ(device->RestartCount(), 0);
}

TEST_F(RunningDevice, AppliedSettingsAreReadBack)
{
    EXPECT_EQ(Ask("at&usbinterface=22\r\n"), "at&usbinterface=22\r\n\r\nOK\r\n");
    // The settings payload goes without a line end, attribute values in single quotes.
    const std::string payload =
        "<rci_request version='1.1'><set_setting><mobile_simple><apn>m2m.skellin</apn><username>u</username>"
        "<password>p&amp;w</password><pin>1234</pin><mobile_gsm_band>9</mobile_gsm_band></mobile_simple>"
        "<mgmtconnection index='3'><connectionEnabled>on</connectionEnabled></mgmtconnection>"
        "<serial index='1'><baud>38400</baud><parity>Odd</parity></serial></set_setting></rci_request>";
    const std::string reply = Ask(payload);
    EXPECT_EQ(reply.rfind(payload, 0), 0u);
    EXPECT_EQ(Payload(reply, payload).find("<error"), std::string::npos) << reply;

    EXPECT_EQ(device->Setting("mobile_simple/apn"), "m2m.skellin");
    EXPECT_EQ(device->Setting("mobile_simple/password"), "p&w");
    EXPECT_EQ(device->Setting("mgmtconnection&index=3/connectionEnabled"), "on");
    EXPECT_EQ(device->Setting("serial/parity"), "odd");

    const auto settings = ParseXml(Payload(Ask(kSettingsQuery), kSettingsQuery));
    ASSERT_TRUE(settings);
    EXPECT_NE(WriteXml(*settings).find("<apn>m2m.skellin</apn>"), std::string::npos);
    EXPECT_NE(WriteXml(*settings).find("<baud>38400</baud>"), std::string::npos);
}

TEST_F(RunningDevice, FactoryDefaultRestoresSettings)
{
    ASSERT_TRUE(device->SetSetting("telnet_server/port", "4000"));
    Ask("at&usbinterface=20,\"<rci_request version='1.1'><set_factory_default/></rci_request>\"\r\n");
    EXPECT_EQ(device->Setting("telnet_server/port"), "2001");
}

TEST_F(RunningDevice, BareFileRequestsAnswerTheFile)
{
    device->PutFile("/WEB/python/bin.py", std::string("\x00\x01\xfe\xff", 4) + std::string(300, 'z'));
    Ask("at&usbinterface=22\r\n");
    const std::string request = "<rci_request version='1.1'><do_command target='file_system'>"
                                "<get_file name='/WEB/python/bin.py'/></do_command></rci_request>";
    const auto reply = ParseXml(Payload(Ask(request), request));
    ASSERT_TRUE(reply);
    const SimNode& getFile = reply->children.at(0).children.at(0);
    EXPECT_EQ(getFile.name, "get_file");
    EXPECT_EQ(DecodeBase64(getFile.children.at(0).text), *device->GetFile("/WEB/python/bin.py"));

    Ask("at&usbinterface=22\r\n");
    const std::string list = "<rci_request version='1.1'><do_command target='file_system'><ls dir='/WEB/python'/>"
                             "</do_command></rci_request>";
    const std::string listed = Payload(Ask(list), list);
    EXPECT_NE(listed.find("<file name=\"bin.py\" size=\"304\"/>"), std::string::npos) << listed;
}

TEST_F(RunningDevice, UploadThenDigest)
{
    std::string bytes;
    for (int i = 0; i < 1536; ++i)
        bytes += static_cast<char>(i * 7 % 256);
    const std::string n = std::to_string(bytes.size());
    for (const std::string& line : {"AT&USBINTERFACE=17," + n + "\r\n", "AT&USBINTERFACE=3," + n + "\r\n",
                                    std::string("AT&USBINTERFACE=16,\"/WEB/python/up.py\"\r\n"),
                                    std::string("AT&USBINTERFACE=9,/WEB/python/up.py\r\n"),
                                    std::string("AT&USBINTERFACE=5\r\n")}) {
        EXPECT_EQ(Ask(line), line + "\r\nOK\r\n");
    }
    // The program's chunks for 1536 bytes: 1024, 511 and 1, with pauses between them.
    ASSERT_TRUE(client->Send(std::string_view(bytes).substr(0, 1024)));
    EXPECT_EQ(client->ReadFor(30), ""); // nothing echoed, no answer before all bytes are in
    ASSERT_TRUE(client->Send(std::string_view(bytes).substr(1024, 511)));
    ASSERT_TRUE(client->Send(std::string_view(bytes).substr(1535)));
    EXPECT_EQ(client->ReadAnswer(), "\r\nOK\r\n");
    EXPECT_EQ(Ask("AT&USBINTERFACE=18," + n + "\r\n"), "AT&USBINTERFACE=18," + n + "\r\n\r\nOK\r\n");

    EXPECT_EQ(device->GetFile("/WEB/python/up.py"), bytes);
    EXPECT_EQ(device->UploadCount(), 1);
    const std::string query = "at&usbinterface=41,\"/WEB/python/up.py\"\r\n";
    EXPECT_EQ(Payload(Ask(query), query), Md5Hex(bytes));
}

TEST_F(RunningDevice, UploadWhoseDataStopsComingIsGivenUp)
{
    device->Stop();
    DeviceConfig config = QuickConfig();
    config.transferIdleMs = 150;
    StartDevice(config);
    for (const char* line : {"AT&USBINTERFACE=17,100\r\n", "AT&USBINTERFACE=3,100\r\n",
                             "AT&USBINTERFACE=16,\"/WEB/python/cut.py\"\r\n", "AT&USBINTERFACE=9,/WEB/python/cut.py\r\n",
                             "AT&USBINTERFACE=5\r\n"})
        Ask(line);
    client->Send(std::string(40, 'x'));
    EXPECT_EQ(client->ReadAnswer(), "\r\nERROR\r\n");
    EXPECT_EQ(Ask("AT&USBINTERFACE=18,100\r\n"), "AT&USBINTERFACE=18,100\r\n\r\nERROR\r\n");
    EXPECT_FALSE(device->HasFile("/WEB/python/cut.py"));
    EXPECT_EQ(Ask("AT\r\n"), "AT\r\n\r\nOK\r\n");
}

TEST_F(RunningDevice, JunkDoesNotStopTheDevice)
{
    std::string junk;
    unsigned seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245 + 12345;
        junk += static_cast<char>(seed >> 16 & 0xff);
    }
    ASSERT_TRUE(client->Send(junk + "\r\n"));
    // Let the device finish answering the junk lines.
    for (int i = 0; i < 100 && !client->ReadFor(200).empty(); ++i) {
    }
    EXPECT_EQ(Ask("AT\r\n"), "AT\r\n\r\nOK\r\n");
}

TEST_F(RunningDevice, RestartTakesThePortAwayAndBringsItBack)
{
    const std::string path = device->PortPath();
    device->Restart(200);
    EXPECT_FALSE(LinkExists(path));
    EXPECT_FALSE(device->PortPresent());
    EXPECT_TRUE(client->WaitForHangUp(1000));
    errno = 0;
    EXPECT_LT(write(client->Fd(), "AT\r\n", 4), 0);
    EXPECT_EQ(errno, EIO);

    ASSERT_TRUE(device->WaitForPort(5000));
    EXPECT_TRUE(LinkExists(path));
    EXPECT_EQ(device->RestartCount(), 1);
    Connect();
    EXPECT_EQ(Ask("AT\r\n"), "AT\r\n\r\nOK\r\n");
}

TEST_F(RunningDevice, RebootAnswersBeforeGoingAway)
{
    EXPECT_EQ(Ask("at+CFUN=1\r\n"), "at+CFUN=1\r\n\r\nOK\r\n");
    EXPECT_TRUE(client->WaitForHangUp(2000));
    ASSERT_TRUE(device->WaitForPort(5000));
    Connect();
    EXPECT_EQ(Ask("AT\r\n"), "AT\r\n\r\nOK\r\n");
    EXPECT_EQ(device->RestartCount(), 1);
}

TEST_F(RunningDevice, FirmwareInstallRestartsWithTheNewVersion)
{
    device->PutFile("/fw/updatefw.dwl", std::string(4096, '\x5a'));
    EXPECT_EQ(Payload(Ask(kStateQuery), kStateQuery).find("<firmware>2.5.0.3</firmware>"), std::string::npos);
    client->Send("at&usbinterface=110\r\n");
    EXPECT_TRUE(client->WaitForHangUp(2000));
    ASSERT_TRUE(device->WaitForPort(5000));
    Connect();
    const std::string state = Payload(Ask(kStateQuery), kStateQuery);
    EXPECT_NE(state.find("<firmware>2.5.0.3</firmware>"), std::string::npos);
    EXPECT_NE(state.find("<firmwaresoftrevstr>2.5.0.3</firmwaresoftrevstr>"), std::string::npos);
}

TEST_F(RunningDevice, ReceivedCommandsAreListedInOrder)
{
    Ask("AT\r\n\r\n");
    Ask("at&usbinterface=22\r\n");
    Ask("<rci_request version='1.1'><query_state/></rci_request>");
    EXPECT_EQ(device->ReceivedCommands(),
              (std::vector<std::string>{"AT", "at&usbinterface=22", "<rci_request version='1.1'><query_state/></rci_request>"}));
}

TEST_F(RunningDevice, SilentDeviceAnswersNothing)
{
    device->ChangeFaults([](Faults& f) { f.silent = true; });
    client->Send("AT+CGMI\r\n");
    EXPECT_EQ(client->ReadFor(300), "");
    EXPECT_EQ(device->ReceivedCommands().back(), "AT+CGMI");
    device->ChangeFaults([](Faults& f) { f.silent = false; });
    EXPECT_EQ(Ask("AT\r\n"), "AT\r\n\r\nOK\r\n");
}

TEST_F(RunningDevice, UnendedAnswerLacksOnlyItsResultCode)
{
    device->ChangeFaults([](Faults& f) { f.unendedFor = {"CGMI"}; });
    client->Send("AT+CGMI\r\n");
    EXPECT_EQ(client->ReadFor(300), "AT+CGMI\r\n\r\nWAVECOM MODEM\r\n");
    EXPECT_EQ(Ask("AT+CGSN\r\n").substr(0, 9), "AT+CGSN\r\n");
    EXPECT_TRUE(std::string_view(Ask("AT\r\n")).ends_with("\r\nOK\r\n"));
}

TEST_F(RunningDevice, FragmentedAnswerArrivesInPieces)
{
    device->ChangeFaults([](Faults& f) {
        f.fragmentBytes = 4;
        f.fragmentPauseMs = 30;
    });
    client->Send("AT+CGMI\r\n");
    const std::string first = client->ReadFor(15);
    EXPECT_LE(first.size(), 4u);
    EXPECT_EQ(first + client->ReadAnswer(), "AT+CGMI\r\n\r\nWAVECOM MODEM\r\n\r\nOK\r\n");
}

TEST_F(RunningDevice, PrintSpansAreMixedIntoAnswers)
{
    device->ChangeFaults([](Faults& f) { f.printSpans = true; });
    std::string raw = Ask("AT+CGMI\r\n");
    ASSERT_NE(raw.find("<pyPrint>"), std::string::npos);
    ASSERT_NE(raw.find("<usb>"), std::string::npos);
    for (const auto& [open, close] : {std::pair<std::string, std::string>{"<pyPrint>", "</pyPrint>"}, {"<usb>", "</usb>"}}) {
        const auto from = raw.find(open);
        raw.erase(from, raw.find(close) + close.size() - from);
    }
    EXPECT_EQ(raw, "AT+CGMI\r\n\r\nWAVECOM MODEM\r\n\r\nOK\r\n");
}

TEST_F(RunningDevice, UnsolicitedTextGoesWhereChosen)
{
    device->ChangeFaults([](Faults& f) { f.unsolicited = "\r\n+CREG: 1\r\n"; });
    EXPECT_EQ(Ask("AT\r\n"), "AT\r\n\r\n+CREG: 1\r\n\r\nOK\r\n");
    device->ChangeFaults([](Faults& f) { f.unsolicitedAt = Faults::UnsolicitedAt::BeforeEcho; });
    EXPECT_EQ(Ask("AT\r\n"), "\r\n+CREG: 1\r\nAT\r\n\r\nOK\r\n");
    device->ChangeFaults([](Faults& f) { f.unsolicitedAt = Faults::UnsolicitedAt::AfterAnswer; });
    // It comes a moment after the answer, so a reader that stops at the result code leaves it waiting.
    EXPECT_EQ(Ask("AT\r\n"), "AT\r\n\r\nOK\r\n");
    EXPECT_EQ(client->ReadFor(300), "\r\n+CREG: 1\r\n");
}

TEST_F(RunningDevice, HangUpInTheMiddleOfAnAnswer)
{
    device->ChangeFaults([](Faults& f) { f.hangUpMidAnswer = true; });
    const std::string full = "AT+CGMR\r\n\r\nR7.54.0.201806141515.FXT009 2130196 061418 15:15\r\n\r\nOK\r\n";
    client->Send("AT+CGMR\r\n");
    const std::string partial = client->ReadAnswer(2000);
    EXPECT_FALSE(partial.empty());
    EXPECT_LT(partial.size(), full.size());
    EXPECT_EQ(full.rfind(partial, 0), 0u);
    EXPECT_TRUE(client->WaitForHangUp(2000));
    ASSERT_TRUE(device->WaitForPort(5000));
    EXPECT_FALSE(device->GetFaults().hangUpMidAnswer); // one-shot
    Connect();
    EXPECT_EQ(Ask("AT+CGMR\r\n"), full);
}

TEST_F(RunningDevice, SlowRestartKeepsThePortAwayLonger)
{
    device->ChangeFaults([](Faults& f) { f.slowRestartMs = 400; });
    device->Restart(50);
    EXPECT_FALSE(device->WaitForPort(200));
    EXPECT_TRUE(device->WaitForPort(5000));
}

TEST_F(RunningDevice, StopEndsARestartAtOnceAndRemovesThePort)
{
    const std::string path = device->PortPath();
    device->Restart(60000);
    device->Stop();
    EXPECT_FALSE(device->IsRunning());
    EXPECT_FALSE(LinkExists(path));
    EXPECT_FALSE(LinkExists(path.substr(0, path.rfind('/'))));
}

TEST(SimulatedQ7Link, ChosenPathReplacesAnOldLinkButNothingElse)
{
    const std::string dir = "/tmp/tervane-sim-link-test-" + std::to_string(getpid());
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    const std::string link = dir + "/ttyQ7";
    ASSERT_EQ(symlink("/dev/null", link.c_str()), 0);
    {
        SimulatedQ7 device;
        ASSERT_TRUE(device.Start(link));
        EXPECT_EQ(device.PortPath(), link);
        char target[256] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target).rfind("/dev/pts/", 0), 0u);
    } // the destructor stops the device
    EXPECT_FALSE(LinkExists(link));

    const std::string file = dir + "/plain";
    close(open(file.c_str(), O_CREAT | O_WRONLY, 0600));
    SimulatedQ7 refused;
    EXPECT_FALSE(refused.Start(file));
    unlink(file.c_str());
    rmdir(dir.c_str());
}

} // namespace
} // namespace tervane::sim
