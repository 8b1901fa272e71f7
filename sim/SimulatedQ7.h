#pragma once

#include "DeviceConfig.h"
#include "Faults.h"
#include "Pty.h"
#include "SimCommandParser.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tervane::sim {

class SimDevice;
struct SimReply;

// A Skellin Q7 on a pseudo-terminal. The program opens PortPath() like the device's serial port;
// one serving thread echoes and answers what it writes there. Restarts (reboot, firmware install,
// Restart()) take the port away and bring a new one back under the same path.
class SimulatedQ7 {
public:
    explicit SimulatedQ7(DeviceConfig config = {});
    ~SimulatedQ7();
    SimulatedQ7(const SimulatedQ7&) = delete;
    SimulatedQ7& operator=(const SimulatedQ7&) = delete;

    // Creates the port and starts serving. The port appears as a symbolic link at linkPath
    // (replacing an older link there), or at "ttyQ7" in a fresh temporary folder when empty.
    // False when the port cannot be made or the device already runs.
    bool Start(std::string linkPath = {});
    // Stops serving, removes the port (and the temporary folder). Waits for the serving thread.
    void Stop();
    bool IsRunning() const;

    std::string PortPath() const;
    // The temporary folder Start made for the port's link, or "" when the caller chose the link.
    std::string OwnFolder() const;
    // The port is there now (not during a restart).
    bool PortPresent() const;
    // The device is restarting: it has decided to, or its port is away and will come back.
    bool Restarting() const;
    bool WaitForPort(int timeoutMs) const;

    // The device restarts: returns once the port has gone; it comes back after delayMs
    // (plus Faults::slowRestartMs).
    void Restart(int delayMs);
    int RestartCount() const;

    void SetFaults(const Faults& faults);
    Faults GetFaults() const;
    // Changes faults in one step; `change` must not call back into this device.
    void ChangeFaults(const std::function<void(Faults&)>& change);
    void SetSignalQuality(int quality);

    // Files on the device by absolute path ("/WEB/python/main.py").
    std::optional<std::string> GetFile(const std::string& path) const;
    void PutFile(const std::string& path, std::string bytes);
    bool HasFile(const std::string& path) const;
    bool RemoveFile(const std::string& path);
    std::vector<std::string> FilePaths() const;

    // Setting values by path, steps optionally selecting an index:
    // "mobile_simple/apn", "mgmtconnection&index=3/ServerArray&index=1/serverAddress".
    // Set* writes without the device's checks (for setting up odd values).
    std::optional<std::string> Setting(const std::string& path) const;
    bool SetSetting(const std::string& path, std::string value);
    std::optional<std::string> RadioSetting(const std::string& path) const; // "radio/node_id"
    bool SetRadioSetting(const std::string& path, std::string value);

    // The reply documents the device would send now to the settings, state and radio queries.
    std::string SettingsXml() const;
    std::string StateXml() const;
    std::string RadioSettingsXml() const;

    std::string FirmwareVersion() const;
    std::string RadioFirmwareVersion() const;

    // Command lines and bare requests in the order received (without line ends).
    std::vector<std::string> ReceivedCommands() const;
    void ClearReceivedCommands();
    // Files stored by completed uploads.
    int UploadCount() const;

    const DeviceConfig& Config() const { return m_config; }

private:
    void Serve();
    bool Process(const SimInput& input);
    std::string Compose(const SimInput& input, const SimReply& reply, const Faults& faults) const;
    bool WriteAnswer(std::string_view bytes, const Faults& faults);
    bool WriteToPort(std::string_view bytes);
    void WaitUntilRead();
    void RestartFromDevice();
    void RestartAhead();
    void GoAway();
    bool StayAway(int delayMs);
    bool ComeBack();
    bool Pause(int ms);
    void Wake();
    void DrainWake();

    const DeviceConfig m_config;
    std::unique_ptr<SimDevice> m_device;

    // Used by the serving thread only while it runs.
    Pty m_pty;
    SimCommandParser m_parser;
    std::thread m_thread;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_restartAhead = false; // an answer that ends in a restart is on its way
    std::uint64_t m_restartsRequested = 0;
    std::uint64_t m_restartsTaken = 0;
    int m_requestedDelayMs = 0;
    bool m_portPresent = false;
    int m_restarts = 0;
    std::string m_link;
    std::string m_ownDir;
};

} // namespace tervane::sim
