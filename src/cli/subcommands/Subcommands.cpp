#include "Subcommands.h"

#include <algorithm>

#include "SubcommandHandlers.h"

#include <array>

namespace tervane {

namespace {

const std::array kSubcommands {
    Subcommand {"", "info", "", 0, 0, "identity, modem and SIM facts, signal, mobile IP",
        "Runs the device query of the dashboard's Device Information page and shows\n"
        "what the device reports: product, firmware version, IMEI, phone number, ICCID,\n"
        "IMSI, modem type and revision, signal strength, mobile IP address and whether\n"
        "a Ravlo radio is configured. Control characters in the device's texts are\n"
        "shown escaped. A state answer that cannot be read is reported (exit 1).\n",
        RunInfo,
        "product model firmwareVersion imei phoneNumber iccid imsi modemType modemRevision signal mobileIpAddress "
        "linkUp radioConfigured stateRead"},
    Subcommand {"settings", "get", "[PATH...]", 0, -1, "values by setting path; all without PATH",
        "Reads the device's settings and shows the value of each PATH, or of every\n"
        "setting. A setting path is element names joined by \"/\"; a step may choose\n"
        "among groups of the same name by their index:\n"
        "  mobile_simple/apn\n"
        "  mgmtconnection&index=3/connectionEnabled\n"
        "Names are compared ignoring case. A PATH the device does not have is a usage\n"
        "error.\n",
        RunSettingsGet, "settings"},
    Subcommand {"settings", "set", "PATH=VALUE...", 1, -1, "change, apply, and show what the device kept",
        "Reads the device's settings, stores each VALUE at its PATH, sends the whole\n"
        "settings document to the device as the dashboard's Apply does, waits 20\n"
        "seconds for it to take effect and reads the settings back. Shows what the\n"
        "device kept for each PATH; a value the device did not keep is a failure (exit\n"
        "status 1). Every PATH is checked before anything is sent. The value starts\n"
        "after the first \"=\" that is not part of an \"&index=\" step:\n"
        "  tervane-q7 settings set 'mgmtconnection&index=1/connectionEnabled=on'\n",
        RunSettingsSet, "settings requests"},
    Subcommand {"", "backup", "FILE", 1, 1, "save the device's settings to FILE",
        "Reads the device's settings and writes them to FILE (or to backup.cfg in the\n"
        "folder FILE) as an RCI set_setting request, the backup file of the\n"
        "dashboard's Utilities page. FILE is replaced only once the whole backup has\n"
        "been written; a new FILE is readable by its owner alone, as it holds\n"
        "passwords. A link is written through; a device, FIFO or socket is refused.\n",
        RunBackup, "savedPath"},
    Subcommand {"", "restore", "FILE", 1, 1, "send a backup's settings; the device restarts",
        "Sends the settings held in FILE (a backup file) to the device, restarts it\n"
        "and reads its settings back.\n",
        RunRestore, "sent settingsRead"},
    Subcommand {"", "reboot", "", 0, 0, "restart the device",
        "Restarts the device (at+CFUN=1). It takes about 10 seconds to come back.\n", RunReboot, ""},
    Subcommand {"", "factory-reset", "", 0, 0, "restore factory defaults; asks unless --yes",
        "Restores the device's factory default settings, which clears every current\n"
        "setting, restarts the device and reads its settings and state back. Asks for\n"
        "confirmation on the terminal; without a terminal it needs --yes.\n",
        RunFactoryReset, "accepted settingsRead stateRead"},
    Subcommand {"", "firmware", "FILE", 1, 1, "install a firmware image, verified; it restarts",
        "Uploads the image FILE to /fw/updatefw.dwl and compares the device's MD5\n"
        "digest of it with the file's, uploading again up to --retries times when they\n"
        "differ. Then installs it, waits for the device to restart (up to 5 minutes)\n"
        "and shows the firmware version the device reports.\n",
        RunFirmware, "uploads lastUpload lastUploadMessage localDigest installed product firmwareVersion"},
    Subcommand {"", "radio-firmware", "FILE", 1, 1, "install Ravlo radio firmware, verified",
        "Uploads the image FILE to /WEB/mesh/ under its own name and compares the\n"
        "device's MD5 digest of it with the file's, uploading again up to --retries\n"
        "times when they differ. Then flashes the Ravlo radio with it and shows the\n"
        "radio firmware version the device reports.\n",
        RunRadioFirmware,
        "uploads lastUpload lastUploadMessage localDigest fileName flashed radioFirmwareVersion stateRead "
        "radioSettingsRead"},
    Subcommand {"python", "ls", "", 0, 0, "list the Python files on the device",
        "Lists the files in the device's /WEB/python folder with their sizes in bytes.\n", RunPythonLs, "files"},
    Subcommand {"python", "put", "FILE", 1, 1, "upload a Python file, verified",
        "Uploads FILE to /WEB/python/ under its own name and compares the device's MD5\n"
        "digest of it with the file's, uploading again up to --retries times when they\n"
        "differ.\n",
        RunPythonPut, "name destination uploads lastUpload lastUploadMessage verified files"},
    Subcommand {"python", "get", "NAME [DEST]", 1, 2, "download a Python file, verified",
        "Downloads /WEB/python/NAME to DEST: a file, or a folder to put NAME in (the\n"
        "current folder without DEST). Compares its MD5 digest with the device's,\n"
        "downloading again up to --retries times when they differ. A file already at\n"
        "DEST is replaced only by a download whose digest matched; the last one that\n"
        "did not is kept as DEST.unverified. The file is always named NAME (or DEST),\n"
        "whatever the device calls it; a reply for another file fails. A link is\n"
        "written through; a device, FIFO or socket is refused.\n",
        RunPythonGet, "name size savedPath unverifiedPath exchanges verified"},
    Subcommand {"python", "rm", "NAME...", 1, -1, "delete Python files",
        "Deletes each /WEB/python/NAME and lists what remains. Nothing is asked first.\n", RunPythonRm,
        "deleted files"},
    Subcommand {"", "apply", "PROFILE", 1, 1, "make the device match a profile; only what differs",
        "Reads the profile (YAML or JSON: settings, radio, firmware, radio-firmware,\n"
        "python; see tervane-q7(1)), reads the device and works out what differs. Then\n"
        "changes only that: the settings in one apply (one 20-second settle), the\n"
        "radio settings in one apply, the firmware and radio firmware only when their\n"
        "version differs, the Python files only when the device's MD5 digest differs\n"
        "or the file must go. Checks afterwards that the device holds the profile; a\n"
        "value it did not keep is a failure naming the path (exit status 1). A run\n"
        "that finds nothing to change says so and sends only reads.\n"
        "A profile with an unknown key, a path the device does not have or a file that\n"
        "cannot be read is refused (exit status 2) before anything is sent.\n"
        "  --check        change nothing; show what would change\n"
        "  --diff         show each change as old -> new (passwords and keys hidden)\n"
        "  --record FILE  append the gateway's identity and the outcome to a CSV file\n"
        "  --all          every gateway attached, each on its own thread\n"
        "  --vars FILE    values per gateway for ${NAME} in the profile: a CSV file whose\n"
        "                 first column (imei, iccid or serial) names the gateway\n"
        "  --var N=VALUE  a value for ${N}; given more than once, one for each\n"
        "${imei}, ${iccid}, ${imsi} and ${serial} (USB serial number) come from the\n"
        "gateway. A gateway without a row in the table, or a ${NAME} without a value,\n"
        "is refused before anything is sent to it (exit status 2); the others go on.\n"
        "With --check (exit status 4 when the device differs) --diff shows the values\n"
        "as put in.\n",
        RunApply,
        "check changed changes failures profile profileDigest imei iccid imsi product firmwareVersionBefore "
        "firmwareVersion radioFirmwareVersion"},
    Subcommand {"", "capture", "PROFILE", 1, 1, "write a profile that makes other gateways match this one",
        "Reads the device and writes PROFILE, a profile apply takes: every setting, the\n"
        "radio settings, the firmware and radio firmware versions, the Python files and\n"
        "the auto-start. The Python files are downloaded, each verified by its MD5\n"
        "digest, into the folder PROFILE-python beside it (golden.yaml: golden-python)\n"
        "and listed under present. Values of one gateway alone (IMEI, ICCID, IMSI, its\n"
        "state) never go into a profile. Secrets (paths that say password, key or pin)\n"
        "are left out, with a comment, unless --with-secrets is given. The versions\n"
        "name no image unless --firmware-image or --radio-image does. An existing\n"
        "PROFILE is refused (exit status 2) unless --force is given; nothing is written\n"
        "when a file could not be downloaded verified (exit status 1).\n"
        "  --force              replace an existing PROFILE\n"
        "  --with-secrets       write passwords, keys and PINs into PROFILE\n"
        "  --firmware-image F   the image that gives the firmware version\n"
        "  --radio-image F      the image that gives the radio firmware version\n",
        RunCapture, "profile settings radio firmwareVersion radioFirmwareVersion pythonFiles secretsLeftOut"},
    Subcommand {"", "devices", "", 0, 0, "list the gateways attached",
        "Lists the Skellin Q7 gateways attached by USB: port, USB serial number (or\n"
        "bus path) and maker, without opening them. With --probe each is opened and\n"
        "asked for its IMEI and firmware version.\n"
        "  --probe        open each gateway and ask for its IMEI and firmware\n",
        RunDevices, "devices"},
    Subcommand {"", "send", "COMMAND...", 1, -1, "send commands as typed, show the cleaned answers",
        "Sends each COMMAND to the device in turn and shows its cleaned answer.\n"
        "Commands are sent byte for byte: end AT commands with \\r\\n. The escapes \\r,\n"
        "\\n, \\t, \\\\, \\\" and \\xHH stand for their bytes. A command starting with\n"
        "SLEEP sends nothing and waits for the time-out (--timeout, default 5000 ms).\n"
        "  tervane-q7 --simulate send 'AT+CGMI\\r\\n' 'AT+CSQ\\r\\n'\n"
        "Exit status 1 when a command failed or got no OK or ERROR within the time-out,\n"
        "3 when the device sent nothing back at all.\n",
        RunSend, "commands"},
    Subcommand {"", "watch", "", 0, 0, "follow the signal live, one line per reading",
        "Polls the signal as the dashboard's signal view does (AT+CSQ and AT+CREG?)\n"
        "and writes one line per reading: time (UTC), CSQ, level in dBm, bars and\n"
        "registration. A reading the modem cannot tell (99, no answer) is \"unknown\";\n"
        "while the device is away or restarting the line says \"waiting for the\n"
        "device\" and the polling goes on until it is back. On a terminal one meter\n"
        "line (bars, dBm, peak) is redrawn in place instead. With --json each reading\n"
        "is one JSON object on its own line (JSON Lines), written at once: time, port,\n"
        "answered, csq, dbm, bars, barsShown, registration (csq, dbm and bars null\n"
        "when unknown). Several --port, or --all, follow every gateway at once; each\n"
        "line names its gateway. Runs until Ctrl-C or --count readings of each.\n"
        "  --interval SECONDS  time between readings (default 1, at least 0.1)\n"
        "  --count N           stop after N readings of each gateway\n"
        "  tervane-q7 --json watch | jq -r '[.time, .dbm] | @tsv'\n",
        RunWatch, ""},
};

// Options that change what one subcommand does; on any other they would be silently ignored
// (a --check that does not check), so the others refuse them before anything is sent.
constexpr std::array kSubcommandOptions {
    SubcommandOption {"--check", "apply"},
    SubcommandOption {"--diff", "apply"},
    SubcommandOption {"--record", "apply"},
    SubcommandOption {"--vars", "apply"},
    SubcommandOption {"--var", "apply"},
    SubcommandOption {"--probe", "devices"},
    SubcommandOption {"--interval", "watch"},
    SubcommandOption {"--count", "watch"},
    SubcommandOption {"--force", "capture"},
    SubcommandOption {"--with-secrets", "capture"},
    SubcommandOption {"--firmware-image", "capture"},
    SubcommandOption {"--radio-image", "capture"},
};

constexpr const char* kOptionsText = "Options:\n"
                                     "  --port PATH     use this serial port instead of finding the device; given\n"
                                     "                  more than once, run on each of those gateways. Also\n"
                                     "                  imei:NUMBER or serial:USBSERIAL: the attached gateway\n"
                                     "                  with that IMEI or USB serial number\n"
                                     "  --all           run on every gateway attached (apply, info, firmware,\n"
                                     "                  radio-firmware, backup FOLDER, settings get, python ls)\n"
                                     "  --simulate      talk to the built-in simulated Q7\n"
                                     "  --json          write the result as one JSON document on standard output\n"
                                     "  --yes, -y       factory-reset: do not ask first\n"
                                     "  --retries N     redo a transfer whose digests differ, up to N times (2)\n"
                                     "  --timeout MS    send: receive time-out of each command (default 5000)\n"
                                     "  /debug          write every exchange to command.log in the current folder\n"
                                     "  --log FILE      write every exchange to FILE\n"
                                     "  --help, -h      show this text, or a subcommand's (python get --help)\n"
                                     "  --version       show the version\n";

constexpr const char* kExitText = "Exit status: 0 done, 1 the device refused or a verification failed,\n"
                                  "2 usage error, 3 no device, 4 apply --check: the device differs from the\n"
                                  "profile.\n";

std::string ListLine(const Subcommand& subcommand)
{
    std::string left = subcommand.FullName();
    if (!subcommand.operands.empty())
        left.append(" ").append(subcommand.operands);
    if (left.size() < 27)
        left.resize(27, ' ');
    else
        left += " ";
    return "  " + left + std::string(subcommand.summary) + "\n";
}

} // namespace

std::string Subcommand::FullName() const
{
    return group.empty() ? std::string(name) : std::string(group) + " " + std::string(name);
}

std::vector<std::string> Subcommand::JsonMembers() const
{
    std::vector<std::string> members;
    std::size_t at = 0;
    while (at < json.size()) {
        const std::size_t end = std::min(json.find(' ', at), json.size());
        if (end > at)
            members.emplace_back(json.substr(at, end - at));
        at = end + 1;
    }
    return members;
}

std::span<const Subcommand> Subcommands()
{
    return kSubcommands;
}

const Subcommand* FindSubcommand(const std::vector<std::string>& words, std::size_t& nameWords)
{
    if (words.empty())
        return nullptr;
    for (const auto& subcommand : kSubcommands) {
        if (subcommand.group.empty() && words[0] == subcommand.name) {
            nameWords = 1;
            return &subcommand;
        }
        if (!subcommand.group.empty() && words[0] == subcommand.group && words.size() > 1 &&
            words[1] == subcommand.name) {
            nameWords = 2;
            return &subcommand;
        }
    }
    return nullptr;
}

bool IsSubcommandGroup(std::string_view word)
{
    for (const auto& subcommand : kSubcommands) {
        if (!subcommand.group.empty() && subcommand.group == word)
            return true;
    }
    return false;
}

std::string GeneralHelp()
{
    std::string text = "Usage: tervane-q7 [OPTIONS] SUBCOMMAND [OPERANDS]\n"
                       "\n"
                       "Configures and maintains a Skellin Q7 gateway attached by USB, doing from the\n"
                       "command line what the Tervane Q7 Dashboard does.\n"
                       "\n"
                       "Subcommands:\n";
    for (const auto& subcommand : kSubcommands)
        text += ListLine(subcommand);
    text += "\n";
    text += kOptionsText;
    text += "\n"
            "Without --port the device is looked for among the USB serial ports of WAVECOM\n"
            "modems; when several are attached they are listed and --port chooses. Options\n"
            "may stand before or after the subcommand; \"--\" ends them. Progress goes to\n"
            "standard error when it is a terminal, and every failure is one line there.\n"
            "\n";
    text += kExitText;
    return text;
}

std::span<const SubcommandOption> SubcommandOptions()
{
    return kSubcommandOptions;
}

bool SubcommandTakesOption(const Subcommand& subcommand, std::string_view option)
{
    const std::string name = std::string(" ").append(subcommand.FullName()) + " ";
    for (const auto& entry : kSubcommandOptions) {
        if (entry.option == option)
            return std::string(" ").append(entry.subcommands).append(" ").find(name) != std::string::npos;
    }
    return true;
}

std::string GroupHelp(std::string_view group)
{
    std::string text = "Usage: tervane-q7 [OPTIONS] " + std::string(group) + " SUBCOMMAND [OPERANDS]\n\n";
    for (const auto& subcommand : kSubcommands) {
        if (subcommand.group == group)
            text += ListLine(subcommand);
    }
    text += "\nSee tervane-q7 " + std::string(group) + " SUBCOMMAND --help for each.\n";
    return text;
}

std::string SubcommandHelp(const Subcommand& subcommand)
{
    std::string text = "Usage: tervane-q7 [OPTIONS] " + subcommand.FullName();
    if (!subcommand.operands.empty())
        text.append(" ").append(subcommand.operands);
    text += "\n\n" + std::string(subcommand.details) + "\n";
    text += kOptionsText;
    text += "\n";
    text += kExitText;
    return text;
}

} // namespace tervane
