#pragma once

#include "Clock.h"
#include "DeviceRunner.h"
#include "ProcedureTestSupport.h"
#include "RciDocuments.h"
#include "SerialLink.h"
#include "SimulatedQ7.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

namespace tervane::test {

// A procedure run against the simulated device: the link's waits run a hundred times
// faster and the device restarts in a fifth of a second.
class SimProcedureTest : public ::testing::Test {
protected:
    static sim::DeviceConfig FastRestarts()
    {
        sim::DeviceConfig config;
        config.restartDelayMs = 200;
        return config;
    }

    void SetUp() override
    {
        ASSERT_FALSE(dir.empty());
        ASSERT_TRUE(device.Start());
        link.SetPortName(device.PortPath());
        ASSERT_TRUE(link.OpenPort());
    }

    void TearDown() override
    {
        link.ClosePort();
        device.Stop();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::string LocalFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(WriteWholeFile(path, bytes));
        return path;
    }

    // Whether any command the device received holds `fragment`.
    bool Received(std::string_view fragment) const
    {
        const auto commands = device.ReceivedCommands();
        return std::any_of(commands.begin(), commands.end(),
            [&](const std::string& command) { return command.find(fragment) != std::string::npos; });
    }

    // Position of the first received command holding `fragment` at or after `from`; -1 when none.
    long FindReceived(std::string_view fragment, long from = 0) const
    {
        const auto commands = device.ReceivedCommands();
        for (long i = std::max(from, 0L); i < static_cast<long>(commands.size()); ++i) {
            if (commands[static_cast<std::size_t>(i)].find(fragment) != std::string::npos)
                return i;
        }
        return -1;
    }

    std::string dir = MakeScratchDir("tervane-procedures");
    sim::SimulatedQ7 device{FastRestarts()};
    FastClock clock{100};
    SerialLink link{clock};
    DirectRunner runner{link};
    RciDocuments documents;
    ScriptedQuestions questions;
};

// Bytes that are not text, so that every value and line end goes through the transfer.
inline std::string Pattern(std::size_t size, unsigned seed = 7)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 251 + seed) & 0xff);
    return bytes;
}

inline sim::Faults Corrupt()
{
    sim::Faults faults;
    faults.corruptUploads = true;
    return faults;
}

inline sim::Faults WrongDigests()
{
    sim::Faults faults;
    faults.wrongDigests = true;
    return faults;
}

inline sim::Faults UpperCaseDigests()
{
    sim::Faults faults;
    faults.upperCaseDigests = true;
    return faults;
}

} // namespace tervane::test
