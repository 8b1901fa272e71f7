#pragma once

#include "CliTestSupport.h"
#include "Clock.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tervane::test {

// The tool run in-process against a simulated device on its own port: the link's pauses
// pass a hundred times faster (the 20 s settle of an apply takes a fifth of a second) and
// the device restarts in a fifth of a second.
class CliSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.empty());
        HoldDuringRestarts(clock, device);
        ASSERT_TRUE(device.Start());
    }

    void TearDown() override
    {
        device.Stop();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    // The tool with --port at the simulated device.
    CliRun Run(std::vector<std::string> args, CliSetting setting = {})
    {
        args.insert(args.begin(), {"--port", device.PortPath()});
        setting.clock = &clock;
        return RunTool(args, setting);
    }

    std::string LocalFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(WriteWholeFile(path, bytes));
        return path;
    }

    bool Received(std::string_view fragment) const { return AnyReceived(device, fragment); }

    std::string dir = MakeScratchDir("tervane-cli");
    sim::SimulatedQ7 device {FastRestarts()};
    FastClock clock {100};
};

} // namespace tervane::test
