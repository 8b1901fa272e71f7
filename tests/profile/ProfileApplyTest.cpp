// A profile planned and applied against the simulated device, without the tool: what the
// result counts as changed and how it words what the device refused.
#include "ProfileApply.h"
#include "DeviceQuery.h"
#include "ProfileReader.h"
#include "SimProcedureTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tervane::test {
namespace {

class ProfileApplyTest : public SimProcedureTest {
protected:
    void SetUp() override
    {
        SimProcedureTest::SetUp();
        DeviceFacts facts;
        ASSERT_TRUE(QueryDevice(facts, documents, runner));
    }

    ProfileApplyResult Apply(const std::string& text)
    {
        const ProfileRead read = ReadProfileText(text, dir + "/gateway.yaml");
        EXPECT_TRUE(read.Good()) << (read.Good() ? "" : read.problems.front());
        const ProfilePlan plan = PlanProfile(read.profile, documents, runner);
        EXPECT_TRUE(plan.problems.empty() && plan.failures.empty());
        return ApplyProfilePlan(read.profile, plan, documents, runner, questions);
    }
};

std::vector<std::string> Applied(const ProfileApplyResult& result)
{
    std::vector<std::string> lines;
    for (const auto& change : result.applied)
        lines.push_back(std::string(ChangeKindName(change.kind)) + " " + change.path + ": " + change.before + " -> " +
            change.after);
    return lines;
}

// The device repeats a refused value in its words; a secret stays hidden there too, and
// only the value the read-back shows changed counts as a change.
TEST_F(ProfileApplyTest, ARefusedSecretIsHiddenEvenInTheDevicesWords)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.refusedSettings = {"pin"}; });
    const ProfileApplyResult result = Apply("settings:\n"
                                            "  mobile_simple/pin: '4711'\n"
                                            "  system/location: Mast 4\n");
    EXPECT_EQ(result.failures,
        (std::vector<std::string> {
            "mobile_simple/pin: the device refused '********': Invalid value for pin: ********; "
            "it holds '********'",
        }));
    EXPECT_EQ(Applied(result), (std::vector<std::string> {"setting system/location: Building 2, roof -> Mast 4"}));
    EXPECT_EQ(device.Setting("system/location"), "Mast 4");
}

// Every value the device takes is a change as the read-back shows it.
TEST_F(ProfileApplyTest, KeptValuesAreChangesAsReadBack)
{
    const ProfileApplyResult result = Apply("settings:\n"
                                            "  MOBILE_SIMPLE/APN: fleet.example\n"
                                            "radio:\n"
                                            "  radio/node_id: GW-7\n");
    EXPECT_TRUE(result.failures.empty()) << result.failures.front();
    EXPECT_EQ(Applied(result),
        (std::vector<std::string> {
            "setting MOBILE_SIMPLE/APN: internet.tervane -> fleet.example",
            "radio radio/node_id: GATEWAY -> GW-7",
        }));
}

} // namespace
} // namespace tervane::test
