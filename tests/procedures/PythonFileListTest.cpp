// The file list's item texts, the listing reply, Base64 and the download's sizing.
#include "BatchWorker.h"
#include "PythonFiles.h"
#include "SafeXml.h"

#include <gtest/gtest.h>

#include <random>

namespace tervane {
namespace {

struct ItemCase {
    const char* label;
    PythonFileEntry entry;
    std::string text;
    long long size;  // the item's size as a number
};

class FileListItems : public ::testing::TestWithParam<ItemCase> {};

TEST_P(FileListItems, TextAndItem)
{
    const ItemCase& c = GetParam();
    EXPECT_EQ(FileListItemText(c.entry), c.text);
    const PythonFileItem item = ItemForEntry(c.entry);
    EXPECT_EQ(item.name, c.entry.name);
    EXPECT_EQ(item.sizeText, c.entry.size);
    EXPECT_EQ(item.size, c.size);
}

INSTANTIATE_TEST_SUITE_P(Items, FileListItems,
    ::testing::Values(ItemCase{"Short", {"main.py", "52"}, "main.py         52      ", 52},
        ItemCase{"NameOfTwelve", {"abcdefghijkl", "1"}, "abcdefghijkl    1       ", 1},
        ItemCase{"LongNameWhole", {"sensor_report.py", "4031"}, "sensor_report.py    4031    ", 4031},
        ItemCase{"NameWithBlank", {"my file.py", "7"}, "my file.py      7       ", 7},
        ItemCase{"LongSizeWhole", {"a.py", "1234567890"}, "a.py            1234567890", 1234567890},
        ItemCase{"NoSize", {"a.py", ""}, "a.py                    ", 0}),
    [](const auto& row) { return std::string(row.param.label); });

TEST(FileListItems, NameColumnWidensToTheLongestName)
{
    const PythonFileList files{{"main.py", "52"}, {"sensor_calibration.py", "4031"}, {"my file.py", "7"}};
    const std::size_t width = FileListNameWidth(files);
    EXPECT_EQ(width, 21u);
    EXPECT_EQ(FileListItemText(files[0], width), "main.py                  52      ");
    EXPECT_EQ(FileListItemText(files[1], width), "sensor_calibration.py    4031    ");
    EXPECT_EQ(FileListItemText(files[2], width), "my file.py               7       ");
    EXPECT_EQ(FileListNameWidth({{"a.py", "1"}}), 12u);
    EXPECT_EQ(FileListNameWidth({}), 12u);
}

struct ListCase {
    const char* label;
    std::string reply;
    std::vector<std::string> names;
};

class FileListReplies : public ::testing::TestWithParam<ListCase> {};

TEST_P(FileListReplies, ListedEntries)
{
    std::vector<std::string> names;
    for (const PythonFileEntry& entry : ReadFileList(GetParam().reply))
        names.push_back(entry.name + ":" + entry.size);
    EXPECT_EQ(names, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(Replies, FileListReplies,
    ::testing::Values(
        ListCase{"Files",
            "echo\r\n<rci_reply><DO_COMMAND><LS dir='/WEB/python'><file name='a.py' size='1'/>"
            "<file name='b.py' size='22'/></LS></DO_COMMAND></rci_reply>\r\n",
            {"a.py:1", "b.py:22"}},
        ListCase{"FirstChildOfAnyName",
            "<r><do_command><ls><entry name='first' size='3'/><dir name='lib' size='0'/><file name='c.py' size='4'/>"
            "</ls></do_command></r>",
            {"first:3", "c.py:4"}},
        ListCase{"WithoutSizeSkipped", "<r><do_command><ls><file name='a.py'/><file name='b' size='2'/></ls></do_command></r>",
            {"b:2"}},
        ListCase{"WhitespaceFirst", "<r><do_command><ls>\n  <file name='a' size='1'/>\n</ls></do_command></r>", {"a:1"}},
        ListCase{"NoLs", "<r><do_command><error/></do_command></r>", {}},
        ListCase{"NotXml", "ERROR", {}},
        ListCase{"Truncated", "<r><do_command><ls><file name='a' size='1'/>", {}}),
    [](const auto& row) { return std::string(row.param.label); });

struct Base64Case {
    const char* label;
    std::string text;
    std::string bytes;
};

class Base64Decoding : public ::testing::TestWithParam<Base64Case> {};

TEST_P(Base64Decoding, Decodes)
{
    EXPECT_EQ(DecodeBase64(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Texts, Base64Decoding,
    ::testing::Values(Base64Case{"Empty", "", ""}, Base64Case{"OneLine", "TWFueSBoYW5kcw==", "Many hands"},
        Base64Case{"Lines", "TWFu\r\neSBo\nYW5k\ncw==\n", "Many hands"},
        Base64Case{"BlanksAndTabs", " TWFu eSBo\tYW5kcw== ", "Many hands"},
        Base64Case{"PaddingEndsTheData", "TWE=TWFu", "Ma"}, Base64Case{"OnePadding", "TWE=", "Ma"},
        Base64Case{"NoPadding", "TWE", "Ma"}, Base64Case{"LoneCharacter", "TWFuT", "Man"},
        Base64Case{"AllBytes", "AP/+", std::string("\x00\xff\xfe", 3)}),
    [](const auto& row) { return std::string(row.param.label); });

TEST(Base64Decoding, LinesOf76DecodeLikeOneLine)
{
    std::mt19937 random(5);
    std::string bytes(3000, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string plain;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8
            | static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6)
            plain += kAlphabet[v >> shift & 63];
    }
    std::string lines;
    for (std::size_t at = 0; at < plain.size(); at += 76)
        lines += plain.substr(at, 76) + "\r\n";
    EXPECT_EQ(DecodeBase64(plain), bytes);
    EXPECT_EQ(DecodeBase64(lines), bytes);
}

TEST(DownloadSizing, DigestTimeoutIsASecondPerStarted10000Bytes)
{
    EXPECT_EQ(DownloadDigestTimeout(0), 1000);
    EXPECT_EQ(DownloadDigestTimeout(9999), 1000);
    EXPECT_EQ(DownloadDigestTimeout(10000), 2000);
    EXPECT_EQ(DownloadDigestTimeout(19999), 2000);
    EXPECT_EQ(DownloadDigestTimeout(-5), 1000);
    EXPECT_EQ(DownloadDigestTimeout(1LL << 40), INT_MAX);
}

TEST(DownloadSizing, ReserveHoldsBase64WithLineEnds)
{
    EXPECT_EQ(DownloadResponseReserve(0), 0);
    for (const long long size : {1LL, 100000LL, 400000LL, 1000000LL, 40LL * 1024 * 1024}) {
        const long long encoded = (size + 2) / 3 * 4;
        const long long withCrLf = encoded + (encoded + 75) / 76 * 2;
        EXPECT_GE(DownloadResponseReserve(size), withCrLf) << size;
        EXPECT_LT(DownloadResponseReserve(size), withCrLf + size / 10 + 2048) << size;
    }
    // A listed size no upload could have put there counts as the largest upload.
    EXPECT_EQ(DownloadResponseReserve(4000000000LL), DownloadResponseReserve(kMaxUploadSize));
    // The file reply's cap is its whole receive room, beyond the cap of other replies.
    EXPECT_EQ(FileReplyCap(20LL * 1024 * 1024), kResponseBase + DownloadResponseReserve(20LL * 1024 * 1024));
    EXPECT_GT(FileReplyCap(20LL * 1024 * 1024), kMaxXmlInputBytes);
}

TEST(AutoStartBindings, StateAndCommand)
{
    const BindingTable table = PythonBindings();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].path, "python/state");
    EXPECT_EQ(table[0].kindFlags, BIND_ONOFF);
    EXPECT_EQ(table[0].controlId, 1111);
    EXPECT_EQ(table[1].path, "python/command");
    EXPECT_EQ(table[1].kindFlags, BIND_TEXT);
    EXPECT_EQ(table[1].controlId, 1110);
}

} // namespace
} // namespace tervane
