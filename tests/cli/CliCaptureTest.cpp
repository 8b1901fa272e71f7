// capture against simulated gateways: a golden gateway's profile makes another match it,
// secrets only on request, identity never, and an existing profile kept unless --force.

#include "CliSimFixture.h"

#include <QJsonArray>
#include <QJsonObject>

#include <filesystem>
#include <map>

namespace tervane::test {
namespace {

namespace fs = std::filesystem;

class CliCaptureTest : public CliSimTest {
protected:
    void SetUp() override
    {
        CliSimTest::SetUp();
        ASSERT_TRUE(other.Start());
    }

    void TearDown() override
    {
        other.Stop();
        CliSimTest::TearDown();
    }

    CliRun RunOn(const sim::SimulatedQ7& gateway, std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--port", gateway.PortPath()});
        CliSetting setting;
        setting.clock = &clock;
        return RunTool(args, setting);
    }

    // Every file of a folder by name, with its bytes.
    static std::map<std::string, std::string> Folder(const fs::path& folder)
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(folder))
            files[entry.path().filename().string()] = ReadWholeFile(entry.path().string());
        return files;
    }

    sim::SimulatedQ7 other {sim::NthGateway(FastRestarts(), 1)};
};

TEST_F(CliCaptureTest, CaptureApplyCaptureGivesTheSameProfile)
{
    // The golden gateway, configured by hand.
    device.SetSetting("mobile_simple/apn", "golden.example");
    device.SetSetting("mobile_simple/password", "s3cret");
    device.SetSetting("system/location", "Hall 7: \"north\" #2");
    device.SetSetting("python/state", "on");
    device.SetSetting("python/command", "golden.py");
    ASSERT_TRUE(device.SetRadioSetting("radio/node_id", "GOLDEN"));
    device.PutFile("/WEB/python/golden.py", "print('golden')\n");
    device.PutFile("/WEB/python/main.py", "print('golden main')\n");
    // The other one differs in settings, radio settings and Python files.
    other.SetSetting("mobile_simple/apn", "other.example");
    other.SetSetting("telnet_server/port", "2323");
    ASSERT_TRUE(other.SetRadioSetting("radio/power_level", "2"));
    other.PutFile("/WEB/python/main.py", "print('old main')\n");

    const std::string golden = (fs::path(dir) / "a" / "golden.yaml").string();
    const std::string copy = (fs::path(dir) / "b" / "golden.yaml").string();
    fs::create_directories(fs::path(golden).parent_path());
    fs::create_directories(fs::path(copy).parent_path());

    const CliRun captured = RunOn(device, {"--json", "--with-secrets", "capture", golden});
    ASSERT_EQ(captured.status, 0) << captured.err;
    const QJsonObject json = ParseJson(captured.out);
    EXPECT_EQ(json["settings"].toObject()["mobile_simple/apn"].toString(), "golden.example");
    EXPECT_EQ(json["pythonFiles"].toArray().size(), 4) << captured.out;

    const CliRun applied = RunOn(other, {"apply", golden});
    ASSERT_EQ(applied.status, 0) << applied.err << applied.out;
    EXPECT_EQ(other.Setting("mobile_simple/apn"), "golden.example");
    EXPECT_EQ(other.Setting("mobile_simple/password"), "s3cret");
    EXPECT_EQ(other.RadioSetting("radio/node_id"), "GOLDEN");
    EXPECT_EQ(other.GetFile("/WEB/python/main.py"), "print('golden main')\n");

    const CliRun again = RunOn(other, {"--with-secrets", "capture", copy});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(ReadWholeFile(golden), ReadWholeFile(copy));
    EXPECT_EQ(Folder(fs::path(dir) / "a" / "golden-python"), Folder(fs::path(dir) / "b" / "golden-python"));
    EXPECT_EQ(RunOn(other, {"--check", "apply", golden}).status, 0) << "the copy holds the profile";
}

TEST_F(CliCaptureTest, SecretsOnlyOnRequestAndIdentityNever)
{
    device.SetSetting("mobile_simple/password", "s3cret");
    device.SetSetting("mobile_simple/pin", "4711");
    const std::string profile = dir + "/golden.yaml";
    const CliRun run = RunOn(device, {"--json", "capture", profile});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string text = ReadWholeFile(profile);
    EXPECT_EQ(text.find("s3cret"), std::string::npos);
    EXPECT_EQ(text.find("4711"), std::string::npos);
    EXPECT_NE(text.find("# mobile_simple/password left out: a secret (capture --with-secrets writes it)"),
        std::string::npos)
        << text;
    EXPECT_EQ(ParseJson(run.out)["secretsLeftOut"].toArray().size(), 2) << run.out;
    for (const char* identity : {"356938035643809", "89012601234567890128", "310260123456789"})
        EXPECT_EQ(text.find(identity), std::string::npos) << identity;
    EXPECT_EQ(text.find("image"), std::string::npos) << "no image unless named";
}

TEST_F(CliCaptureTest, AnExistingProfileIsReplacedOnlyWithForce)
{
    const std::string profile = LocalFile("golden.yaml", "settings: {}\n");
    const std::string image = LocalFile("q7-2.4.1.7.bin", "image bytes");
    const CliRun refused = RunOn(device, {"capture", profile});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find(profile + " exists; capture --force replaces it"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadWholeFile(profile), "settings: {}\n");
    EXPECT_TRUE(device.ReceivedCommands().empty()) << "refused before the device is asked";

    const CliRun forced = RunOn(device, {"--force", "--firmware-image", image, "capture", profile});
    ASSERT_EQ(forced.status, 0) << forced.err;
    const std::string text = ReadWholeFile(profile);
    EXPECT_NE(text.find("version: \"2.4.1.7\"\n  image: \"" + fs::absolute(image).lexically_normal().string()),
        std::string::npos)
        << text;
}

// A file that cannot be downloaded verified leaves no profile behind: one without it
// would not make another gateway match.
TEST_F(CliCaptureTest, AFileThatDoesNotVerifyWritesNoProfile)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.errorFor.push_back("usbinterface=41"); });
    const std::string profile = dir + "/golden.yaml";
    const CliRun run = RunOn(device, {"--retries", "0", "capture", profile});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_FALSE(fs::exists(profile));
}

} // namespace
} // namespace tervane::test
