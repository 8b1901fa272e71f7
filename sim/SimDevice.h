#pragma once

#include "DeviceConfig.h"
#include "Faults.h"
#include "SimCommandParser.h"
#include "SimFileStore.h"
#include "SimRci.h"
#include "SimSettings.h"
#include "SimState.h"
#include "SimUpload.h"

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tervane::sim {

// What the device does with one input, before any fault of the line is applied.
struct SimReply {
    enum class Result { Ok, Error, None };
    enum class Then { Nothing, ExpectRawRequest, ExpectData, Restart };

    // Text between the echo and the final result code.
    std::string body;
    Result result = Result::Ok;
    Then then = Then::Nothing;
    std::size_t dataBytes = 0;
};

// The device behind the port: modem, RCI service, file system and upload. Every member is safe
// to call from any thread.
class SimDevice {
public:
    explicit SimDevice(const DeviceConfig& config);

    SimReply Handle(const SimInput& input);
    // The device starts again: a transfer under way is lost.
    void Restarted();

    void SetFaults(Faults faults);
    Faults GetFaults() const;
    void ChangeFaults(const std::function<void(Faults&)>& change);
    // One-shot hang-up: true once per switching on.
    bool TakeHangUp();

    void SetSignalQuality(int quality);

    std::optional<std::string> File(const std::string& path) const;
    void PutFile(const std::string& path, std::string bytes);
    bool RemoveFile(const std::string& path);
    std::vector<std::string> FilePaths() const;

    std::optional<std::string> Setting(const std::string& path) const;
    bool SetSetting(const std::string& path, std::string value);
    std::optional<std::string> RadioSetting(const std::string& path) const;
    bool SetRadioSetting(const std::string& path, std::string value);
    // The answer bodies of the three queries, as the device would send them now.
    std::string SettingsXml();
    std::string StateXml();
    std::string RadioSettingsXml();

    std::string FirmwareVersion() const;
    std::string RadioFirmwareVersion() const;

    std::vector<std::string> ReceivedCommands() const;
    void ClearReceivedCommands();
    int UploadCount() const;

private:
    SimReply HandleLine(const std::string& line);
    SimReply HandleUsbInterface(const std::string& arguments);
    SimReply HandleUpload(int code, const std::string& argument);
    SimReply HandleRci(std::string_view request);
    SimReply Digest(const std::string& argument);
    SimReply Install();
    void FollowFaults();
    std::string QueryLocked(const char* request);

    mutable std::mutex m_mutex;
    Faults m_faults;
    SimState m_state;
    SimSettings m_settings;
    SimSettings m_radio;
    SimFileStore m_files;
    SimRci m_rci;
    SimUpload m_upload;
    std::vector<std::string> m_received;
    int m_uploads = 0;
    long long m_signalQuestions = 0; // the AT+CSQ questions so far, for a moving signal
};

} // namespace tervane::sim
