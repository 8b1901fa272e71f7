#pragma once

#include "Clock.h"
#include "DeviceRunner.h"
#include "ProcedureTestSupport.h"
#include "RciDocuments.h"
#include "SerialLink.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace tervane::test {

// A procedure run against the simulated device: the link's waits run a hundred times
// faster and the device restarts in a fifth of a second.
class SimProcedureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.empty());
        HoldDuringRestarts(clock, device);
        ASSERT_TRUE(StartAndOpen(device, link));
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

    bool Received(std::string_view fragment) const { return AnyReceived(device, fragment); }

    long FindReceived(std::string_view fragment, long from = 0) const
    {
        return test::FindReceived(device, fragment, from);
    }

    std::string dir = MakeScratchDir("tervane-procedures");
    sim::SimulatedQ7 device{FastRestarts()};
    FastClock clock{100};
    SerialLink link{clock};
    DirectRunner runner{link};
    RciDocuments documents;
    ScriptedQuestions questions;
};

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
