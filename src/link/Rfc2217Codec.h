#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tervane {

// The client's side of a telnet connection carrying a serial port (RFC 854 with the Com Port
// Control option of RFC 2217): what to send to open it, how data bytes are escaped, and the
// decoding of what the server sends into the port's data and the answers it asks for.
// Pure bytes in, bytes out; the caller does the reading and writing.
class Rfc2217Codec {
public:
    static constexpr unsigned char kIac = 255;
    static constexpr unsigned char kDont = 254;
    static constexpr unsigned char kDo = 253;
    static constexpr unsigned char kWont = 252;
    static constexpr unsigned char kWill = 251;
    static constexpr unsigned char kSb = 250;
    static constexpr unsigned char kSe = 240;
    static constexpr unsigned char kBinary = 0;
    static constexpr unsigned char kSuppressGoAhead = 3;
    static constexpr unsigned char kComPort = 44;

    // The line the link uses: 115200 baud, 8 data bits, no parity, one stop bit.
    static constexpr std::uint32_t kBaudRate = 115200;

    // What the server last said the line is (its answers to the settings, which a server that
    // cannot change its port answers with what the port has).
    struct Line {
        std::uint32_t baudRate = 0;
        int dataSize = 0;
        int parity = 0;
        int stopSize = 0;
    };

    // The client's offers: binary both ways, no go-aheads both ways, and the Com Port option.
    static std::string Opening();
    // The line settings, sent once the server has agreed to the Com Port option.
    static std::string LineSettings();
    // Clears the server's receive and transmit buffers of the port.
    static std::string Purge();
    // Data bytes as they go on the wire: every 0xFF doubled.
    static std::string Escape(std::string_view data);
    // How many bytes of `data` are wholly on the wire once `wireBytes` bytes of Escape(data)
    // have been written.
    static std::size_t DataBytesSent(std::string_view data, std::size_t wireBytes);

    // Starts a new connection on which Opening() is sent: everything learnt from the last
    // one is forgotten, and the offers are taken as made.
    Rfc2217Codec() { Reset(); }
    void Reset();

    // Decodes `length` received bytes in place; returns how many data bytes now stand at the
    // front of `bytes`. A command or subnegotiation split across calls is carried over.
    // Answers that the server's requests call for are appended to `reply`.
    std::size_t Decode(char* bytes, std::size_t length, std::string& reply);

    // The server refused the Com Port option.
    bool ComPortRefused() const { return m_comPortRefused; }
    // The server answered all four line settings.
    bool LineAnswered() const { return m_answered == kAllAnswered; }
    const Line& ServerLine() const { return m_line; }

private:
    enum class State { Data, Iac, Verb, Sub, SubIac };
    static constexpr std::size_t kSubMax = 16;
    static constexpr unsigned kAllAnswered = 0xF;

    void Negotiate(unsigned char verb, unsigned char option, std::string& reply);
    void EndSubnegotiation();

    State m_state = State::Data;
    unsigned char m_verb = 0;
    std::string m_sub;
    bool m_subTooLong = false;
    // Per option: on, or asked for and not yet answered, on our side (we WILL) and on the
    // server's (it WILLs).
    std::array<bool, 256> m_localOn {};
    std::array<bool, 256> m_localAsked {};
    std::array<bool, 256> m_remoteOn {};
    std::array<bool, 256> m_remoteAsked {};
    bool m_settingsSent = false;
    bool m_comPortRefused = false;
    unsigned m_answered = 0;
    Line m_line;
};

} // namespace tervane
