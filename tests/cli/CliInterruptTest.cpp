// The built programs interrupted while they talk to their built-in simulated device: what
// they made in the temporary folder goes with them.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tervane::test {
namespace {

namespace fs = std::filesystem;

struct Interruption {
    const char* name;
    int signal;
    bool dashboard;
};

class CliInterruptTest : public ::testing::TestWithParam<Interruption> {
protected:
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
        fs::remove_all(runtimeDir, ignored);
    }

    // The simulated device's folder in `dir` once its port link is there.
    std::string PortFolder() const
    {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(dir, error)) {
            if (fs::is_symlink(fs::symlink_status(entry.path() / "ttyQ7")))
                return entry.path().string();
        }
        return {};
    }

    std::string dir = MakeScratchDir("tervane-cli-interrupt");
    std::string runtimeDir = MakeScratchDir("tervane-cli-runtime");
};

TEST_P(CliInterruptTest, RemovesTheSimulatedPort)
{
    // The tool asks a device that answers after 20 s: it is still waiting when the signal
    // comes. The window is up with its pages by then.
    std::vector<std::string> args = GetParam().dashboard
        ? std::vector<std::string>{TERVANE_DASHBOARD, "--simulate", "-platform", "offscreen"}
        : std::vector<std::string>{TERVANE_Q7_PROGRAM, "--simulate", "--sim-option=--answer-delay=20000",
              "--timeout", "30000", "send", "AT\\r\\n"};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    // Qt's own runtime folder is kept apart, so that the scratch folder shows only what the
    // programs made.
    std::vector<std::string> environment = {"TMPDIR=" + dir, "PATH=/usr/bin:/bin", "QT_QPA_PLATFORM=offscreen",
        "XDG_RUNTIME_DIR=" + runtimeDir};
    std::vector<char*> envp;
    for (auto& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    std::string folder;
    for (int i = 0; i < 500 && folder.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        folder = PortFolder();
    }
    EXPECT_FALSE(folder.empty()) << "the simulated port did not appear";
    // The link stands before the tool has opened it; let it get to its waiting.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(child, GetParam().signal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), GetParam().signal);
    EXPECT_TRUE(fs::is_empty(dir)) << "left behind: " << (fs::directory_iterator(dir)->path().string());
}

INSTANTIATE_TEST_SUITE_P(Signals, CliInterruptTest,
    ::testing::Values(Interruption{"CtrlC", SIGINT, false}, Interruption{"Terminate", SIGTERM, false},
        Interruption{"DashboardCtrlC", SIGINT, true}, Interruption{"DashboardTerminate", SIGTERM, true}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace tervane::test
