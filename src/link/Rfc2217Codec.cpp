#include "Rfc2217Codec.h"

#include <initializer_list>

namespace tervane {

namespace {

// Com Port option commands of the client; the server answers each with the code plus 100.
constexpr unsigned char kSetBaudRate = 1;
constexpr unsigned char kSetDataSize = 2;
constexpr unsigned char kSetParity = 3;
constexpr unsigned char kSetStopSize = 4;
constexpr unsigned char kPurgeData = 12;
constexpr unsigned char kServerOffset = 100;
constexpr unsigned char kParityNone = 1;
constexpr unsigned char kStopSizeOne = 1;
constexpr unsigned char kPurgeBoth = 3;

bool OursLocally(unsigned char option)
{
    return option == Rfc2217Codec::kBinary || option == Rfc2217Codec::kSuppressGoAhead ||
        option == Rfc2217Codec::kComPort;
}

bool OursRemotely(unsigned char option)
{
    return option == Rfc2217Codec::kBinary || option == Rfc2217Codec::kSuppressGoAhead;
}

void Append(std::string& out, std::initializer_list<unsigned char> bytes)
{
    for (const unsigned char b : bytes)
        out.push_back(static_cast<char>(b));
}

// One Com Port subnegotiation with its value escaped.
std::string ComPortCommand(unsigned char command, std::string_view value)
{
    std::string out;
    Append(out, {Rfc2217Codec::kIac, Rfc2217Codec::kSb, Rfc2217Codec::kComPort, command});
    out += Rfc2217Codec::Escape(value);
    Append(out, {Rfc2217Codec::kIac, Rfc2217Codec::kSe});
    return out;
}

std::string Byte(unsigned char value)
{
    return std::string(1, static_cast<char>(value));
}

} // namespace

std::string Rfc2217Codec::Opening()
{
    std::string out;
    Append(out,
        {kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill, kSuppressGoAhead, kIac, kDo, kSuppressGoAhead, kIac,
            kWill, kComPort});
    return out;
}

std::string Rfc2217Codec::LineSettings()
{
    std::string baud;
    for (int shift = 24; shift >= 0; shift -= 8)
        baud.push_back(static_cast<char>((kBaudRate >> shift) & 0xFF));
    return ComPortCommand(kSetBaudRate, baud) + ComPortCommand(kSetDataSize, Byte(8)) +
        ComPortCommand(kSetParity, Byte(kParityNone)) + ComPortCommand(kSetStopSize, Byte(kStopSizeOne));
}

std::string Rfc2217Codec::Purge()
{
    return ComPortCommand(kPurgeData, Byte(kPurgeBoth));
}

std::string Rfc2217Codec::Escape(std::string_view data)
{
    std::string out;
    out.reserve(data.size());
    for (const char c : data) {
        out.push_back(c);
        if (static_cast<unsigned char>(c) == kIac)
            out.push_back(c);
    }
    return out;
}

std::size_t Rfc2217Codec::DataBytesSent(std::string_view data, std::size_t wireBytes)
{
    std::size_t wire = 0;
    std::size_t count = 0;
    for (const char c : data) {
        wire += static_cast<unsigned char>(c) == kIac ? 2 : 1;
        if (wire > wireBytes)
            break;
        ++count;
    }
    return count;
}

void Rfc2217Codec::Reset()
{
    m_state = State::Data;
    m_verb = 0;
    m_sub.clear();
    m_subTooLong = false;
    m_localOn.fill(false);
    m_localAsked.fill(false);
    m_remoteOn.fill(false);
    m_remoteAsked.fill(false);
    for (const unsigned char option : {kBinary, kSuppressGoAhead, kComPort})
        m_localAsked[option] = true;
    for (const unsigned char option : {kBinary, kSuppressGoAhead})
        m_remoteAsked[option] = true;
    m_settingsSent = false;
    m_comPortRefused = false;
    m_answered = 0;
    m_line = {};
}

// Answers a request only when it changes an option's state, so that two ends never keep
// acknowledging each other; an option this client does not know is refused.
void Rfc2217Codec::Negotiate(unsigned char verb, unsigned char option, std::string& reply)
{
    switch (verb) {
    case kDo:
        if (!OursLocally(option)) {
            Append(reply, {kIac, kWont, option});
        } else if (!m_localOn[option]) {
            m_localOn[option] = true;
            if (!m_localAsked[option])
                Append(reply, {kIac, kWill, option});
            m_localAsked[option] = false;
            if (option == kComPort && !m_settingsSent) {
                reply += LineSettings();
                m_settingsSent = true;
            }
        }
        break;
    case kDont:
        if (option == kComPort)
            m_comPortRefused = true;
        if (m_localOn[option])
            Append(reply, {kIac, kWont, option});
        m_localOn[option] = false;
        m_localAsked[option] = false;
        break;
    case kWill:
        if (!OursRemotely(option)) {
            Append(reply, {kIac, kDont, option});
        } else if (!m_remoteOn[option]) {
            m_remoteOn[option] = true;
            if (!m_remoteAsked[option])
                Append(reply, {kIac, kDo, option});
            m_remoteAsked[option] = false;
        }
        break;
    case kWont:
        if (m_remoteOn[option])
            Append(reply, {kIac, kDont, option});
        m_remoteOn[option] = false;
        m_remoteAsked[option] = false;
        break;
    default:
        break;
    }
}

void Rfc2217Codec::EndSubnegotiation()
{
    const std::string sub = std::move(m_sub);
    const bool tooLong = m_subTooLong;
    m_sub.clear();
    m_subTooLong = false;
    if (tooLong || sub.size() < 2 || static_cast<unsigned char>(sub[0]) != kComPort)
        return;
    const auto code = static_cast<unsigned char>(sub[1]);
    const std::string_view value = std::string_view(sub).substr(2);
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(value[i]); };
    switch (code) {
    case kServerOffset + kSetBaudRate:
        if (value.size() == 4) {
            m_line.baudRate = (std::uint32_t(at(0)) << 24) | (std::uint32_t(at(1)) << 16) |
                (std::uint32_t(at(2)) << 8) | std::uint32_t(at(3));
            m_answered |= 1;
        }
        break;
    case kServerOffset + kSetDataSize:
        if (value.size() == 1) {
            m_line.dataSize = at(0);
            m_answered |= 2;
        }
        break;
    case kServerOffset + kSetParity:
        if (value.size() == 1) {
            m_line.parity = at(0);
            m_answered |= 4;
        }
        break;
    case kServerOffset + kSetStopSize:
        if (value.size() == 1) {
            m_line.stopSize = at(0);
            m_answered |= 8;
        }
        break;
    default:
        // Line and modem state notices, flow control and purge answers: nothing to act on.
        break;
    }
}

std::size_t Rfc2217Codec::Decode(char* bytes, std::size_t length, std::string& reply)
{
    std::size_t out = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        switch (m_state) {
        case State::Data:
            if (b == kIac)
                m_state = State::Iac;
            else
                bytes[out++] = static_cast<char>(b);
            break;
        case State::Iac:
            if (b == kIac) {
                bytes[out++] = static_cast<char>(b);
                m_state = State::Data;
            } else if (b == kDo || b == kDont || b == kWill || b == kWont) {
                m_verb = b;
                m_state = State::Verb;
            } else if (b == kSb) {
                m_sub.clear();
                m_subTooLong = false;
                m_state = State::Sub;
            } else {
                // NOP, go-ahead, a stray SE and the other one-byte commands carry nothing here.
                m_state = State::Data;
            }
            break;
        case State::Verb:
            Negotiate(m_verb, b, reply);
            m_state = State::Data;
            break;
        case State::Sub:
            if (b == kIac) {
                m_state = State::SubIac;
            } else if (m_sub.size() < kSubMax) {
                m_sub.push_back(static_cast<char>(b));
            } else {
                m_subTooLong = true;
            }
            break;
        case State::SubIac:
            if (b == kIac) {
                if (m_sub.size() < kSubMax)
                    m_sub.push_back(static_cast<char>(b));
                else
                    m_subTooLong = true;
                m_state = State::Sub;
            } else if (b == kSe) {
                EndSubnegotiation();
                m_state = State::Data;
            } else {
                // A subnegotiation cut short by another command: drop it, take the command.
                m_sub.clear();
                m_subTooLong = false;
                m_state = State::Iac;
                --i;
            }
            break;
        }
    }
    return out;
}

} // namespace tervane
