#pragma once

#include <cstddef>
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace tervane::sim {

// Misbehaviour a test can switch on at any time (SimulatedQ7::SetFaults / ChangeFaults).
struct Faults {
    // Every zigbee request answers "Currently not configured or supported"; no zigbee_state.
    bool noRadio = false;
    // AT+CIMI and AT+CNUM answer ERROR, the ICCID is empty and the mobile IP address is 0.0.0.0.
    bool noSim = false;
    // AT+CNUM answers ERROR.
    bool cnumError = false;
    // Commands are still received (and listed) but neither echoed, acted on nor answered.
    bool silent = false;
    // A command whose text contains one of these (case-sensitive) answers ERROR and is not acted on.
    std::vector<std::string> errorFor;
    // A command whose text contains one of these (case-sensitive) is echoed, acted on and
    // answered, but its final result code never comes.
    std::vector<std::string> unendedFor;
    // A command whose text contains one of these is answered with CR LF ACK CR LF (ACK is
    // byte 6) in place of its final OK.
    std::vector<std::string> ackFor;
    // A command whose text contains one of these is received (and listed) but neither acted
    // on nor answered: it times out.
    std::vector<std::string> silentFor;

    // Above 0: answers are written in pieces of this many bytes with fragmentPauseMs between them.
    std::size_t fragmentBytes = 0;
    int fragmentPauseMs = 0;
    // <pyPrint>…</pyPrint> and <usb>…</usb> spans mixed into every answer.
    bool printSpans = false;

    // Where the unsolicited text goes: after the echo, before it, or a moment after the result code.
    enum class UnsolicitedAt { AfterEcho, BeforeEcho, AfterAnswer };
    // Not empty: this text (for instance "\r\n+CREG: 1\r\n") comes with every answer.
    std::string unsolicited;
    UnsolicitedAt unsolicitedAt = UnsolicitedAt::AfterEcho;

    // Digest answers in upper-case hexadecimal.
    bool upperCaseDigests = false;
    // Digest answers that are well-formed but belong to other bytes.
    bool wrongDigests = false;
    // Uploaded files are stored with one byte changed (an empty one gains a byte).
    bool corruptUploads = false;
    // Not empty: an RCI request for a file (get_file) is answered with this reply text
    // instead, as by a device whose file service is broken or hostile.
    std::string fileReply;

    // Above 0: the root element of every RCI reply carries this many extra attributes
    // (a0="0" a1="1" ...), an element no real reply has; its size grows with the count.
    std::size_t replyAttributes = 0;

    // One-shot: the next answer stops halfway, the port goes away and comes back after the
    // restart delay. Cleared when it fires.
    bool hangUpMidAnswer = false;
    // Added to every restart delay.
    int slowRestartMs = 0;

    // Not empty: file replies name this path instead of the file asked for, and carry the
    // asked file's bytes (so the digest of what arrives still matches).
    std::string fileReplyName;
    // File replies carry only the first half of the file's Base64 text.
    bool shortFileData = false;
    // The modem's identity answers (AT+CGMI, AT+CGSN, AT+CGMR, AT+CIMI) end in terminal
    // escapes: a window title and a screen clear.
    bool modemEscapes = false;
    // The answer to query_state stops halfway and is no longer XML.
    bool brokenState = false;
    // The answer to a file listing (ls) stops halfway and is no longer XML; its result code
    // still says OK.
    bool brokenListing = false;
    // Removing a file the device does not hold answers as a removal that worked, with no error.
    bool quietRemoval = false;
    // Not empty: the file listing gives every file this size text instead of its own.
    std::string listedSize;
    // The settings query is answered with the state document (query_state) instead.
    bool stateForSettings = false;
};

// Whether a fault keyed by texts (errorFor, unendedFor, silentFor) takes a command: any of its
// texts, an empty one aside, is part of the command.
inline bool AnyPartOf(const std::vector<std::string>& parts, std::string_view command)
{
    return std::any_of(parts.begin(), parts.end(),
        [command](const std::string& part) { return !part.empty() && command.find(part) != std::string_view::npos; });
}

} // namespace tervane::sim
