// Drives the Windows serial port and modem registry under Wine, against the simulator:
//   link-probe devices             the modems of the class key, one "provider port" line each
//   link-probe exchange PORT TEXT  sends TEXT and CR LF, prints the answer up to OK or ERROR
//   link-probe hold PORT PORT      opens the port twice, prints the second open's message
#include "SerialPort.h"
#include "SerialPortWindows.h"
#include "WindowsModemRegistry.h"

#include <cstdio>
#include <string>

using namespace tervane;

namespace {

int Devices()
{
    WindowsModemRegistry registry;
    const bool listed = registry.ForEachModem([](const ModemEntry& entry) {
        std::printf("%s %s\n", entry.providerName.value_or("-").c_str(), entry.attachedTo.value_or("-").c_str());
    });
    return listed ? 0 : 1;
}

int Exchange(const std::string& port, const std::string& text)
{
    OpenFailure failure;
    const int fd = OpenSerialPort(port, &failure);
    if (fd < 0) {
        std::printf("%s\n", DescribeOpenFailure(port, failure).c_str());
        return 2;
    }
    PurgeSerialPort(fd);
    const std::string command = text + "\r\n";
    if (!WriteSerialPort(fd, command.data(), command.size())) {
        CloseSerialPort(fd);
        return 3;
    }
    std::string answer;
    // At most 100 reads of 100 ms without a byte before giving up.
    for (int quiet = 0; quiet < 100;) {
        char buffer[4096];
        std::size_t got = 0;
        if (!ReadSerialPort(fd, buffer, sizeof buffer, 100, got)) {
            CloseSerialPort(fd);
            return 4;
        }
        quiet = got ? 0 : quiet + 1;
        answer.append(buffer, got);
        if (answer.find("\r\nOK\r\n") != std::string::npos || answer.find("\r\nERROR\r\n") != std::string::npos)
            break;
    }
    CloseSerialPort(fd);
    std::fwrite(answer.data(), 1, answer.size(), stdout);
    return answer.find("\r\nOK\r\n") != std::string::npos ? 0 : 5;
}

int Hold(const std::string& port)
{
    OpenFailure failure;
    const int first = OpenSerialPort(port, &failure);
    if (first < 0) {
        std::printf("%s\n", DescribeOpenFailure(port, failure).c_str());
        return 2;
    }
    const int second = OpenSerialPort(port, &failure);
    std::printf("%s\n", second < 0 ? DescribeOpenFailure(port, failure).c_str() : "opened twice");
    CloseSerialPort(second);
    CloseSerialPort(first);
    return second < 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "devices")
        return Devices();
    if (what == "exchange" && argc == 4)
        return Exchange(argv[2], argv[3]);
    if (what == "hold" && argc == 3)
        return Hold(argv[2]);
    std::fprintf(stderr, "usage: link-probe devices | exchange PORT TEXT | hold PORT\n");
    return 64;
}
