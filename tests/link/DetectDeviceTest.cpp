#include "CommandLog.h"
#include "DetectDevice.h"
#include "SimulatedModemRegistry.h"
#include "PseudoTerminal.h"
#include "SerialLink.h"
#include "SerialPort.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tervane {
namespace {

namespace fs = std::filesystem;

// Ports are named by role in the tables: "A" to "L" are free terminals, "held" is a terminal
// another program holds, "file" a plain file, "missing" a path that does not exist, and
// "len99"/"len100" free terminals reached by a path of that many characters.
class DiscoveryFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_scratch = test::MakeScratchDir("discovery");
        ASSERT_FALSE(m_scratch.empty());
        ASSERT_LT(m_scratch.size(), 90u);
        // Lock files of this machine must not decide the outcome.
        SetUucpLockDir(m_scratch);

        for (char role = 'A'; role <= 'L'; ++role)
            AddTerminal(std::string(1, role));
        AddTerminal("held");
        m_holder = std::make_unique<test::PortHolder>(m_paths["held"]);
        ASSERT_TRUE(m_holder->IsHolding());

        m_paths["file"] = m_scratch + "/plain";
        ASSERT_TRUE(test::WriteWholeFile(m_paths["file"], "not a terminal"));
        m_paths["missing"] = m_scratch + "/ttyGONE";
        m_paths[""] = "";
        for (std::size_t length : {99u, 100u}) {
            const std::string path = m_scratch + "/" + std::string(length - m_scratch.size() - 1, 'p');
            fs::create_symlink(m_paths["A"], path);
            m_paths["len" + std::to_string(length)] = path;
        }
    }

    void TearDown() override
    {
        m_link.ClosePort();
        SetUucpLockDir("/var/lock");
        std::error_code ec;
        fs::remove_all(m_scratch, ec);
    }

    void AddTerminal(const std::string& role)
    {
        m_terminals.push_back(std::make_unique<test::PseudoTerminal>());
        ASSERT_TRUE(m_terminals.back()->IsOpen());
        m_paths[role] = m_terminals.back()->SlavePath();
    }

    std::string Path(const std::string& role) { return m_paths.at(role); }

    std::vector<std::string> Paths(const std::vector<std::string>& roles)
    {
        std::vector<std::string> paths;
        for (const auto& role : roles)
            paths.push_back(Path(role));
        return paths;
    }

    // A chooser that notes what it was offered and answers with a fixed name.
    PortChooser Answering(std::string answer)
    {
        return [this, answer](const std::vector<std::string>& candidates) {
            m_offers.push_back(candidates);
            return answer;
        };
    }

    SimulatedModemRegistry Registry(const std::vector<std::string>& roles)
    {
        SimulatedModemRegistry registry;
        for (const auto& role : roles)
            registry.Add(kDeviceProvider, Path(role));
        return registry;
    }

    std::string m_scratch;
    std::vector<std::unique_ptr<test::PseudoTerminal>> m_terminals;
    std::unique_ptr<test::PortHolder> m_holder;
    std::map<std::string, std::string> m_paths;
    std::vector<std::vector<std::string>> m_offers;
    SerialLink m_link;
};

struct RoleEntry {
    std::optional<std::string> provider;
    std::optional<std::string> port; // a role
};

struct DiscoveryCase {
    std::string name;
    std::vector<RoleEntry> entries;
    std::optional<std::size_t> failAfter;
    std::vector<std::string> candidates; // roles, in found order
    bool listed = true;
};

void PrintTo(const DiscoveryCase& c, std::ostream* out)
{
    *out << c.name;
}

const std::string W = "WAVECOM";

std::vector<RoleEntry> TwelveDevices()
{
    std::vector<RoleEntry> entries;
    for (char role = 'A'; role <= 'L'; ++role)
        entries.push_back({W, std::string(1, role)});
    return entries;
}

const DiscoveryCase kCases[] = {
    {"NoModems", {}, {}, {}},
    {"OtherProviderOnly", {{"Sierra Wireless", "A"}}, {}, {}},
    {"ProviderInOtherLetterCase", {{"wAvEcOm", "A"}}, {}, {"A"}},
    {"ProviderMustMatchWhole", {{"WAVECOM2", "A"}, {" WAVECOM", "B"}, {"WAVE", "C"}}, {}, {}},
    {"ProviderOrPortMissing", {{std::nullopt, "A"}, {W, std::nullopt}}, {}, {}},
    {"SamePortTwice", {{W, "A"}, {"wavecom", "A"}}, {}, {"A"}},
    {"PortHeldByAnotherProgram", {{W, "held"}}, {}, {}},
    {"HeldPortBesideFreeOne", {{W, "held"}, {W, "B"}}, {}, {"B"}},
    {"NotATerminal", {{W, "file"}, {W, "missing"}, {W, ""}}, {}, {}},
    {"SeveralInFoundOrder", {{W, "C"}, {"Other", "B"}, {W, "A"}, {W, "C"}}, {}, {"C", "A"}},
    {"PortNameOf99Characters", {{W, "len99"}}, {}, {"len99"}},
    {"PortNameOver99Characters", {{W, "len100"}}, {}, {}},
    {"MoreThanTenDevices", TwelveDevices(), {}, {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L"}},
    {"ListingFailsAfterCandidates", {{W, "A"}, {W, "B"}, {W, "C"}}, 2, {"A", "B"}, false},
    {"ListingFailsAtOnce", {{W, "A"}}, 0, {}, false},
};

// The registration alone, before the port's name is checked or the port opened.
struct RegistrationCase {
    const char* name;
    ModemEntry entry;
    bool device;
};

class IsDeviceModemCases : public ::testing::TestWithParam<RegistrationCase> { };

TEST_P(IsDeviceModemCases, NeedsTheProviderAndAPort)
{
    EXPECT_EQ(IsDeviceModem(GetParam().entry), GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(Registrations, IsDeviceModemCases,
    ::testing::Values(RegistrationCase {"Device", {W, "/dev/ttyACM0"}, true},
        RegistrationCase {"ProviderInOtherLetterCase", {"wavecom", "/dev/ttyACM0"}, true},
        RegistrationCase {"LongPortNameRefusedLaterNotHere", {W, std::string(100, 'p')}, true},
        RegistrationCase {"OtherProvider", {"WAVECOM2", "/dev/ttyACM0"}, false},
        RegistrationCase {"NoProvider", {std::nullopt, "/dev/ttyACM0"}, false},
        RegistrationCase {"NoPort", {W, std::nullopt}, false}),
    [](const auto& row) { return std::string(row.param.name); });

class DetectDeviceCases : public DiscoveryFixture, public ::testing::WithParamInterface<DiscoveryCase> {
protected:
    SimulatedModemRegistry CaseRegistry()
    {
        SimulatedModemRegistry registry;
        for (const auto& entry : GetParam().entries)
            registry.Add({entry.provider, entry.port ? std::optional(Path(*entry.port)) : std::nullopt});
        if (GetParam().failAfter)
            registry.FailListingAfter(*GetParam().failAfter);
        return registry;
    }
};

TEST_P(DetectDeviceCases, FindsTheOpenableDevicePorts)
{
    const auto& c = GetParam();
    auto registry = CaseRegistry();
    std::vector<std::string> candidates;
    EXPECT_EQ(FindCandidatePorts(registry, candidates), c.listed);
    EXPECT_EQ(candidates, Paths(c.candidates));
}

TEST_P(DetectDeviceCases, OpensTheOnlyOrChosenPort)
{
    const auto& c = GetParam();
    auto registry = CaseRegistry();
    const bool found = c.listed && !c.candidates.empty();
    const std::string first = c.candidates.empty() ? "" : Path(c.candidates.front());

    EXPECT_EQ(DetectDevice(registry, m_link, Answering(first)), found);

    EXPECT_EQ(m_link.IsOpen(), found);
    if (c.listed && c.candidates.size() > 1) {
        ASSERT_EQ(m_offers.size(), 1u);
        EXPECT_EQ(m_offers.front(), Paths(c.candidates));
    } else {
        EXPECT_TRUE(m_offers.empty());
    }
    if (found) {
        EXPECT_EQ(m_link.PortName(), first);
        // The link holds the device now: nobody else can take it.
        EXPECT_FALSE(SerialLink::CanOpen(first));
    }
}

INSTANTIATE_TEST_SUITE_P(Registrations, DetectDeviceCases, ::testing::ValuesIn(kCases),
    [](const ::testing::TestParamInfo<DiscoveryCase>& row) { return row.param.name; });

TEST_F(DiscoveryFixture, ChosenPortIsOpenedAndTheOthersLeftFree)
{
    auto registry = Registry({"A", "B"});
    ASSERT_TRUE(DetectDevice(registry, m_link, Answering(Path("B"))));
    EXPECT_EQ(m_link.PortName(), Path("B"));
    EXPECT_TRUE(m_link.IsOpen());
    EXPECT_FALSE(SerialLink::CanOpen(Path("B")));
    EXPECT_TRUE(SerialLink::CanOpen(Path("A")));
}

// The window's detection box has one fixed text; which device port would not open, and
// why, goes to the caller and to the command log.
TEST_F(DiscoveryFixture, PortsThatWouldNotOpenAreNotedWithTheirReason)
{
    const std::string logPath = m_scratch + "/command.log";
    CommandLog log;
    ASSERT_TRUE(log.Open(logPath));
    m_link.SetLog(&log);
    SimulatedModemRegistry registry = Registry({"held", "missing", "file"});
    std::vector<RefusedPort> refused;
    EXPECT_FALSE(DetectDevice(registry, m_link, Answering(""), &refused));
    m_link.SetLog(nullptr);
    log.Close();

    ASSERT_EQ(refused.size(), 3u);
    EXPECT_EQ(refused[0].failure.kind, OpenFailure::Kind::Busy);
    EXPECT_EQ(refused[1].failure.kind, OpenFailure::Kind::Missing);
    EXPECT_EQ(refused[2].failure.kind, OpenFailure::Kind::NotATerminal);
    const std::string text = test::ReadWholeFile(logPath);
    for (const auto& port : refused)
        EXPECT_NE(text.find("NOTE:\r\n" + std::string(79, '*') + "\r\n" + DescribeOpenFailure(port.port, port.failure)
                      + "\r\n"),
            std::string::npos)
            << text;

    // A typed name that does not open is noted too.
    SimulatedModemRegistry two = Registry({"A", "B"});
    EXPECT_FALSE(DetectDevice(two, m_link, Answering(Path("missing")), &refused));
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].port, Path("missing"));
}

TEST_F(DiscoveryFixture, ChooserDismissedLeavesNoPort)
{
    auto registry = Registry({"A", "B"});
    EXPECT_FALSE(DetectDevice(registry, m_link, Answering("")));
    EXPECT_EQ(m_offers.size(), 1u);
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_EQ(m_link.PortName(), "");
}

TEST_F(DiscoveryFixture, NoChooserCannotDecideBetweenSeveral)
{
    auto registry = Registry({"A", "B"});
    EXPECT_FALSE(DetectDevice(registry, m_link, PortChooser{}));
    EXPECT_FALSE(m_link.IsOpen());
}

TEST_F(DiscoveryFixture, TypedNameThatIsNotAPortFails)
{
    auto registry = Registry({"A", "B"});
    for (const std::string& typed : {Path("file"), Path("missing"), std::string("COM3"), Path("A") + std::string(1, '\0')}) {
        SCOPED_TRACE(typed);
        EXPECT_FALSE(DetectDevice(registry, m_link, Answering(typed)));
        EXPECT_FALSE(m_link.IsOpen());
        // Nothing is left held by the failed attempt.
        EXPECT_TRUE(SerialLink::CanOpen(Path("A")));
        EXPECT_TRUE(SerialLink::CanOpen(Path("B")));
    }
}

TEST_F(DiscoveryFixture, TypedPortOutsideTheListIsOpened)
{
    auto registry = Registry({"A", "B"});
    ASSERT_TRUE(DetectDevice(registry, m_link, Answering(Path("C"))));
    EXPECT_EQ(m_link.PortName(), Path("C"));
    EXPECT_TRUE(m_link.IsOpen());
}

TEST_F(DiscoveryFixture, RepeatedDetectionFindsThePortItAlreadyHolds)
{
    auto registry = Registry({"A"});
    ASSERT_TRUE(DetectDevice(registry, m_link, PortChooser{}));
    ASSERT_TRUE(DetectDevice(registry, m_link, PortChooser{}));
    EXPECT_EQ(m_link.PortName(), Path("A"));
    EXPECT_TRUE(m_link.IsOpen());

    registry.FailListingAfter(0);
    EXPECT_FALSE(DetectDevice(registry, m_link, PortChooser{}));
    EXPECT_FALSE(m_link.IsOpen());
}

} // namespace
} // namespace tervane
