#pragma once

#include <string>
#include <vector>

namespace tervane {

class CliSession;

// The subcommands, one function each, grouped in files by what they drive.
using Operands = std::vector<std::string>;

// SendSubcommand.cpp
int RunSend(CliSession& session, const Operands& operands);
// InfoSubcommand.cpp
int RunInfo(CliSession& session, const Operands& operands);
// SettingsSubcommands.cpp
int RunSettingsGet(CliSession& session, const Operands& operands);
int RunSettingsSet(CliSession& session, const Operands& operands);
// UtilitySubcommands.cpp
int RunBackup(CliSession& session, const Operands& operands);
int RunRestore(CliSession& session, const Operands& operands);
int RunReboot(CliSession& session, const Operands& operands);
int RunFactoryReset(CliSession& session, const Operands& operands);
// FirmwareSubcommands.cpp
int RunFirmware(CliSession& session, const Operands& operands);
int RunRadioFirmware(CliSession& session, const Operands& operands);
// PythonSubcommands.cpp
int RunPythonLs(CliSession& session, const Operands& operands);
int RunPythonPut(CliSession& session, const Operands& operands);
int RunPythonGet(CliSession& session, const Operands& operands);
int RunPythonRm(CliSession& session, const Operands& operands);
// ApplySubcommand.cpp
int RunApply(CliSession& session, const Operands& operands);
// CaptureSubcommand.cpp
int RunCapture(CliSession& session, const Operands& operands);
// DevicesSubcommand.cpp
int RunDevices(CliSession& session, const Operands& operands);
// WatchSubcommand.cpp
int RunWatch(CliSession& session, const Operands& operands);

} // namespace tervane
