#include "DetectDevice.h"
#include "PseudoTerminal.h"
#include "SerialLink.h"
#include "SerialPort.h"
#include "SysfsModemRegistry.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tervane {

bool operator==(const ModemEntry& a, const ModemEntry& b)
{
    return a.providerName == b.providerName && a.attachedTo == b.attachedTo;
}

void PrintTo(const ModemEntry& e, std::ostream* out)
{
    *out << "{" << e.providerName.value_or("<none>") << ", " << e.attachedTo.value_or("<none>") << "}";
}

namespace {

namespace fs = std::filesystem;

// A sysfs attribute, ending in a line feed as the kernel writes it.
void Write(const fs::path& file, const std::string& value)
{
    ASSERT_TRUE(test::WriteWholeFile(file.string(), value + "\n"));
}

// A small sysfs laid out as the kernel does it: /sys/class/tty/<name> links into the device
// tree, and the tty's `device` link leads to its USB interface (cdc-acm) or to a usb-serial
// port below the interface; the USB device with idVendor and manufacturer sits above.
class SysfsTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_scratch = test::MakeScratchDir("sysfs");
        ASSERT_FALSE(m_scratch.empty());
        m_root = fs::path(m_scratch) / "sys";
        fs::create_directories(m_root / "class" / "tty");
    }

    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_scratch, ec);
    }

    // A USB device folder under the root's device tree.
    fs::path UsbDevice(const std::string& busPath, const std::optional<std::string>& vendor,
        const std::optional<std::string>& manufacturer)
    {
        const fs::path dir = m_root / "devices" / "pci0000:00" / "0000:00:14.0" / busPath;
        fs::create_directories(dir);
        if (vendor)
            Write(dir / "idVendor", *vendor);
        if (manufacturer)
            Write(dir / "manufacturer", *manufacturer);
        return dir;
    }

    // A tty at `deviceDir/tty/<name>` whose device is `deviceDir`, listed in class/tty.
    void Tty(const std::string& name, const fs::path& deviceDir)
    {
        const fs::path ttyDir = deviceDir / "tty" / name;
        fs::create_directories(ttyDir);
        fs::create_directory_symlink(fs::relative(deviceDir, ttyDir), ttyDir / "device");
        fs::create_directory_symlink(fs::relative(ttyDir, m_root / "class" / "tty"), m_root / "class" / "tty" / name);
    }

    // A cdc-acm tty on the first interface of a USB device.
    void AcmTty(const std::string& name, const fs::path& usbDevice)
    {
        const fs::path interface = usbDevice / (usbDevice.filename().string() + ":1.0");
        fs::create_directories(interface);
        Tty(name, interface);
    }

    // A tty on interface `number` of a USB device, the interface describing itself with
    // class, subclass and protocol codes; a usb-serial tty sits on a port below it.
    void InterfaceTty(const std::string& name, const fs::path& usbDevice, const std::string& number,
        const std::string& codes, bool usbSerial)
    {
        const fs::path interface = usbDevice / (usbDevice.filename().string() + ":1." + std::to_string(std::stoi(number, nullptr, 16)));
        fs::create_directories(interface);
        Write(interface / "bInterfaceNumber", number);
        Write(interface / "bInterfaceClass", codes.substr(0, 2));
        Write(interface / "bInterfaceSubClass", codes.substr(3, 2));
        Write(interface / "bInterfaceProtocol", codes.substr(6, 2));
        if (!usbSerial) {
            Tty(name, interface);
            return;
        }
        fs::create_directories(interface / name);
        Tty(name, interface / name);
    }

    std::vector<ModemEntry> List(bool expectListed = true)
    {
        SysfsModemRegistry registry(m_root.string(), "/devtest");
        std::vector<ModemEntry> entries;
        EXPECT_EQ(registry.ForEachModem([&](const ModemEntry& e) { entries.push_back(e); }), expectListed);
        return entries;
    }

    std::string m_scratch;
    fs::path m_root;
};

ModemEntry Entry(std::optional<std::string> provider, std::string port)
{
    return {std::move(provider), "/devtest/" + port};
}

TEST_F(SysfsTree, ListsUsbTtysWithTheirManufacturer)
{
    AcmTty("ttyACM0", UsbDevice("usb1/1-1", "114f", "  WAVECOM  "));
    AcmTty("ttyACM1", UsbDevice("usb1/1-2", "1199", "Sierra Wireless, Incorporated"));
    // usb-serial: the tty's device is the serial port below the interface.
    const fs::path port = UsbDevice("usb1/1-3", "0403", "FTDI") / "1-3:1.0" / "ttyUSB0";
    fs::create_directories(port);
    Tty("ttyUSB0", port);

    EXPECT_EQ(List(), (std::vector<ModemEntry>{
                          Entry("WAVECOM", "ttyACM0"),
                          Entry("Sierra Wireless, Incorporated", "ttyACM1"),
                          Entry("FTDI", "ttyUSB0"),
                      }));
}

TEST_F(SysfsTree, ModemVendorIdStandsForWavecom)
{
    AcmTty("ttyACM0", UsbDevice("usb1/1-1", "114f", std::nullopt));
    AcmTty("ttyACM1", UsbDevice("usb1/1-2", "114F", "Sierra Wireless"));
    AcmTty("ttyACM2", UsbDevice("usb1/1-3", "1199", std::nullopt));

    EXPECT_EQ(List(), (std::vector<ModemEntry>{
                          Entry("WAVECOM", "ttyACM0"),
                          Entry("WAVECOM", "ttyACM1"),
                          Entry(std::nullopt, "ttyACM2"),
                      }));
}

TEST_F(SysfsTree, LeavesOutTtysWithoutUsbDevice)
{
    // A virtual console without device, a platform UART, a dangling link, a USB-looking
    // folder without idVendor, and a device outside the sysfs root.
    fs::create_directories(m_root / "devices" / "virtual" / "tty" / "tty0");
    fs::create_directory_symlink("../../devices/virtual/tty/tty0", m_root / "class" / "tty" / "tty0");
    const fs::path uart = m_root / "devices" / "platform" / "serial8250";
    fs::create_directories(uart);
    Tty("ttyS0", uart);
    const fs::path gone = m_root / "devices" / "platform" / "gone";
    fs::create_directories(gone);
    Tty("ttyS1", gone);
    fs::remove(gone / "tty" / "ttyS1" / "device");
    fs::create_directory_symlink("../../nowhere", gone / "tty" / "ttyS1" / "device");
    AcmTty("ttyACM5", UsbDevice("usb1/1-5", std::nullopt, "WAVECOM"));
    const fs::path outside = fs::path(m_scratch) / "outside" / "usbdev";
    fs::create_directories(outside / "outside:1.0");
    Write(outside / "idVendor", "114f");
    const fs::path ttyDir = m_root / "devices" / "virtual" / "tty" / "ttyX";
    fs::create_directories(ttyDir);
    fs::create_directory_symlink(outside / "outside:1.0", ttyDir / "device");
    fs::create_directory_symlink(ttyDir, m_root / "class" / "tty" / "ttyX");

    AcmTty("ttyACM0", UsbDevice("usb1/1-1", "114f", "WAVECOM"));

    EXPECT_EQ(List(), (std::vector<ModemEntry>{Entry("WAVECOM", "ttyACM0")}));
}

TEST_F(SysfsTree, GivesPortsInNameOrder)
{
    for (const std::string name : {"ttyACM2", "ttyACM0", "ttyACM1"})
        AcmTty(name, UsbDevice("usb1/1-" + name.substr(6), "114f", "WAVECOM"));

    EXPECT_EQ(List(), (std::vector<ModemEntry>{
                          Entry("WAVECOM", "ttyACM0"),
                          Entry("WAVECOM", "ttyACM1"),
                          Entry("WAVECOM", "ttyACM2"),
                      }));
}

struct InterfaceSpec {
    std::string tty;
    std::string number;
    std::string codes; // class/subclass/protocol
    bool usbSerial;
};

struct MultiInterfaceCase {
    const char* name;
    std::vector<InterfaceSpec> interfaces;
    std::string chosen;
};

void PrintTo(const MultiInterfaceCase& row, std::ostream* out)
{
    *out << row.name;
}

class MultiInterfaceModem : public SysfsTree, public ::testing::WithParamInterface<MultiInterfaceCase> {};

// A modem showing several ttys is one entry, on the port that takes AT commands.
TEST_P(MultiInterfaceModem, IsOneEntryOnItsCommandPort)
{
    const fs::path modem = UsbDevice("usb1/1-1", "114f", "WAVECOM");
    for (const auto& spec : GetParam().interfaces)
        InterfaceTty(spec.tty, modem, spec.number, spec.codes, spec.usbSerial);
    // Another maker's modem with one port, listed after it.
    InterfaceTty("ttyUSB9", UsbDevice("usb1/1-2", "1199", "Sierra Wireless"), "00", "ff/ff/ff", true);

    EXPECT_EQ(List(), (std::vector<ModemEntry>{
                          Entry("WAVECOM", GetParam().chosen),
                          Entry("Sierra Wireless", "ttyUSB9"),
                      }));
}

INSTANTIATE_TEST_SUITE_P(Table, MultiInterfaceModem,
    ::testing::Values(
        MultiInterfaceCase {"at_commands_interface_after_others",
            {{"ttyACM0", "00", "02/02/00", false}, {"ttyACM1", "02", "02/02/01", false}}, "ttyACM1"},
        MultiInterfaceCase {"at_commands_interface_first",
            {{"ttyACM0", "00", "02/02/01", false}, {"ttyACM1", "02", "02/02/00", false}}, "ttyACM0"},
        MultiInterfaceCase {"none_says_so_first_interface_wins",
            {{"ttyUSB0", "03", "ff/ff/ff", true}, {"ttyUSB1", "01", "ff/ff/ff", true}, {"ttyUSB2", "02", "ff/00/00", true}},
            "ttyUSB1"},
        MultiInterfaceCase {"hexadecimal_interface_numbers",
            {{"ttyUSB0", "0a", "ff/ff/ff", true}, {"ttyUSB1", "09", "ff/ff/ff", true}}, "ttyUSB1"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SysfsTree, ListingFailsWithoutTtyClass)
{
    fs::remove_all(m_root / "class");
    EXPECT_TRUE(List(false).empty());
}

TEST_F(SysfsTree, DetectsTheDeviceThroughDevLinks)
{
    // Ports under a test /dev that lead to pseudo-terminals; ttyACM1 is another maker's modem.
    test::PseudoTerminal device;
    test::PseudoTerminal other;
    ASSERT_TRUE(device.IsOpen() && other.IsOpen());
    const fs::path dev = fs::path(m_scratch) / "dev";
    fs::create_directories(dev);
    fs::create_symlink(device.SlavePath(), dev / "ttyACM0");
    fs::create_symlink(other.SlavePath(), dev / "ttyACM1");
    SetUucpLockDir(m_scratch);
    AcmTty("ttyACM0", UsbDevice("usb1/1-1", "114f", std::nullopt));
    AcmTty("ttyACM1", UsbDevice("usb1/1-2", "1199", "Sierra Wireless"));

    SysfsModemRegistry registry(m_root.string(), dev.string());
    SerialLink link;
    const bool found = DetectDevice(registry, link, PortChooser{});
    SetUucpLockDir("/var/lock");

    ASSERT_TRUE(found);
    EXPECT_EQ(link.PortName(), (dev / "ttyACM0").string());
    EXPECT_TRUE(link.IsOpen());
}

TEST_F(SysfsTree, OneGatewayWithSeveralPortsNeedsNoChoice)
{
    test::PseudoTerminal commands;
    test::PseudoTerminal diagnostics;
    ASSERT_TRUE(commands.IsOpen() && diagnostics.IsOpen());
    const fs::path dev = fs::path(m_scratch) / "dev";
    fs::create_directories(dev);
    fs::create_symlink(diagnostics.SlavePath(), dev / "ttyACM0");
    fs::create_symlink(commands.SlavePath(), dev / "ttyACM1");
    SetUucpLockDir(m_scratch);
    const fs::path gateway = UsbDevice("usb1/1-1", "114f", "WAVECOM");
    InterfaceTty("ttyACM0", gateway, "00", "02/02/00", false);
    InterfaceTty("ttyACM1", gateway, "02", "02/02/01", false);

    SysfsModemRegistry registry(m_root.string(), dev.string());
    SerialLink link;
    bool asked = false;
    const bool found = DetectDevice(registry, link, [&asked](const std::vector<std::string>&) {
        asked = true;
        return std::string();
    });
    SetUucpLockDir("/var/lock");

    ASSERT_TRUE(found);
    EXPECT_FALSE(asked);
    EXPECT_EQ(link.PortName(), (dev / "ttyACM1").string());
}

TEST(SysfsModemRegistry, ReadsThisMachine)
{
    if (!fs::exists("/sys/class/tty"))
        GTEST_SKIP() << "no sysfs here";
    SysfsModemRegistry registry;
    bool allUnderDev = true;
    EXPECT_TRUE(registry.ForEachModem([&](const ModemEntry& e) {
        allUnderDev = allUnderDev && e.attachedTo && e.attachedTo->starts_with("/dev/");
    }));
    EXPECT_TRUE(allUnderDev);
}

} // namespace
} // namespace tervane
