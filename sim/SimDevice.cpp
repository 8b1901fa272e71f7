#include "SimDevice.h"

#include "SimDefaults.h"
#include "SimEncoding.h"

#include <algorithm>
#include <cctype>

namespace tervane::sim {

namespace {

SimReply Info(std::string text)
{
    SimReply reply;
    reply.body = "\r\n" + std::move(text) + "\r\n";
    return reply;
}

SimReply Ok(SimReply::Then then = SimReply::Then::Nothing)
{
    SimReply reply;
    reply.then = then;
    return reply;
}

SimReply Error()
{
    SimReply reply;
    reply.result = SimReply::Result::Error;
    return reply;
}

SimReply Nothing()
{
    SimReply reply;
    reply.result = SimReply::Result::None;
    return reply;
}

// What a hostile modem adds to its identity answers: it sets the terminal's title and
// clears the screen.
const char* const kTerminalEscapes = "\x1b]0;owned\x07\x1b[2J";

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

std::optional<std::string> Unquote(const std::string& argument)
{
    if (argument.size() < 2 || argument.front() != '"' || argument.back() != '"')
        return std::nullopt;
    return argument.substr(1, argument.size() - 2);
}

std::optional<long long> Count(const std::string& text)
{
    if (text.empty() || text.size() > 12
        || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
        return std::nullopt;
    return std::stoll(text);
}

const char* const kFirmwareImage = "/fw/updatefw.dwl";
const char* const kSettingsQuery = "<rci_request version='1.1'><query_setting/></rci_request>";
const char* const kStateQuery = "<rci_request version='1.1'><query_state/></rci_request>";
const char* const kRadioQuery =
    "<rci_request version='1.1'><do_command target='zigbee'><query_setting/></do_command></rci_request>";

} // namespace

SimDevice::SimDevice(const DeviceConfig& config)
    : m_state(config)
    , m_settings(DefaultSettingGroups(), config.omitted)
    , m_radio(DefaultRadioGroups(), config.omitted)
    , m_rci(m_settings, m_radio, m_files, m_state, m_faults)
{
    for (const auto& [path, bytes] : config.files)
        m_files.Put(path, bytes);
}

SimReply SimDevice::Handle(const SimInput& input)
{
    std::lock_guard lock(m_mutex);
    FollowFaults();
    if (input.kind == SimInput::Kind::Line || input.kind == SimInput::Kind::RawRequest)
        m_received.push_back(input.text);
    if (m_faults.silent)
        return Nothing();

    switch (input.kind) {
    case SimInput::Kind::Data:
        return m_upload.DataArrived(input.text) ? Ok() : Error();
    case SimInput::Kind::Abandoned:
        m_upload.Reset();
        return Error();
    case SimInput::Kind::Line:
    case SimInput::Kind::RawRequest: break;
    }
    if (AnyPartOf(m_faults.silentFor, input.text))
        return Nothing();
    if (AnyPartOf(m_faults.errorFor, input.text))
        return Error();
    if (input.kind == SimInput::Kind::RawRequest)
        return HandleRci(input.text);
    return HandleLine(input.text);
}

SimReply SimDevice::HandleLine(const std::string& line)
{
    const std::string upper = Upper(line);
    if (upper.rfind("AT", 0) != 0)
        return Error();
    const std::string command = upper.substr(2);
    const DeviceConfig& config = m_state.Config();

    if (command.empty())
        return Ok();
    const std::string escapes = m_faults.modemEscapes ? kTerminalEscapes : "";
    if (command == "+CGMI")
        return Info(config.manufacturer + escapes);
    if (command == "+CGMM")
        return Info("Q2687");
    if (command == "+CGSN")
        return Info(config.imei + escapes);
    if (command == "+CGMR")
        return Info(config.modemRevision + escapes);
    if (command == "I")
        return Info(m_state.Product());
    if (command == "+CIMI")
        return m_state.simPresent ? Info(config.imsi + escapes) : Error();
    if (command == "+CSQ") {
        if (config.signalPattern != SignalPattern::Steady)
            m_state.signalQuality = SignalQualityAt(config, m_signalQuestions++);
        return Info("+CSQ: " + std::to_string(m_state.signalQuality) + ",99");
    }
    if (command == "+CNUM") {
        if (m_faults.cnumError || !m_state.simPresent)
            return Error();
        const char* type = config.phoneNumber.rfind('+', 0) == 0 ? "145" : "129";
        return Info("+CNUM: \"Line 1\",\"" + config.phoneNumber + "\"," + type);
    }
    if (command == "+CREG?")
        return Info(m_state.simPresent ? "+CREG: 0,1" : "+CREG: 0,0");
    if (command == "+CFUN?")
        return Info("+CFUN: 1");
    if (command == "+CFUN=1")
        return Ok(SimReply::Then::Restart);
    static constexpr std::string_view kUsbInterface = "&USBINTERFACE=";
    if (command.rfind(kUsbInterface, 0) == 0)
        return HandleUsbInterface(line.substr(2 + kUsbInterface.size()));
    return Error();
}

SimReply SimDevice::HandleUsbInterface(const std::string& arguments)
{
    const auto digitsEnd = std::find_if(arguments.begin(), arguments.end(),
                                        [](unsigned char c) { return std::isdigit(c) == 0; });
    const auto code = Count(std::string(arguments.begin(), digitsEnd));
    if (!code)
        return Error();
    const std::string rest(digitsEnd, arguments.end());
    if (!rest.empty() && rest.front() != ',')
        return Error();
    const std::string argument = rest.empty() ? rest : rest.substr(1);

    switch (*code) {
    case 20: {
        const auto request = Unquote(argument);
        return request ? HandleRci(*request) : Error();
    }
    case 22: return argument.empty() ? Ok(SimReply::Then::ExpectRawRequest) : Error();
    case 41: return Digest(argument);
    case 110: return argument.empty() ? Install() : Error();
    case 17:
    case 3:
    case 16:
    case 9:
    case 5:
    case 18: return HandleUpload(static_cast<int>(*code), argument);
    default: return Error();
    }
}

SimReply SimDevice::HandleUpload(int code, const std::string& argument)
{
    switch (code) {
    case 17: {
        const auto size = Count(argument);
        return size && m_upload.Announce(*size) ? Ok() : Error();
    }
    case 3: {
        const auto size = Count(argument);
        if (!size) {
            m_upload.Reset();
            return Error();
        }
        return m_upload.ConfirmSize(*size) ? Ok() : Error();
    }
    case 16: {
        const auto path = Unquote(argument);
        if (!path) {
            m_upload.Reset();
            return Error();
        }
        return m_upload.SetDestination(*path) ? Ok() : Error();
    }
    case 9: return m_upload.Open(argument) ? Ok() : Error();
    case 5: {
        const auto count = argument.empty() ? m_upload.BeginData() : std::nullopt;
        if (!count) {
            m_upload.Reset();
            return Error();
        }
        SimReply reply = Ok(SimReply::Then::ExpectData);
        reply.dataBytes = *count;
        return reply;
    }
    default: {
        const auto size = Count(argument);
        auto stored = size ? m_upload.Commit(*size) : std::nullopt;
        if (!stored) {
            m_upload.Reset();
            return Error();
        }
        if (m_faults.corruptUploads) {
            if (stored->bytes.empty())
                stored->bytes.push_back('\n');
            else
                stored->bytes[stored->bytes.size() / 2] ^= 0x20;
        }
        m_files.Put(stored->path, std::move(stored->bytes));
        ++m_uploads;
        return Ok();
    }
    }
}

namespace {

// Puts `count` attributes into the reply's first tag, right after its name.
void AddRootAttributes(std::string& reply, std::size_t count)
{
    const std::size_t nameEnd = reply.find_first_of(" />", 1);
    if (reply.empty() || reply[0] != '<' || nameEnd == std::string::npos)
        return;
    std::string attributes;
    for (std::size_t i = 0; i < count; ++i)
        attributes += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    reply.insert(nameEnd, attributes);
}

} // namespace

SimReply SimDevice::HandleRci(std::string_view request)
{
    if (!m_faults.fileReply.empty() && request.find("<get_file") != std::string_view::npos)
        return Info(m_faults.fileReply);
    auto reply = m_rci.Answer(request);
    if (!reply)
        return Error();
    if (m_faults.replyAttributes > 0)
        AddRootAttributes(*reply, m_faults.replyAttributes);
    return Info(std::move(*reply));
}

SimReply SimDevice::Digest(const std::string& argument)
{
    const auto path = Unquote(argument);
    const auto bytes = path ? m_files.Get(*path) : std::nullopt;
    if (!bytes)
        return Error();
    std::string digest = Md5Hex(m_faults.wrongDigests ? *bytes + "\n" : *bytes);
    if (m_faults.upperCaseDigests)
        digest = Upper(digest);
    return Info(digest);
}

SimReply SimDevice::Install()
{
    const auto image = m_files.Get(kFirmwareImage);
    if (!image || image->empty())
        return Error();
    m_state.firmwareVersion = m_state.Config().installedFirmwareVersion;
    return Ok(SimReply::Then::Restart);
}

void SimDevice::FollowFaults()
{
    m_state.radioPresent = m_state.Config().radioConfigured && !m_faults.noRadio;
    m_state.simPresent = !m_faults.noSim;
}

void SimDevice::Restarted()
{
    std::lock_guard lock(m_mutex);
    m_upload.Reset();
}

void SimDevice::SetFaults(Faults faults)
{
    std::lock_guard lock(m_mutex);
    m_faults = std::move(faults);
    FollowFaults();
}

Faults SimDevice::GetFaults() const
{
    std::lock_guard lock(m_mutex);
    return m_faults;
}

void SimDevice::ChangeFaults(const std::function<void(Faults&)>& change)
{
    std::lock_guard lock(m_mutex);
    change(m_faults);
    FollowFaults();
}

bool SimDevice::TakeHangUp()
{
    std::lock_guard lock(m_mutex);
    const bool hangUp = m_faults.hangUpMidAnswer;
    m_faults.hangUpMidAnswer = false;
    return hangUp;
}

void SimDevice::SetSignalQuality(int quality)
{
    std::lock_guard lock(m_mutex);
    m_state.signalQuality = quality;
}

std::optional<std::string> SimDevice::File(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    return m_files.Get(path);
}

void SimDevice::PutFile(const std::string& path, std::string bytes)
{
    std::lock_guard lock(m_mutex);
    m_files.Put(path, std::move(bytes));
}

bool SimDevice::RemoveFile(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    return m_files.Remove(path);
}

std::vector<std::string> SimDevice::FilePaths() const
{
    std::lock_guard lock(m_mutex);
    return m_files.Paths();
}

std::optional<std::string> SimDevice::Setting(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    return m_settings.Value(path);
}

bool SimDevice::SetSetting(const std::string& path, std::string value)
{
    std::lock_guard lock(m_mutex);
    return m_settings.SetValue(path, std::move(value));
}

std::optional<std::string> SimDevice::RadioSetting(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    return m_radio.Value(path);
}

bool SimDevice::SetRadioSetting(const std::string& path, std::string value)
{
    std::lock_guard lock(m_mutex);
    return m_radio.SetValue(path, std::move(value));
}

std::string SimDevice::QueryLocked(const char* request)
{
    FollowFaults();
    return m_rci.Answer(request).value_or(std::string());
}

std::string SimDevice::SettingsXml()
{
    std::lock_guard lock(m_mutex);
    return QueryLocked(kSettingsQuery);
}

std::string SimDevice::StateXml()
{
    std::lock_guard lock(m_mutex);
    return QueryLocked(kStateQuery);
}

std::string SimDevice::RadioSettingsXml()
{
    std::lock_guard lock(m_mutex);
    return QueryLocked(kRadioQuery);
}

std::string SimDevice::FirmwareVersion() const
{
    std::lock_guard lock(m_mutex);
    return m_state.firmwareVersion;
}

std::string SimDevice::RadioFirmwareVersion() const
{
    std::lock_guard lock(m_mutex);
    return m_state.radioFirmwareVersion;
}

std::vector<std::string> SimDevice::ReceivedCommands() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

void SimDevice::ClearReceivedCommands()
{
    std::lock_guard lock(m_mutex);
    m_received.clear();
}

int SimDevice::UploadCount() const
{
    std::lock_guard lock(m_mutex);
    return m_uploads;
}

} // namespace tervane::sim
