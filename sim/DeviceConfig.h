#pragma once

#include <map>
#include <set>
#include <string>

namespace tervane::sim {

// How the simulated signal moves from one AT+CSQ to the next. Counted in questions, not in
// time, so a poll once a second sees it move once a second and a test sees the same values
// at any speed.
enum class SignalPattern {
    Steady,    // always signalQuality
    Sweep,     // 0 up to 31 and back down, one step a question
    NoisyPeak, // a peak of 28 in every 60 questions over a floor of 6, with +-2 of noise
    Dropouts,  // signalQuality, but 99 (unknown) on questions 8 and 9 of every 10
};

// What the simulated device is: its identity, which settings it has, and how fast it reacts.
struct DeviceConfig {
    // "Q7", or "Q7R" for the variant with the three-lamp signal display.
    std::string model = "Q7";
    // Reported as device_info/firmware and device_info/firmwaresoftrevstr until an image is installed.
    std::string firmwareVersion = "2.4.1.7";
    // Reported after at&usbinterface=110 has installed /fw/updatefw.dwl.
    std::string installedFirmwareVersion = "2.5.0.3";
    std::string radioFirmwareVersion = "0x2164";
    // Reported after a zigbee fw_update.
    std::string updatedRadioFirmwareVersion = "0x2270";
    // Without a configured radio, every zigbee request answers "Currently not configured or supported".
    bool radioConfigured = true;
    // How that answer comes: the text alone (the usual firmware), or as the error element of
    // an rci_reply document (some firmware releases).
    bool wrapsNoRadioAnswer = false;

    // Settings the device does not have, as slash-separated paths whose steps may select an index:
    // "mobile_simple" (a whole group), "mgmtconnection&index=3", "telnet_server", "mobile_simple/pin"
    // (one setting), "radio/node_id" (a radio setting).
    std::set<std::string> omitted;

    // Pause between a complete command and its answer.
    int answerDelayMs = 5;
    // How long the port stays away when the device restarts.
    int restartDelayMs = 1500;
    // A bare request or upload whose bytes stop coming for this long is given up (ERROR).
    int transferIdleMs = 5000;

    // Modem and SIM facts.
    int signalQuality = 20;
    SignalPattern signalPattern = SignalPattern::Steady;
    std::string manufacturer = "WAVECOM MODEM";
    std::string imei = "356938035643809";
    std::string modemRevision = "R7.54.0.201806141515.FXT009 2130196 061418 15:15";
    std::string imsi = "310260123456789";
    std::string iccid = "89012601234567890128";
    std::string phoneNumber = "+15551230077";
    std::string mobileIpAddress = "10.72.14.203";

    // Files on the device at power-up, by absolute device path.
    std::map<std::string, std::string> files = DefaultFiles();

    // A few Python programs under /WEB/python.
    static std::map<std::string, std::string> DefaultFiles();
};

// The n-th of several gateways made from one configuration (n from 0): the same device
// with its own IMEI (check digit kept valid), ICCID and IMSI. The 0-th is `config` itself.
// The AT+CSQ value for the question-th question (from 0) of the config's pattern.
int SignalQualityAt(const DeviceConfig& config, long long question);

DeviceConfig NthGateway(const DeviceConfig& config, int n);

} // namespace tervane::sim
