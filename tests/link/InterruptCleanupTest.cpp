// What an interrupted process removes on its way out.
#include "InterruptCleanup.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

namespace tervane {
namespace {

namespace fs = std::filesystem;

struct Interruption {
    const char* name;
    int signal;
};

class InterruptCleanupTest : public ::testing::TestWithParam<Interruption> {
protected:
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string dir = test::MakeScratchDir("tervane-interrupt");
};

TEST_P(InterruptCleanupTest, RemovesWhatIsArmedAndEndsByTheSignal)
{
    // The simulated port's shape: a link in a folder of its own, armed folder first.
    const std::string folder = dir + "/tervane-q7-port";
    const std::string link = folder + "/ttyQ7";
    const std::string pending = dir + "/.tq7-pending";
    const std::string placed = dir + "/placed";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstallInterruptCleanup();
        if (mkdir(folder.c_str(), 0700) != 0 || symlink("/dev/null", link.c_str()) != 0
            || !test::WriteWholeFile(pending, "x") || !test::WriteWholeFile(placed, "y"))
            _exit(3);
        InterruptRemoval folderRemoval(folder, InterruptRemoval::Kind::Folder);
        InterruptRemoval linkRemoval(link, InterruptRemoval::Kind::File);
        InterruptRemoval pendingRemoval(pending, InterruptRemoval::Kind::File);
        InterruptRemoval placedRemoval(placed, InterruptRemoval::Kind::File);
        placedRemoval.Release();
        raise(GetParam().signal);
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), GetParam().signal);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(fs::exists(pending));
    EXPECT_TRUE(fs::exists(placed)) << "a released path is no longer the handler's";
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptCleanupTest,
    ::testing::Values(Interruption{"CtrlC", SIGINT}, Interruption{"Terminate", SIGTERM},
        Interruption{"HangUp", SIGHUP}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace tervane
