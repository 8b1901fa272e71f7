#include "TransferVerification.h"
#include "TestSupport.h"
#include "USBCommand.h"
#include "UploadSource.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

using tervane::DigestsMatch;
using tervane::FileDigestHex;

namespace {

class DigestFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir.empty()); }
    void TearDown() override
    {
        for (const auto& path : written)
            ::unlink(path.c_str());
        ::rmdir(dir.c_str());
    }
    std::string File(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(tervane::test::WriteWholeFile(path, bytes));
        written.push_back(path);
        return path;
    }

    std::string dir = tervane::test::MakeScratchDir("tervane-digest");
    std::vector<std::string> written;
};

struct SuiteCase {
    const char* name;
    std::string input;
    const char* digest;
};

void PrintTo(const SuiteCase& row, std::ostream* os)
{
    *os << row.name;
}

class Rfc1321Suite : public DigestFiles, public ::testing::WithParamInterface<SuiteCase> {};

TEST_P(Rfc1321Suite, FileDigestIsTheSuiteValueInLowerCase)
{
    const std::string path = File(GetParam().name, GetParam().input);
    char buffer[tervane::kDigestTextSize] = "";
    ASSERT_EQ(FileDigestHex(path.c_str(), buffer, sizeof buffer), buffer);
    EXPECT_STREQ(buffer, GetParam().digest);
    EXPECT_EQ(FileDigestHex(path), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(Table, Rfc1321Suite,
    ::testing::Values(SuiteCase {"empty", "", "d41d8cd98f00b204e9800998ecf8427e"},
        SuiteCase {"a", "a", "0cc175b9c0f1b6a831c399e269772661"},
        SuiteCase {"abc", "abc", "900150983cd24fb0d6963f7d28e17f72"},
        SuiteCase {"message_digest", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        SuiteCase {"alphabet", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        SuiteCase {"alphanumeric", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
            "d174ab98d277d9f5a5611c2c9f419d9f"},
        SuiteCase {"digits", "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
            "57edf4a22be3c955ac49da2e2107b67a"},
        // Many whole blocks and a short last one.
        SuiteCase {"million_a", std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(DigestFiles, NoResultLeavesTheBufferUntouched)
{
    const std::string path = File("abc", "abc");
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    char expected[64];
    std::memcpy(expected, buffer, sizeof buffer);

    EXPECT_EQ(FileDigestHex(path.c_str(), buffer, 32), nullptr);
    EXPECT_EQ(std::memcmp(buffer, expected, sizeof buffer), 0);
    EXPECT_EQ(FileDigestHex((dir + "/missing").c_str(), buffer, sizeof buffer), nullptr);
    EXPECT_EQ(FileDigestHex(dir.c_str(), buffer, sizeof buffer), nullptr);
    EXPECT_EQ(std::memcmp(buffer, expected, sizeof buffer), 0);

    // 33 is enough: 32 characters and the terminator.
    ASSERT_NE(FileDigestHex(path.c_str(), buffer, 33), nullptr);
    EXPECT_STREQ(buffer, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(buffer[33], 'x');
}

TEST_F(DigestFiles, AFileThatHasNoEndIsRefusedWithoutWaiting)
{
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    written.push_back(fifo);
    EXPECT_EQ(FileDigestHex(fifo), std::nullopt);
    EXPECT_EQ(FileDigestHex("/dev/zero"), std::nullopt);
}

struct CompareCase {
    const char* name;
    std::string answer;
    bool matches;
};

void PrintTo(const CompareCase& row, std::ostream* os)
{
    *os << row.name;
}

class DigestComparison : public ::testing::TestWithParam<CompareCase> {};

constexpr const char* kLocal = "900150983cd24fb0d6963f7d28e17f72";

TEST_P(DigestComparison, RemovesLineEndsThenComparesExactly)
{
    EXPECT_EQ(DigestsMatch(kLocal, GetParam().answer), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(Table, DigestComparison,
    ::testing::Values(CompareCase {"exact", "900150983cd24fb0d6963f7d28e17f72", true},
        CompareCase {"line_end_after", "900150983cd24fb0d6963f7d28e17f72\r\n", true},
        CompareCase {"split_by_crlf", "900150983cd24fb0\r\nd6963f7d28e17f72", true},
        CompareCase {"lone_cr_and_lf_anywhere", "\n9001509\r83cd24fb0d6963f7d28e17f\n\n72\r", true},
        CompareCase {"space_inside", "900150983cd24fb0 d6963f7d28e17f72", false},
        CompareCase {"space_after", "900150983cd24fb0d6963f7d28e17f72 ", false},
        CompareCase {"upper_case", "900150983CD24FB0D6963F7D28E17F72", false},
        CompareCase {"empty", "", false},
        CompareCase {"only_line_ends", "\r\n", false},
        CompareCase {"one_short", "900150983cd24fb0d6963f7d28e17f7", false},
        CompareCase {"one_more", "900150983cd24fb0d6963f7d28e17f722", false},
        CompareCase {"other_digest", "d41d8cd98f00b204e9800998ecf8427e", false},
        CompareCase {"error_text", "ERROR", false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DigestComparison, NoLocalDigestMatchesNothingNotEvenAnEmptyAnswer)
{
    EXPECT_FALSE(DigestsMatch("", ""));
    EXPECT_FALSE(DigestsMatch("", "\r\n"));
    EXPECT_FALSE(DigestsMatch("ERROR", "ERROR"));
}

TEST(DigestComparison, AFailedQueryRowMatchesNothing)
{
    tervane::USBCommand row;
    row.response = std::string(kLocal) + "\r\n";
    row.failed = 0;
    EXPECT_TRUE(DigestsMatch(kLocal, row));
    row.failed = 1;
    EXPECT_FALSE(DigestsMatch(kLocal, row));
}

TEST(DigestMessages, AreTheFixedTextsWithTheAnswerAsCompared)
{
    EXPECT_EQ(tervane::UploadMismatchMessage(kLocal, "D41D8CD98F00B204\r\nE9800998ECF8427E\r\n"),
        "File upload failed.  MD5 sum should have been 900150983cd24fb0d6963f7d28e17f72, but came back as "
        "D41D8CD98F00B204E9800998ECF8427E.\r\nSelect Retry to attempt the file upload again.");
    EXPECT_EQ(tervane::DownloadMismatchMessage(kLocal, ""),
        "File download failed.  MD5 sum should have been 900150983cd24fb0d6963f7d28e17f72, but came back as "
        ".\r\nSelect Retry to attempt the file download again.");
    EXPECT_EQ(tervane::UploadMismatchMessage("", "x"),
        "File upload failed.  MD5 sum should have been , but came back as x.\r\nSelect Retry to attempt the file "
        "upload again.");
    EXPECT_EQ(tervane::TransferFailedMessage("/home/ann/scripts/main.py"),
        "The file /home/ann/scripts/main.py did not correctly transfer.");
}

TEST(DigestQueries, NameTheFileInQuotes)
{
    EXPECT_EQ(tervane::FirmwareDigestQuery(), "at&usbinterface=41,\"/fw/updatefw.dwl\"\r\n");
    EXPECT_EQ(tervane::MeshDigestQuery("zb.ebl"), "at&usbinterface=41,\"/WEB/mesh/zb.ebl\"\r\n");
    EXPECT_EQ(tervane::PythonDigestQuery("main.py"), "at&usbinterface=41,\"/WEB/python/main.py\"\r\n");
    EXPECT_EQ(tervane::DigestQueryFor(tervane::UploadSource("/tmp/main.py", false, true)),
        "at&usbinterface=41,\"/WEB/mesh/main.py\"\r\n");
    EXPECT_EQ(tervane::DigestQueryFor(tervane::UploadSource("/tmp/main.py", true, false)),
        "at&usbinterface=41,\"/fw/updatefw.dwl\"\r\n");
}

TEST(DigestQueries, ANameThatWouldBreakTheLineGivesNoCommand)
{
    EXPECT_EQ(tervane::PythonDigestQuery("a\"\r\nat+CFUN=1\r\n"), "");
    EXPECT_EQ(tervane::MeshDigestQuery(".."), "");
    EXPECT_EQ(tervane::DigestQueryFor(tervane::UploadSource("/tmp/a b.py", false, false)), "");
}

} // namespace
