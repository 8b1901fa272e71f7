#pragma once

#include <cstddef>
#include <string>

namespace tervane {

// One gateway's line of the inventory CSV that apply --record appends to.
struct InventoryRecord {
    std::string time;  // UTC, ISO 8601
    std::string port;
    std::string usbSerial;  // the gateway's USB serial number, when it has one
    std::string byIdPath;   // the port's lasting name under /dev/serial/by-id
    std::string imei;
    std::string iccid;
    std::string imsi;
    std::string product;
    std::string firmwareBefore;
    std::string firmwareAfter;
    std::string radioFirmware;
    std::string profileDigest;
    bool changed = false;
    std::string result;
    // How many changes were made (or, with --check, are needed).
    std::size_t changes = 0;
    // The first failure line of the run; empty when it went well.
    std::string error;
};

// The header line and a record's line, each ending in "\r\n" (RFC 4180). Control
// characters, line ends among them, become "?"; fields that hold a comma or a quote are
// quoted; a field that a spreadsheet would read as a formula gets a leading "'".
std::string InventoryHeader();
std::string InventoryLine(const InventoryRecord& record);

// Appends the record's line to the file, with the header first when the file is new or
// empty. The line goes in one write under an exclusive lock, so gateways recorded at the
// same time never mix their lines; a write that fails part-way is cut off again, so the
// file never ends in half a line. Earlier lines are never touched. False, and why in
// `failure`, when the line was not written.
bool AppendInventoryRecord(const std::string& path, const InventoryRecord& record, std::string& failure);

// The current time as the records write it.
std::string InventoryTimeNow();

} // namespace tervane
