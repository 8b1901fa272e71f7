#pragma once

namespace tervane {

// How a read of the device's answer ended.
enum class ReadEnd {
    Nothing,     // the time-out passed without a single byte
    Unended,     // the time-out passed with bytes but no final result code
    ResultCode,  // "\r\nOK\r\n" or "\r\nERROR\r\n" arrived, or the answer ended in CR LF ACK CR LF
    Reconnected, // reconnect wait: the restarted device is back
    Sleep,       // the "SLEEP" pseudo-command waited out its time
};

} // namespace tervane
