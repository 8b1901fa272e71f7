// Writing a file whole or not at all.
#include "FileReplace.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace tervane {
namespace {

class FileReplace : public ::testing::Test {
protected:
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    long Entries() const
    {
        return std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator());
    }
    std::string dir = test::MakeScratchDir("tervane-file-replace");
};

TEST_F(FileReplace, WritesANewFile)
{
    const std::string path = dir + "/new.cfg";
    std::string reason = "stale";
    EXPECT_TRUE(ReplaceFileContents(path, std::string("a\0b", 3), &reason));
    EXPECT_TRUE(reason.empty());
    EXPECT_EQ(test::ReadWholeFile(path), std::string("a\0b", 3));
    EXPECT_EQ(Entries(), 1);
}

TEST_F(FileReplace, ReplacesAnExistingFileKeepingItsPermissions)
{
    const std::string path = dir + "/old.cfg";
    ASSERT_TRUE(test::WriteWholeFile(path, std::string(5000, 'o')));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

    EXPECT_TRUE(ReplaceFileContents(path, "new"));

    EXPECT_EQ(test::ReadWholeFile(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Entries(), 1);
}

TEST_F(FileReplace, FailureLeavesNothingBehindAndKeepsWhatWasThere)
{
    std::string reason;
    EXPECT_FALSE(ReplaceFileContents(dir + "/missing/x.cfg", "data", &reason));
    EXPECT_EQ(reason, "No such file or directory");

    const std::string folder = dir + "/folder";
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    ASSERT_TRUE(test::WriteWholeFile(folder + "/inside", "kept"));
    EXPECT_FALSE(ReplaceFileContents(folder, "data", &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(test::ReadWholeFile(folder + "/inside"), "kept");

    EXPECT_FALSE(ReplaceFileContents(dir + "/", "data", &reason));
    EXPECT_EQ(Entries(), 1);
}

} // namespace
} // namespace tervane
