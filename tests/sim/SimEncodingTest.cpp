#include "SimEncoding.h"

#include <gtest/gtest.h>

namespace tervane::sim {
namespace {

struct DigestCase {
    const char* name;
    const char* input;
    const char* digest;
};

class Md5Suite : public ::testing::TestWithParam<DigestCase> {};

TEST_P(Md5Suite, GivesLowerCaseHex)
{
    EXPECT_EQ(Md5Hex(GetParam().input), GetParam().digest);
}

// RFC 1321, appendix A.5.
INSTANTIATE_TEST_SUITE_P(
    Rfc1321, Md5Suite,
    ::testing::Values(DigestCase{"empty", "", "d41d8cd98f00b204e9800998ecf8427e"},
                      DigestCase{"a", "a", "0cc175b9c0f1b6a831c399e269772661"},
                      DigestCase{"abc", "abc", "900150983cd24fb0d6963f7d28e17f72"},
                      DigestCase{"message_digest", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
                      DigestCase{"alphabet", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
                      DigestCase{"alphanumerics", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                                 "d174ab98d277d9f5a5611c2c9f419d9f"},
                      DigestCase{"digits",
                                 "1234567890123456789012345678901234567890"
                                 "1234567890123456789012345678901234567890",
                                 "57edf4a22be3c955ac49da2e2107b67a"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Base64, Rfc4648Vectors)
{
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foo"), "Zm9v");
    EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(Base64Encode("fooba"), "Zm9vYmE=");
    EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64Encode(std::string("\0\xff\xfe", 3)), "AP/+");
}

TEST(Base64, BreaksLongTextIntoLines)
{
    const std::string text = Base64Encode(std::string(100, 'x'), 76);
    ASSERT_EQ(text.size(), 136u + 1u);
    EXPECT_EQ(text.find('\n'), 76u);
    EXPECT_EQ(text.find('\n', 77), std::string::npos);
    EXPECT_EQ(Base64Encode(std::string(57, 'x'), 76).find('\n'), std::string::npos); // exactly one line
}

} // namespace
} // namespace tervane::sim
