#include "UploadSource.h"

#include <gtest/gtest.h>

using tervane::DestinationCheck;
using tervane::UploadSource;

namespace {

struct DestinationCase {
    const char* name;
    const char* path;
    bool firmwareImage;
    bool meshFile;
    const char* destination;
};

void PrintTo(const DestinationCase& row, std::ostream* os)
{
    *os << row.name;
}

class Destinations : public ::testing::TestWithParam<DestinationCase> {};

TEST_P(Destinations, FollowTheFlagsAndTheLastPathStep)
{
    const auto& row = GetParam();
    const UploadSource source(row.path, row.firmwareImage, row.meshFile);
    EXPECT_EQ(source.Destination(), row.destination);
    EXPECT_EQ(source.CheckDestination(), DestinationCheck::Good);
}

INSTANTIATE_TEST_SUITE_P(Table, Destinations,
    ::testing::Values(DestinationCase {"python", "/home/ann/scripts/main.py", false, false, "/WEB/python/main.py"},
        DestinationCase {"mesh", "/home/ann/scripts/main.py", false, true, "/WEB/mesh/main.py"},
        DestinationCase {"firmware", "/home/ann/scripts/main.py", true, false, "/fw/updatefw.dwl"},
        DestinationCase {"firmware_wins_over_mesh", "/tmp/x.dwl", true, true, "/fw/updatefw.dwl"},
        DestinationCase {"no_slash", "main.py", false, false, "/WEB/python/main.py"},
        DestinationCase {"relative", "scripts/ZB-2.4_fw.ebl", false, true, "/WEB/mesh/ZB-2.4_fw.ebl"},
        // The image's own name never reaches the device, so it may hold anything.
        DestinationCase {"firmware_with_odd_name", "/tmp/my \"image\", v2.dwl", true, false, "/fw/updatefw.dwl"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(UploadSource, SetUploadSourceReplacesEverything)
{
    UploadSource source("/a/first.py", true, true);
    source.SetUploadSource("/b/second.py", false, false);
    EXPECT_EQ(source.Path(), "/b/second.py");
    EXPECT_FALSE(source.FirmwareImage());
    EXPECT_FALSE(source.MeshFile());
    EXPECT_EQ(source.FileName(), "second.py");
}

struct RefusedCase {
    const char* name;
    std::string path;
    DestinationCheck check;
};

void PrintTo(const RefusedCase& row, std::ostream* os)
{
    *os << row.name;
}

class RefusedDestinations : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedDestinations, AreNamedWithTheirReason)
{
    const auto& row = GetParam();
    EXPECT_EQ(UploadSource(row.path, false, false).CheckDestination(), row.check);
    EXPECT_EQ(UploadSource(row.path, false, true).CheckDestination(), row.check);
}

// "/WEB/python/" leaves 64 characters of the 76 for the name, "/WEB/mesh/" 66.
INSTANTIATE_TEST_SUITE_P(Table, RefusedDestinations,
    ::testing::Values(RefusedCase {"ends_in_slash", "/home/ann/", DestinationCheck::NoFileName},
        RefusedCase {"empty", "", DestinationCheck::NoFileName},
        RefusedCase {"dot", "/home/ann/.", DestinationCheck::NoFileName},
        RefusedCase {"dot_dot", "/home/ann/..", DestinationCheck::NoFileName},
        RefusedCase {"double_quote", "/tmp/a\"b.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"apostrophe", "/tmp/it's.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"less_than", "/tmp/a<b.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"greater_than", "/tmp/a>b.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"ampersand", "/tmp/a&b.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"comma", "/tmp/a,b.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"semicolon", "/tmp/a;AT+CFUN=1.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"blank", "/tmp/my file.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"backslash", "/tmp/dir\\main.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"carriage_return", "/tmp/a\r\nAT+CFUN=1\r\n.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"tab", "/tmp/a\tb.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"delete", "/tmp/a\x7f.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"non_ascii", "/tmp/gr\xc3\xbc\xc3\x9f.py", DestinationCheck::UnsafeFileName},
        RefusedCase {"nul", std::string("/tmp/a\0b.py", 11), DestinationCheck::UnsafeFileName},
        RefusedCase {"name_of_67", "/tmp/" + std::string(67, 'n'), DestinationCheck::TooLong}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(UploadSource, TheLongestDestinationThatFitsIsTaken)
{
    const UploadSource python("/tmp/" + std::string(64, 'p'), false, false);
    EXPECT_EQ(python.Destination().size(), tervane::kMaxDestinationLength);
    EXPECT_EQ(python.CheckDestination(), DestinationCheck::Good);
    EXPECT_EQ(UploadSource("/tmp/" + std::string(65, 'p'), false, false).CheckDestination(),
        DestinationCheck::TooLong);

    const UploadSource mesh("/tmp/" + std::string(66, 'm'), false, true);
    EXPECT_EQ(mesh.Destination().size(), tervane::kMaxDestinationLength);
    EXPECT_EQ(mesh.CheckDestination(), DestinationCheck::Good);
}

TEST(UploadSource, OrdinaryPunctuationIsTaken)
{
    EXPECT_TRUE(tervane::IsSafeDeviceFileName("zb_fw-2.4.1+rc(3)[a]{b}~@#$%^=!.ebl"));
}

} // namespace
