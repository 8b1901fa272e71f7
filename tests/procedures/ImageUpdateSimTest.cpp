// Firmware and radio firmware updates against the simulated device: upload, digest check,
// the Retry/Cancel question, and the install or flash with its read-back.
#include "FirmwareUpdate.h"
#include "RadioFirmwareUpdate.h"
#include "SimProcedureTest.h"
#include "TransferVerification.h"

#include <cctype>

namespace tervane::test {
namespace {

enum class Image { Firmware, Radio };

struct ImageTraits {
    const char* localName;
    const char* devicePath;
    const char* removal;  // the removal request's name attribute
    const char* finish;   // what the install or flash command carries
};

ImageTraits TraitsOf(Image image)
{
    if (image == Image::Firmware)
        return {"q7-2.5.0.3.bin", "/fw/updatefw.dwl", "rm name='/fw/updatefw.dwl'", "at&usbinterface=110"};
    return {"ravlo_fw.ebl", "/WEB/mesh/ravlo_fw.ebl", "rm name='/WEB/mesh/ravlo_fw.ebl'", "fw_update file="};
}

std::string NameOf(Image image)
{
    return image == Image::Firmware ? "Firmware" : "Radio";
}

// What both procedures end with, seen the same way.
struct ImageOutcome {
    bool done = false;       // installed or flashed
    bool cancelled = false;  // given up at the mismatch question
    int uploads = 0;
    std::string localDigest;
    std::string version;     // the version read back
};

class ImageUpdateTest : public SimProcedureTest {
protected:
    ImageOutcome Run(Image image, const std::string& path)
    {
        ImageOutcome outcome;
        if (image == Image::Firmware) {
            const auto result = UpdateFirmware(path, documents, runner, questions);
            outcome.done = result.outcome == FirmwareUpdateOutcome::Installed;
            outcome.cancelled = result.outcome == FirmwareUpdateOutcome::Cancelled;
            outcome.uploads = result.uploads;
            outcome.localDigest = result.localDigest;
            outcome.version = result.firmwareVersion;
        } else {
            const auto result = UpdateRadioFirmware(path, documents, runner, questions);
            outcome.done = result.outcome == RadioFirmwareUpdateOutcome::Flashed;
            outcome.cancelled = result.outcome == RadioFirmwareUpdateOutcome::Cancelled;
            outcome.uploads = result.uploads;
            outcome.localDigest = result.localDigest;
            outcome.version = result.radioFirmwareVersion;
        }
        return outcome;
    }

    std::string ImageFile(Image image) { return LocalFile(TraitsOf(image).localName, Pattern(5000)); }
};

class ImageUpdateEndToEnd : public ImageUpdateTest, public ::testing::WithParamInterface<Image> {};

TEST_P(ImageUpdateEndToEnd, InstallsAndReadsTheNewVersionBack)
{
    const Image image = GetParam();
    const ImageTraits traits = TraitsOf(image);
    const std::string path = ImageFile(image);

    const ImageOutcome outcome = Run(image, path);

    EXPECT_TRUE(outcome.done);
    EXPECT_EQ(outcome.uploads, 1);
    EXPECT_TRUE(questions.asked.empty());
    EXPECT_EQ(questions.events, std::vector<std::string>{"documents"});
    EXPECT_EQ(device.GetFile(traits.devicePath), Pattern(5000));
    if (image == Image::Firmware) {
        EXPECT_EQ(device.FirmwareVersion(), device.Config().installedFirmwareVersion);
        EXPECT_EQ(outcome.version, device.Config().installedFirmwareVersion);
        EXPECT_EQ(device.RestartCount(), 1);
        // The state was asked for after the device came back.
        EXPECT_GT(FindReceived("<query_state/>", FindReceived("at&usbinterface=110")), 0);
    } else {
        EXPECT_EQ(device.RadioFirmwareVersion(), device.Config().updatedRadioFirmwareVersion);
        EXPECT_EQ(outcome.version, device.Config().updatedRadioFirmwareVersion);
        // The radio flashes from the mesh folder and is told the bare name.
        EXPECT_TRUE(Received("<fw_update file='ravlo_fw.ebl'/>"));
        EXPECT_NE(documents.RadioSettingsRoot(), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Images, ImageUpdateEndToEnd, ::testing::Values(Image::Firmware, Image::Radio),
    [](const auto& row) { return NameOf(row.param); });

struct MismatchCase {
    const char* name;
    Image image;
    sim::Faults faults;
};

class ImageMismatchCancelled : public ImageUpdateTest, public ::testing::WithParamInterface<MismatchCase> {};

TEST_P(ImageMismatchCancelled, LeavesTheImageAndInstallsNothing)
{
    const Image image = GetParam().image;
    const ImageTraits traits = TraitsOf(image);
    const std::string path = ImageFile(image);
    device.SetFaults(GetParam().faults);
    questions.answers = {Answer::Cancel};

    const ImageOutcome outcome = Run(image, path);

    EXPECT_TRUE(outcome.cancelled);
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0].kind, QuestionKind::RetryCancel);
    EXPECT_EQ(questions.asked[0].caption, "Error");
    const std::string head = "File upload failed.  MD5 sum should have been " + outcome.localDigest + ", but came back as ";
    const std::string& text = questions.asked[0].text;
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_TRUE(text.ends_with(".\r\nSelect Retry to attempt the file upload again.")) << text;
    if (GetParam().faults.upperCaseDigests) {
        std::string upper = outcome.localDigest;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(text, UploadMismatchMessage(outcome.localDigest, upper));
    }
    EXPECT_TRUE(device.HasFile(traits.devicePath));
    EXPECT_FALSE(Received(traits.removal));
    EXPECT_FALSE(Received(traits.finish));
    EXPECT_TRUE(questions.events == std::vector<std::string>{"ask"}) << "no documents may be replaced";
}

INSTANTIATE_TEST_SUITE_P(Faults, ImageMismatchCancelled,
    ::testing::Values(MismatchCase{"FirmwareCorrupted", Image::Firmware, Corrupt()},
        MismatchCase{"FirmwareWrongDigest", Image::Firmware, WrongDigests()},
        MismatchCase{"FirmwareUpperCaseDigest", Image::Firmware, UpperCaseDigests()},
        MismatchCase{"RadioCorrupted", Image::Radio, Corrupt()},
        MismatchCase{"RadioUpperCaseDigest", Image::Radio, UpperCaseDigests()}),
    [](const auto& row) { return std::string(row.param.name); });

class ImageMismatchRetried : public ImageUpdateTest, public ::testing::WithParamInterface<Image> {};

TEST_P(ImageMismatchRetried, RemovesTheImageThenUploadsAgain)
{
    const Image image = GetParam();
    const ImageTraits traits = TraitsOf(image);
    const std::string path = ImageFile(image);
    device.SetFaults(Corrupt());
    questions.answers = {Answer::Retry};
    questions.beforeAnswer = [this] { device.SetFaults({}); };

    const ImageOutcome outcome = Run(image, path);

    EXPECT_TRUE(outcome.done);
    EXPECT_EQ(outcome.uploads, 2);
    EXPECT_EQ(questions.asked.size(), 1u);
    const long firstUpload = FindReceived("AT&USBINTERFACE=17,");
    const long removal = FindReceived(traits.removal);
    const long secondUpload = FindReceived("AT&USBINTERFACE=17,", firstUpload + 1);
    ASSERT_GE(firstUpload, 0);
    EXPECT_GT(removal, firstUpload);
    EXPECT_GT(secondUpload, removal);
    EXPECT_GT(FindReceived(traits.finish, secondUpload), secondUpload);
    EXPECT_EQ(device.GetFile(traits.devicePath), Pattern(5000));
}

INSTANTIATE_TEST_SUITE_P(Images, ImageMismatchRetried, ::testing::Values(Image::Firmware, Image::Radio),
    [](const auto& row) { return NameOf(row.param); });

} // namespace
} // namespace tervane::test
