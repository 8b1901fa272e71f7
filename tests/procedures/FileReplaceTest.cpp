// Writing a file whole or not at all.
#include "FileReplace.h"
#include "InterruptCleanup.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>

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

TEST_F(FileReplace, ANewFileIsReadableByItsOwnerAlone)
{
    // A backup holds passwords; the usual umask would leave it readable by everyone.
    const mode_t previous = ::umask(022);
    const std::string path = dir + "/backup.cfg";
    const bool written = ReplaceFileContents(path, "<password>x</password>");
    ::umask(previous);
    ASSERT_TRUE(written);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
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

TEST_F(FileReplace, WritesThroughALinkWhichStays)
{
    const std::string real = dir + "/real.cfg";
    ASSERT_TRUE(test::WriteWholeFile(real, "old"));
    ASSERT_EQ(::chmod(real.c_str(), 0644), 0);
    const std::string link = dir + "/link.cfg";
    ASSERT_EQ(::symlink("real.cfg", link.c_str()), 0);

    ASSERT_TRUE(ReplaceFileContents(link, "new"));

    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(test::ReadWholeFile(real), "new");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(Entries(), 2);
}

TEST_F(FileReplace, ALongNameLeavesRoomForTheTemporaryFile)
{
    const std::string path = dir + "/" + std::string(253, 'n');
    std::string reason;
    ASSERT_TRUE(ReplaceFileContents(path, "data", &reason)) << reason;
    EXPECT_EQ(test::ReadWholeFile(path), "data");
    EXPECT_EQ(Entries(), 1);
}

TEST_F(FileReplace, PendingBytesReplaceNothingUntilCommitted)
{
    const std::string path = dir + "/main.py";
    ASSERT_TRUE(test::WriteWholeFile(path, "good"));
    {
        std::optional<PendingFile> pending = PendingFile::Write(path, "bad");
        ASSERT_TRUE(pending);
        EXPECT_EQ(test::ReadWholeFile(pending->TemporaryPath()), "bad");
        EXPECT_EQ(test::ReadWholeFile(path), "good");
    }
    EXPECT_EQ(test::ReadWholeFile(path), "good");
    EXPECT_EQ(Entries(), 1) << "a pending file that is dropped leaves nothing behind";

    std::optional<PendingFile> pending = PendingFile::Write(path, "unchecked");
    ASSERT_TRUE(pending);
    std::string reason;
    const std::optional<std::string> kept = pending->KeepUnverified(&reason);
    ASSERT_TRUE(kept) << reason;
    EXPECT_EQ(*kept, path + ".unverified");
    EXPECT_EQ(test::ReadWholeFile(*kept), "unchecked");
    EXPECT_EQ(test::ReadWholeFile(path), "good");
}

TEST_F(FileReplace, AnInterruptedWriteLeavesNoTemporaryFile)
{
    const std::string path = dir + "/main.py";
    ASSERT_TRUE(test::WriteWholeFile(path, "old"));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstallInterruptCleanup();
        std::optional<PendingFile> pending = PendingFile::Write(path, "new bytes, not yet checked");
        if (pending && Entries() == 2)
            raise(SIGINT);
        _exit(3);  // only when the temporary file was not there to be interrupted
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGINT);
    EXPECT_EQ(Entries(), 1) << "the temporary file stayed";
    EXPECT_EQ(test::ReadWholeFile(path), "old");
}

TEST(WriteAll, WritesEveryByteOrSaysItCouldNot)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string bytes(3000, 'x');
    EXPECT_TRUE(WriteAll(fds[1], bytes));
    ::close(fds[1]);
    std::string read(bytes.size() + 1, '\0');
    EXPECT_EQ(::read(fds[0], read.data(), read.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fds[0]);

    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    errno = 0;
    EXPECT_FALSE(WriteAll(full, bytes));
    EXPECT_EQ(errno, ENOSPC);
    ::close(full);
}

TEST(UnverifiedName, IsCutToALegalFileName)
{
    EXPECT_EQ(UnverifiedName("/tmp/main.py"), "main.py.unverified");
    EXPECT_EQ(UnverifiedName("main.py"), "main.py.unverified");
    const std::string longest = UnverifiedName("/tmp/" + std::string(253, 'n'));
    EXPECT_EQ(longest.size(), 255u);
    EXPECT_TRUE(longest.ends_with(".unverified"));
}

// What is not a regular file is not replaced: a write would swap a device node, a FIFO
// or a socket (or a link to one) for a regular file.
struct Refused {
    const char* label;
    std::function<std::string(const std::string& dir)> make;  // gives the path to write
    const char* reason;
};

class FileReplaceRefuses : public FileReplace, public ::testing::WithParamInterface<Refused> {};

TEST_P(FileReplaceRefuses, LeavesItAsItWas)
{
    const std::string path = GetParam().make(dir);
    ASSERT_FALSE(path.empty());
    struct stat before {};
    ASSERT_EQ(::lstat(path.c_str(), &before), 0);
    const long entries = Entries();

    std::string reason;
    EXPECT_FALSE(ReplaceFileContents(path, "data", &reason));

    EXPECT_EQ(reason, GetParam().reason);
    struct stat after {};
    ASSERT_EQ(::lstat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(Entries(), entries);
}

std::string Link(const std::string& dir, const std::string& target)
{
    const std::string link = dir + "/link";
    return ::symlink(target.c_str(), link.c_str()) == 0 ? link : std::string();
}

// The reading end of a pipe this process keeps open, as /proc/self/fd/N: what a link to
// standard output is when the output goes to a pipe.
std::string OpenPipe()
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    ::close(fds[1]);
    return "/proc/self/fd/" + std::to_string(fds[0]);
}

std::string Fifo(const std::string& dir)
{
    const std::string path = dir + "/fifo";
    return ::mkfifo(path.c_str(), 0600) == 0 ? path : std::string();
}

std::string Socket(const std::string& dir)
{
    const std::string path = dir + "/socket";
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return {};
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound ? path : std::string();
}

INSTANTIATE_TEST_SUITE_P(Kinds, FileReplaceRefuses,
    ::testing::Values(
        Refused{"DeviceNode", [](const std::string&) { return std::string("/dev/null"); },
            "it is a device, not a regular file"},
        Refused{"LinkToADevice", [](const std::string& dir) { return Link(dir, "/dev/null"); },
            "it is a device, not a regular file"},
        Refused{"LinkToAnOpenPipe", [](const std::string& dir) { return Link(dir, OpenPipe()); },
            "it is a FIFO, not a regular file"},
        Refused{"Fifo", [](const std::string& dir) { return Fifo(dir); }, "it is a FIFO, not a regular file"},
        Refused{"LinkToAFifo", [](const std::string& dir) { return Link(dir, Fifo(dir)); },
            "it is a FIFO, not a regular file"},
        Refused{"Socket", [](const std::string& dir) { return Socket(dir); }, "it is a socket, not a regular file"},
        Refused{"DanglingLink", [](const std::string& dir) { return Link(dir, dir + "/missing"); },
            "it is a symbolic link to nothing"},
        Refused{"Folder", [](const std::string& dir) { return dir; }, "it is a folder"}),
    [](const auto& row) { return std::string(row.param.label); });

} // namespace
} // namespace tervane
