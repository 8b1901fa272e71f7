// The Python files procedures against the simulated device: list, upload, download, delete.
#include "CommandLog.h"
#include "PythonFiles.h"
#include "RciRequests.h"
#include "SimEncoding.h"
#include "SimProcedureTest.h"
#include "TransferVerification.h"

#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <thread>

namespace tervane::test {
namespace {

class PythonFilesTest : public SimProcedureTest {
protected:
    // The ticked items as the page hands them over: the listed entries themselves.
    static std::vector<PythonFileItem> Ticked(const PythonFileList& list, const std::vector<std::string>& names)
    {
        std::vector<PythonFileItem> items;
        for (const std::string& name : names) {
            for (const PythonFileEntry& entry : list) {
                if (entry.name == name)
                    items.push_back(ItemForEntry(entry));
            }
        }
        EXPECT_EQ(items.size(), names.size());
        return items;
    }

    static bool Lists(const PythonFileList& list, const std::string& name, const std::string& size)
    {
        return std::any_of(list.begin(), list.end(),
            [&](const PythonFileEntry& entry) { return entry.name == name && entry.size == size; });
    }

    std::string Saved(const std::string& name) const { return dir + "/" + name; }
};

TEST_F(PythonFilesTest, ListShowsTheDevicesFiles)
{
    const PythonFileList list = ListPythonFiles(runner);

    ASSERT_EQ(list.size(), 3u);
    EXPECT_TRUE(Lists(list, "main.py", std::to_string(device.GetFile("/WEB/python/main.py")->size())));
    EXPECT_EQ(FileListItemText(list[0]).size(), 12u + 4u + 8u);
}

TEST_F(PythonFilesTest, UploadVerifiesAndRefreshesTheList)
{
    const std::string bytes = "import time\nprint('blink')\n" + Pattern(3000);
    const std::string path = LocalFile("blink.py", bytes);

    const PythonUploadResult result = UploadPythonFile(path, runner, questions);

    EXPECT_EQ(result.outcome, PythonUploadOutcome::Verified);
    EXPECT_TRUE(questions.asked.empty());
    EXPECT_EQ(device.GetFile("/WEB/python/blink.py"), bytes);
    ASSERT_TRUE(result.listRefreshed);
    EXPECT_TRUE(Lists(result.files, "blink.py", std::to_string(bytes.size())));
    EXPECT_EQ(result.files.size(), 4u);
}

TEST_F(PythonFilesTest, UploadCancelledAtTheMismatchStillRefreshesTheList)
{
    const std::string path = LocalFile("blink.py", Pattern(2000));
    device.SetFaults(Corrupt());
    questions.answers = {Answer::Retry, Answer::Cancel};

    const PythonUploadResult result = UploadPythonFile(path, runner, questions);

    EXPECT_EQ(result.outcome, PythonUploadOutcome::Cancelled);
    EXPECT_EQ(result.uploads, 2);
    ASSERT_EQ(questions.asked.size(), 2u);
    EXPECT_EQ(questions.asked[0].caption, "Error");
    EXPECT_EQ(questions.asked[0].text, "The file " + path + " did not correctly transfer.");
    // A retry overwrites the bad copy; nothing is removed.
    EXPECT_FALSE(Received("<rm "));
    EXPECT_TRUE(result.listRefreshed);
    EXPECT_TRUE(Lists(result.files, "blink.py", "2000"));
}

TEST_F(PythonFilesTest, DownloadsTickedFilesAndSkipsOneWhoseSaveIsCancelled)
{
    const std::string big = Pattern(20000, 3);
    device.PutFile("/WEB/python/tables.py", big);
    const PythonFileList list = ListPythonFiles(runner);
    questions.savePaths = {Saved("main.py"), std::nullopt, Saved("tables-copy.py")};

    const auto results = DownloadPythonFiles(Ticked(list, {"main.py", "xbee.py", "tables.py"}), runner, questions);

    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].outcome, PythonDownloadOutcome::Saved);
    EXPECT_EQ(results[1].outcome, PythonDownloadOutcome::NotSaved);
    EXPECT_EQ(results[2].outcome, PythonDownloadOutcome::Saved);
    EXPECT_EQ(ReadWholeFile(Saved("main.py")), *device.GetFile("/WEB/python/main.py"));
    EXPECT_FALSE(std::filesystem::exists(Saved("xbee.py")));
    EXPECT_EQ(ReadWholeFile(Saved("tables-copy.py")), big);
    EXPECT_TRUE(questions.asked.empty());
    // The dialog proposes the name asked for.
    ASSERT_EQ(questions.saveChoices.size(), 3u);
    EXPECT_EQ(questions.saveChoices[1].initialName, "xbee.py");
    EXPECT_TRUE(questions.saveChoices[1].filter.empty());
    EXPECT_TRUE(questions.saveChoices[1].defaultExtension.empty());
    // Only the folder's own files are in it: nothing half-written was left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 2);
}

// Real time whose tick count moves `slowDown` times slower, so that every wait the link
// measures in ticks lasts that much longer: for moving more bytes through the simulated
// device than a loaded machine can promise within the device's own time-outs.
class PatientClock : public Clock {
public:
    explicit PatientClock(uint32_t slowDown)
        : m_slowDown(slowDown)
    {
    }
    uint32_t TickCount() override { return static_cast<uint32_t>(MicroTicks() / 1000); }
    uint64_t MicroTicks() override
    {
        const auto elapsed = std::chrono::steady_clock::now() - m_start;
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()) /
            m_slowDown;
    }
    void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

private:
    const uint32_t m_slowDown;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// Files whose replies outgrow the room other replies have come back whole. The 17 MiB reply
// takes seconds under the sanitizers; its 40 s time-out runs on a clock four times slower, so
// that a busy machine cannot make it run out.
TEST_F(PythonFilesTest, DownloadsLargerThanTheirRoomComeBackWhole)
{
    link.ClosePort();
    PatientClock patient {4};
    SerialLink patientLink {patient};
    patientLink.SetPortName(device.PortPath());
    ASSERT_TRUE(patientLink.OpenPort());
    DirectRunner patientRunner {patientLink};

    const struct {
        const char* name;
        std::size_t size;
        unsigned seed;
    } files[] = {
        // Its Base64 form, in lines, is larger than the file itself plus the base buffer.
        {"big.py", 400000, 11},
        // Its reply, the file in Base64, is far beyond what any other reply may be.
        {"huge.py", 17u << 20, 5},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        const std::string bytes = Pattern(file.size, file.seed);
        device.PutFile(std::string("/WEB/python/") + file.name, bytes);
        questions.savePaths = {Saved(file.name)};

        const auto results =
            DownloadPythonFiles(Ticked(ListPythonFiles(patientRunner), {file.name}), patientRunner, questions);

        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].outcome, PythonDownloadOutcome::Saved);
        EXPECT_EQ(results[0].exchanges, 1);
        EXPECT_TRUE(questions.asked.empty());
        EXPECT_TRUE(ReadWholeFile(Saved(file.name)) == bytes);
    }
}

// File replies in shapes the device does not send but a reader must take as the same file:
// the file's text is read from the first data element of get_file, whatever splits it.
struct FileReplyShape {
    const char* name;
    std::string (*reply)(const std::string& base64);
};

std::string WithReplyAround(const std::string& getFileInside)
{
    return "<rci_reply version=\"1.1\"><do_command target=\"file_system\">"
           "<get_file name=\"/WEB/python/main.py\">" +
        getFileInside + "</get_file></do_command></rci_reply>";
}

class FileReplyShapes : public PythonFilesTest, public ::testing::WithParamInterface<FileReplyShape> { };

TEST_P(FileReplyShapes, DecodeToTheDevicesFile)
{
    sim::Faults faults;
    faults.fileReply = GetParam().reply(sim::Base64Encode(*device.GetFile("/WEB/python/main.py"), 64));
    device.SetFaults(faults);
    questions.savePaths = {Saved("main.py")};

    const auto results = DownloadPythonFiles(Ticked(ListPythonFiles(runner), {"main.py"}), runner, questions);

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, PythonDownloadOutcome::Saved);
    EXPECT_TRUE(questions.asked.empty());
    EXPECT_EQ(ReadWholeFile(Saved("main.py")), *device.GetFile("/WEB/python/main.py"));
}

INSTANTIATE_TEST_SUITE_P(Shapes, FileReplyShapes,
    ::testing::Values(FileReplyShape {"cdata_and_comment_inside",
                          [](const std::string& b) {
                              const std::size_t half = b.size() / 2;
                              return WithReplyAround("<data>" + b.substr(0, half) + "<!-- part --><![CDATA[" +
                                  b.substr(half) + "]]></data>");
                          }},
        FileReplyShape {"text_in_a_child_element",
            [](const std::string& b) { return WithReplyAround("<data><part>" + b + "</part></data>"); }},
        FileReplyShape {"a_later_data_element_ignored",
            [](const std::string& b) { return WithReplyAround("<data>" + b + "</data><data>QUJD</data>"); }},
        FileReplyShape {"data_of_another_element_first",
            [](const std::string& b) { return WithReplyAround("<x><data>QUJD</data></x><data>" + b + "</data>"); }},
        FileReplyShape {"references_and_blanks_skipped",
            [](const std::string& b) { return WithReplyAround("<data>&amp;&#32;" + b + "&lt;</data>"); }}),
    [](const ::testing::TestParamInfo<FileReplyShape>& row) { return std::string(row.param.name); });

// Replies no file may be written from: each is refused at the parse, the user is asked,
// and nothing is saved.
struct HostileFileReply {
    const char* name;
    std::string reply;
};

class HostileFileReplies : public PythonFilesTest, public ::testing::WithParamInterface<HostileFileReply> { };

TEST_P(HostileFileReplies, AreRefusedAndWriteNothing)
{
    sim::Faults faults;
    faults.fileReply = GetParam().reply;
    device.SetFaults(faults);
    questions.savePaths = {Saved("main.py")};
    questions.answers = {Answer::Cancel};

    const auto results = DownloadPythonFiles(Ticked(ListPythonFiles(runner), {"main.py"}), runner, questions);

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, PythonDownloadOutcome::Cancelled);
    ASSERT_EQ(questions.asked.size(), 1u);
    // The failure's own words, then why, then the way on.
    const std::string& text = questions.asked[0].text;
    EXPECT_EQ(text.rfind("File download failed. The device", 0), 0u) << text;
    EXPECT_TRUE(text.ends_with(".\r\nSelect Retry to attempt the file download again.")) << text;
    // Nothing was saved, and what was decoded as it came is gone.
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

INSTANTIATE_TEST_SUITE_P(Replies, HostileFileReplies,
    ::testing::Values(HostileFileReply {"internal_entity",
                          "<!DOCTYPE r [<!ENTITY x \"QUJD\">]>" + WithReplyAround("<data>&x;</data>")},
        HostileFileReply {"external_entity",
            "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" + WithReplyAround("<data>&x;</data>")},
        HostileFileReply {"doctype_alone",
            "<!DOCTYPE rci_reply SYSTEM \"http://example.com/r.dtd\">" + WithReplyAround("<data>QUJD</data>")},
        HostileFileReply {"undeclared_entity", WithReplyAround("<data>QUJD&x;</data>")},
        // Far more than the listed size can need, with bytes outside the alphabet: the reply
        // is cut at its receive room and never ends.
        HostileFileReply {"huge_base64_with_garbage",
            WithReplyAround("<data>" + std::string(3u << 20, 'Q') + std::string(1000, '\x01') + "</data>")},
        HostileFileReply {"not_well_formed", WithReplyAround("<data>QUJD</dta>")}),
    [](const ::testing::TestParamInfo<HostileFileReply>& row) { return std::string(row.param.name); });

// A file whose reply is longer than what is read whole goes into the file as it arrives.
// The device's own output mixed into the reply (a <pyPrint> span after the echo, a <usb> span
// in the middle of the data), answers that come in pieces of any size, and the command log,
// which reads the answer whole, leave the same file.
struct StreamedDownload {
    const char* name;
    std::size_t fragmentBytes;
    bool printSpans;
    bool logged;
};

class StreamedDownloads : public PythonFilesTest, public ::testing::WithParamInterface<StreamedDownload> { };

TEST_P(StreamedDownloads, SaveTheDevicesFile)
{
    const std::string bytes = Pattern(3u << 19, 9);
    device.PutFile("/WEB/python/stream.py", bytes);
    const PythonFileList list = ListPythonFiles(runner);
    sim::Faults faults;
    faults.fragmentBytes = GetParam().fragmentBytes;
    faults.printSpans = GetParam().printSpans;
    device.SetFaults(faults);
    const std::string logDir = MakeScratchDir("tervane-download-log");
    CommandLog log;
    if (GetParam().logged) {
        ASSERT_TRUE(log.Open(logDir + "/command.log"));
        link.SetLog(&log);
    }
    questions.savePaths = {Saved("stream.py")};

    const auto results = DownloadPythonFiles(Ticked(list, {"stream.py"}), runner, questions);
    link.SetLog(nullptr);
    log.Close();
    std::filesystem::remove_all(logDir);

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, PythonDownloadOutcome::Saved);
    EXPECT_EQ(results[0].savedBytes, static_cast<long long>(bytes.size()));
    EXPECT_TRUE(questions.asked.empty());
    EXPECT_TRUE(ReadWholeFile(Saved("stream.py")) == bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Replies, StreamedDownloads,
    ::testing::Values(StreamedDownload {"as_it_comes", 0, false, false},
        StreamedDownload {"with_the_devices_output", 0, true, false},
        StreamedDownload {"in_odd_pieces_with_output", 4093, true, false},
        StreamedDownload {"in_small_pieces_with_output", 701, true, false},
        StreamedDownload {"logged_with_output", 0, true, true}),
    [](const ::testing::TestParamInfo<StreamedDownload>& row) { return std::string(row.param.name); });

// Long replies no file may come from: the reply is read as it arrives, the file decoded so
// far is dropped, the user is asked, and nothing is left beside the target.
struct HostileLongReply {
    const char* name;
    std::string reply;      // empty: the device's own reply
    std::string listedSize; // not empty: the size the listing gives instead
};

std::string LongBase64()
{
    return sim::Base64Encode(Pattern(3u << 19, 4), 64);
}

std::string GetFileOpen()
{
    return "<rci_reply version=\"1.1\"><do_command target=\"file_system\"><get_file name=\"/WEB/python/main.py\">";
}

class HostileLongReplies : public PythonFilesTest, public ::testing::WithParamInterface<HostileLongReply> { };

TEST_P(HostileLongReplies, AreRefusedAndLeaveNothing)
{
    device.PutFile("/WEB/python/main.py", Pattern(3u << 19, 4));
    sim::Faults faults;
    faults.fileReply = GetParam().reply;
    faults.listedSize = GetParam().listedSize;
    device.SetFaults(faults);
    const std::string existing = LocalFile("main.py", "what was there\n");
    questions.savePaths = {existing};
    questions.answers = {Answer::Cancel};

    const auto results = DownloadPythonFiles(Ticked(ListPythonFiles(runner), {"main.py"}), runner, questions);

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, PythonDownloadOutcome::Cancelled);
    ASSERT_EQ(questions.asked.size(), 1u);
    // The failure's own words, then why, then the way on.
    const std::string& text = questions.asked[0].text;
    EXPECT_EQ(text.rfind("File download failed. The device", 0), 0u) << text;
    EXPECT_TRUE(text.ends_with(".\r\nSelect Retry to attempt the file download again.")) << text;
    EXPECT_EQ(ReadWholeFile(existing), "what was there\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Replies, HostileLongReplies,
    ::testing::Values(HostileLongReply {"markup_inside_the_data",
                          WithReplyAround("<data>" + LongBase64() + "<x/>QUJD</data>"), {}},
        HostileLongReply {"reference_inside_the_data", WithReplyAround("<data>" + LongBase64() + "&#65;QUJD</data>"),
            {}},
        HostileLongReply {"data_of_another_element_first",
            WithReplyAround("<x><data>" + LongBase64() + "</data></x><data>QUJD</data>"), {}},
        HostileLongReply {"print_span_never_closed_in_the_data",
            WithReplyAround("<data>" + LongBase64() + "<pyPrint>QUJD</data>"), {}},
        HostileLongReply {"data_never_ends", GetFileOpen() + "<data>" + LongBase64(), {}},
        HostileLongReply {"not_well_formed_after_the_data", WithReplyAround("<data>" + LongBase64() + "</dta>"), {}},
        HostileLongReply {"too_much_before_the_data",
            "<!--" + std::string(70000, 'x') + "-->" + WithReplyAround("<data>" + LongBase64() + "</data>"), {}},
        HostileLongReply {"too_much_after_the_data",
            WithReplyAround("<data>" + LongBase64() + "</data><!--" + std::string(70000, 'x') + "-->"), {}},
        HostileLongReply {"doctype_around_the_data",
            "<!DOCTYPE rci_reply SYSTEM \"http://example.com/r.dtd\">" +
                WithReplyAround("<data>" + LongBase64() + "</data>"),
            {}},
        // The listing says far less than the file holds: its reply outgrows its room and is cut.
        HostileLongReply {"longer_than_its_room", {}, "1200000"}),
    [](const ::testing::TestParamInfo<HostileLongReply>& row) { return std::string(row.param.name); });

TEST_F(PythonFilesTest, DownloadOfAFileTheDeviceLacksAsksAndWritesNothing)
{
    // The file went away after the list was read: the device's answer holds get_file
    // without data.
    const PythonFileList list = ListPythonFiles(runner);
    ASSERT_TRUE(device.RemoveFile("/WEB/python/xbee.py"));
    questions.savePaths = {Saved("xbee.py"), Saved("xbee.py")};
    questions.answers = {Answer::Retry, Answer::Cancel};

    const auto results = DownloadPythonFiles(Ticked(list, {"xbee.py"}), runner, questions);

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, PythonDownloadOutcome::Cancelled);
    EXPECT_EQ(results[0].exchanges, 2);
    ASSERT_EQ(questions.asked.size(), 2u);
    EXPECT_EQ(questions.asked[0].text,
        "File download failed. The device's reply holds no file.\r\nSelect Retry to attempt the file download again.");
    EXPECT_EQ(questions.saveChoices.size(), 2u);
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    EXPECT_TRUE(Received("<get_file name='/WEB/python/xbee.py'/>"));
}

// Names longer than the list's narrowest column, and names with blanks, reach the device whole.
class PythonFileNames : public PythonFilesTest, public ::testing::WithParamInterface<const char*> { };

TEST_P(PythonFileNames, DownloadAndDeleteActOnTheWholeName)
{
    const std::string name = GetParam();
    const std::string path = "/WEB/python/" + name;
    const std::string bytes = "print('" + name + "')\n" + Pattern(500, 5);
    device.PutFile(path, bytes);
    questions.savePaths = {Saved("copy.py")};

    const auto results = DownloadPythonFiles(Ticked(ListPythonFiles(runner), {name}), runner, questions);

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].name, name);
    EXPECT_EQ(results[0].outcome, PythonDownloadOutcome::Saved);
    EXPECT_TRUE(questions.asked.empty());
    ASSERT_EQ(questions.saveChoices.size(), 1u);
    EXPECT_EQ(questions.saveChoices[0].initialName, name);
    EXPECT_EQ(ReadWholeFile(Saved("copy.py")), bytes);

    const PythonDeleteResult deleted = DeletePythonFiles(Ticked(ListPythonFiles(runner), {name}), runner, questions);

    EXPECT_TRUE(deleted.refused.empty());
    EXPECT_FALSE(device.HasFile(path));
    EXPECT_EQ(deleted.files.size(), 3u);
    EXPECT_TRUE(questions.asked.empty());
}

INSTANTIATE_TEST_SUITE_P(Names, PythonFileNames,
    ::testing::Values("sensor_calibration_table.py", "my program.py", "long name with several blanks.py"),
    [](const auto& row) {
        std::string label = row.param;
        for (char& c : label)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return label;
    });

// A download that fails its digest never replaces the good copy the user already has;
// when the user gives up it is kept beside it, so nothing is lost either way.
struct BadDownload {
    const char* label;
    sim::Faults faults;
};

class PythonBadDownloadTest : public PythonFilesTest, public ::testing::WithParamInterface<BadDownload> { };

TEST_P(PythonBadDownloadTest, KeepsTheGoodCopyAndTheDownloadBesideIt)
{
    const std::string target = Saved("main.py");
    ASSERT_TRUE(WriteWholeFile(target, "the good copy\n"));
    device.SetFaults(GetParam().faults);
    questions.savePaths = {target, target};
    questions.answers = {Answer::Retry, Answer::Cancel};

    const auto results = DownloadPythonFiles(Ticked(ListPythonFiles(runner), {"main.py"}), runner, questions);

    EXPECT_EQ(results[0].outcome, PythonDownloadOutcome::Cancelled);
    EXPECT_EQ(results[0].exchanges, 2);
    EXPECT_TRUE(results[0].savedPath.empty());
    EXPECT_EQ(results[0].unverifiedPath, target + ".unverified");
    ASSERT_EQ(questions.asked.size(), 2u);
    const std::string kept = FileDigestHex(target + ".unverified").value_or("none");
    EXPECT_EQ(questions.asked[1].text.rfind("File download failed.  MD5 sum should have been " + kept +
                      ", but came back as ",
                  0),
        0u)
        << questions.asked[1].text;
    EXPECT_EQ(ReadWholeFile(target), "the good copy\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 2)
        << "the retry's download is not left behind";
}

sim::Faults ShortFileData()
{
    sim::Faults faults;
    faults.shortFileData = true;
    return faults;
}

INSTANTIATE_TEST_SUITE_P(Faults, PythonBadDownloadTest,
    ::testing::Values(BadDownload {"WrongDigest", WrongDigests()}, BadDownload {"Base64EndsEarly", ShortFileData()}),
    [](const auto& row) { return std::string(row.param.label); });

// The reply names a file of the device's choosing; the digest of the asked file still
// matches its bytes, so only the name tells.
TEST_F(PythonFilesTest, AReplyForAnotherFileIsAFailedDownload)
{
    sim::Faults faults;
    faults.fileReplyName = "/WEB/python/.bashrc";
    device.SetFaults(faults);
    questions.savePaths = {Saved("main.py"), Saved("main.py")};
    questions.answers = {Answer::Retry, Answer::Cancel};

    const auto results = DownloadPythonFiles(Ticked(ListPythonFiles(runner), {"main.py"}), runner, questions);

    EXPECT_EQ(results[0].outcome, PythonDownloadOutcome::Cancelled);
    EXPECT_EQ(results[0].exchanges, 2);
    ASSERT_EQ(questions.asked.size(), 2u);
    EXPECT_EQ(questions.asked[0].kind, QuestionKind::RetryCancel);
    EXPECT_EQ(questions.asked[0].text,
        "File download failed: the device sent /WEB/python/.bashrc instead of "
        "/WEB/python/main.py.\r\nSelect Retry to attempt the file download again.");
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST_F(PythonFilesTest, DownloadToAnUnwritablePlaceIsReportedAndRetried)
{
    const std::string unwritable = dir + "/no-such-folder/main.py";
    questions.savePaths = {unwritable, Saved("main.py")};
    questions.answers = {Answer::Retry};

    const auto results = DownloadPythonFiles(Ticked(ListPythonFiles(runner), {"main.py"}), runner, questions);

    // Nothing is fetched for a place that cannot be written.
    EXPECT_EQ(results[0].outcome, PythonDownloadOutcome::Saved);
    EXPECT_EQ(results[0].exchanges, 1);
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_TRUE(questions.asked[0].text.starts_with("Unable to write the file " + unwritable + ": "));
    EXPECT_FALSE(std::filesystem::exists(dir + "/no-such-folder"));
    EXPECT_EQ(ReadWholeFile(Saved("main.py")), *device.GetFile("/WEB/python/main.py"));
}

TEST_F(PythonFilesTest, DeleteRemovesTickedFilesAndRefreshes)
{
    const PythonFileList list = ListPythonFiles(runner);

    const PythonDeleteResult result = DeletePythonFiles(Ticked(list, {"main.py", "xbee.py"}), runner, questions);

    EXPECT_FALSE(device.HasFile("/WEB/python/main.py"));
    EXPECT_FALSE(device.HasFile("/WEB/python/xbee.py"));
    EXPECT_TRUE(device.HasFile("/WEB/python/sensor_report.py"));
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].name, "sensor_report.py");
    EXPECT_TRUE(questions.asked.empty());
    ASSERT_EQ(result.sent.size(), 2u);
    EXPECT_EQ(result.sent[0].name, "main.py");
    EXPECT_EQ(result.sent[0].refused, std::nullopt);
    EXPECT_EQ(result.sent[1].name, "xbee.py");
    EXPECT_EQ(result.sent[1].refused, std::nullopt);
}

// Each removal says what the device answered: a file it no longer holds is refused in its
// own words, and an ERROR answer is refused too; the other removals go through.
TEST_F(PythonFilesTest, DeleteSaysPerFileWhetherTheDeviceRefused)
{
    const std::vector<PythonFileItem> items =
        Ticked(ListPythonFiles(runner), {"main.py", "xbee.py", "sensor_report.py"});
    ASSERT_TRUE(device.RemoveFile("/WEB/python/main.py"));
    device.ChangeFaults([](sim::Faults& faults) { faults.errorFor = {"sensor_report.py"}; });

    const PythonDeleteResult result = DeletePythonFiles(items, runner, questions);

    ASSERT_EQ(result.sent.size(), 3u);
    EXPECT_EQ(result.sent[0].name, "main.py");
    EXPECT_EQ(result.sent[0].refused, std::optional<std::string>("File not found: /WEB/python/main.py"));
    EXPECT_EQ(result.sent[1].name, "xbee.py");
    EXPECT_EQ(result.sent[1].refused, std::nullopt);
    EXPECT_EQ(result.sent[2].name, "sensor_report.py");
    EXPECT_EQ(result.sent[2].refused, std::optional<std::string>("an error answer or none"));
    EXPECT_FALSE(device.HasFile("/WEB/python/xbee.py"));
    EXPECT_TRUE(device.HasFile("/WEB/python/sensor_report.py"));
}

TEST_F(PythonFilesTest, DeleteWithNothingTickedOnlyReadsTheList)
{
    const PythonDeleteResult result = DeletePythonFiles({}, runner, questions);

    EXPECT_EQ(result.files.size(), 3u);
    EXPECT_EQ(device.ReceivedCommands(),
        (std::vector<std::string> {"at&usbinterface=22", std::string(kListPythonFilesRequest)}));
}

} // namespace
} // namespace tervane::test
