#include "BatchWorker.h"
#include "CommandLog.h"
#include "SerialLink.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"
#include "TestSupport.h"
#include "TransferVerification.h"
#include "UploadWorker.h"

#include <gtest/gtest.h>

#include <unistd.h>

using tervane::FastClock;
using tervane::SerialLink;
using tervane::UploadSource;
using tervane::UploadStatus;

namespace {

using tervane::test::Pattern;

// An upload to the simulated device, then the digest query a page would run after it.
class UploadToDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.empty());
        ASSERT_TRUE(tervane::test::StartAndOpen(device, link));
        ASSERT_TRUE(log.Open(dir + "/command.log"));
        link.SetLog(&log);
    }
    void TearDown() override
    {
        link.ClosePort();
        device.Stop();
        log.Close();
        ::unlink((dir + "/command.log").c_str());
        for (const auto& path : files)
            ::unlink(path.c_str());
        ::rmdir(dir.c_str());
    }

    std::string SourceFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(tervane::test::WriteWholeFile(path, bytes));
        files.push_back(path);
        return path;
    }

    // The device's answer to the digest query for the source, as the batch leaves it.
    tervane::USBCommand QueryDigest(const UploadSource& source)
    {
        tervane::CommandBatch batch;
        tervane::USBCommand row;
        row.command = tervane::DigestQueryFor(source);
        row.prompt = "Verifying upload...";
        row.timeout = 15000;
        batch.AddTail(row);
        tervane::RunBatch(link, batch, nullptr);
        return *batch.GetHead();
    }

    std::string dir = tervane::test::MakeScratchDir("tervane-upload-sim");
    std::vector<std::string> files;
    tervane::sim::SimulatedQ7 device;
    FastClock clock {100};
    SerialLink link {clock};
    tervane::CommandLog log;
};

struct DeviceCase {
    const char* name;
    std::size_t size;
    bool firmwareImage;
    bool meshFile;
    const char* destination;
};

void PrintTo(const DeviceCase& row, std::ostream* os)
{
    *os << row.name;
}

class UploadsToDevice : public UploadToDevice, public ::testing::WithParamInterface<DeviceCase> {};

TEST_P(UploadsToDevice, AreStoredWholeAndPassTheDigestCheck)
{
    const auto& row = GetParam();
    const std::string bytes = Pattern(row.size);
    const UploadSource source(SourceFile("zb_app.py", bytes), row.firmwareImage, row.meshFile);
    const auto local = tervane::FileDigestHex(source.Path());
    ASSERT_TRUE(local);

    const auto result = tervane::RunUpload(link, source, nullptr);

    EXPECT_EQ(result.status, UploadStatus::Completed);
    EXPECT_EQ(device.GetFile(row.destination), bytes);
    const auto answer = QueryDigest(source);
    EXPECT_TRUE(tervane::DigestsMatch(*local, answer)) << answer.response;
}

INSTANTIATE_TEST_SUITE_P(Table, UploadsToDevice,
    ::testing::Values(DeviceCase {"empty_python", 0, false, false, "/WEB/python/zb_app.py"},
        DeviceCase {"b64_mesh", 64, false, true, "/WEB/mesh/zb_app.py"},
        DeviceCase {"b1536_python", 1536, false, false, "/WEB/python/zb_app.py"},
        DeviceCase {"b20000_firmware", 20000, true, false, "/fw/updatefw.dwl"}),
    [](const auto& row) { return std::string(row.param.name); });

struct FaultCase {
    const char* name;
    void (*apply)(tervane::sim::Faults&);
};

void PrintTo(const FaultCase& row, std::ostream* os)
{
    *os << row.name;
}

class DigestFaults : public UploadToDevice, public ::testing::WithParamInterface<FaultCase> {};

// A transfer the device got wrong, or a digest answer that is not the file's in lower case,
// is caught by the comparison and reported with the fixed text.
TEST_P(DigestFaults, AreCaughtByTheComparison)
{
    const std::string bytes = Pattern(5000);
    const UploadSource source(SourceFile("main.py", bytes), false, false);
    const std::string local = *tervane::FileDigestHex(source.Path());
    device.ChangeFaults(GetParam().apply);

    EXPECT_EQ(tervane::RunUpload(link, source, nullptr).status, UploadStatus::Completed);
    const auto answer = QueryDigest(source);

    EXPECT_FALSE(tervane::DigestsMatch(local, answer));
    const std::string shown = tervane::DeviceDigestText(answer.response);
    EXPECT_EQ(tervane::UploadMismatchMessage(local, answer.response),
        "File upload failed.  MD5 sum should have been " + local + ", but came back as " + shown
            + ".\r\nSelect Retry to attempt the file upload again.");
}

INSTANTIATE_TEST_SUITE_P(Table, DigestFaults,
    ::testing::Values(FaultCase {"corrupted_upload", [](tervane::sim::Faults& f) { f.corruptUploads = true; }},
        FaultCase {"upper_case_digest", [](tervane::sim::Faults& f) { f.upperCaseDigests = true; }},
        FaultCase {"wrong_digest", [](tervane::sim::Faults& f) { f.wrongDigests = true; }}),
    [](const auto& row) { return std::string(row.param.name); });

class DestinationErrors : public UploadToDevice, public ::testing::WithParamInterface<std::size_t> {};

// Also with the longest destination, whose echo and result code together outgrow a short
// answer buffer.
TEST_P(DestinationErrors, StopEverything)
{
    const std::string name = std::string(GetParam() - 3, 'f') + ".py";
    const std::string destination = "/WEB/python/" + name;
    const UploadSource source(SourceFile(name, Pattern(3000)), false, false);
    device.ChangeFaults([](tervane::sim::Faults& f) { f.errorFor = {"AT&USBINTERFACE=16,"}; });
    device.ClearReceivedCommands();

    const auto result = tervane::RunUpload(link, source, nullptr);

    EXPECT_EQ(result.status, UploadStatus::AnnouncementFailed);
    EXPECT_EQ(result.failedCommand, "AT&USBINTERFACE=16,\"" + destination + "\"\r\n");
    EXPECT_FALSE(device.HasFile(destination));
    const std::vector<std::string> expected {
        "AT&USBINTERFACE=17,3000", "AT&USBINTERFACE=3,3000", "AT&USBINTERFACE=16,\"" + destination + "\""};
    EXPECT_EQ(device.ReceivedCommands(), expected);
    // Nothing of the file reached the device.
    EXPECT_EQ(device.UploadCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(NameLength, DestinationErrors, ::testing::Values(8u, 64u),
    [](const auto& row) { return "Of" + std::to_string(row.param); });

TEST_F(UploadToDevice, AMissingFileOnTheDeviceFailsTheCheck)
{
    const UploadSource source(SourceFile("never_sent.py", "x"), false, false);
    const auto answer = QueryDigest(source);
    EXPECT_EQ(answer.failed, 1);
    EXPECT_FALSE(tervane::DigestsMatch(*tervane::FileDigestHex(source.Path()), answer));
}

} // namespace
