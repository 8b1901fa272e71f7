// Writes each fuzz target's seed corpus from the simulated Q7's answers to the requests the
// program sends: fuzz_make_seeds DIR creates DIR/<target>/<n> files.
#include "DeviceConfig.h"
#include "SimDevice.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using tervane::sim::SimDevice;
using tervane::sim::SimInput;
using tervane::sim::SimReply;

struct Exchange {
    std::string command; // as sent, with its line end
    std::string body;    // the answer between echo and result code
    bool ok = true;
};

Exchange Ask(SimDevice& device, const std::string& command, SimInput::Kind kind = SimInput::Kind::Line)
{
    SimInput input;
    input.kind = kind;
    input.echo = command;
    input.text = command;
    while (kind == SimInput::Kind::Line && !input.text.empty()
           && (input.text.back() == '\r' || input.text.back() == '\n'))
        input.text.pop_back();
    const SimReply reply = device.Handle(input);
    return {command, reply.body, reply.result != SimReply::Result::Error};
}

Exchange AskRaw(SimDevice& device, const std::string& request)
{
    Ask(device, "at&usbinterface=22\r\n");
    return Ask(device, request, SimInput::Kind::RawRequest);
}

void Write(const std::filesystem::path& dir, const std::string& target, const std::vector<std::string>& seeds)
{
    std::filesystem::create_directories(dir / target);
    for (std::size_t i = 0; i < seeds.size(); ++i)
        std::ofstream(dir / target / std::to_string(i), std::ios::binary) << seeds[i];
}

std::string Zero()
{
    return std::string(1, '\0');
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    SimDevice device {tervane::sim::DeviceConfig {}};

    const char* const modem[] = {"AT\r\n", "AT+CGMI\r\n", "AT+CGSN\r\n", "AT+CGMR\r\n", "AT+CIMI\r\n",
                                 "AT+CSQ\r\n", "AT+CNUM\r\n", "AT+CREG?\r\n", "AT+NOPE\r\n"};
    std::vector<Exchange> exchanges;
    for (const char* command : modem)
        exchanges.push_back(Ask(device, command));
    const Exchange settings = Ask(device,
        "at&usbinterface=20,\"<rci_request version='1.1'><query_setting></query_setting></rci_request>\"\r\n");
    const Exchange state = Ask(device, "at&usbinterface=20,\"<rci_request version='1.1'><query_state/></rci_request>\"\r\n");
    const Exchange radio = Ask(device,
        "at&usbinterface=20,\"<rci_request version='1.1'><do_command target='zigbee'><query_setting/></do_command></rci_request>\"\r\n");
    const Exchange list = AskRaw(device,
        "<rci_request version='1.1'><do_command target='file_system'><ls dir='/WEB/python'/></do_command></rci_request>");
    const Exchange file = AskRaw(device,
        "<rci_request version='1.1'><do_command target='file_system'><get_file name='/WEB/python/main.py'/></do_command></rci_request>");
    const Exchange digest = Ask(device, "at&usbinterface=41,\"/WEB/python/main.py\"\r\n");
    for (const Exchange* e : {&settings, &state, &radio, &list, &file, &digest})
        exchanges.push_back(*e);

    std::vector<std::string> clean;
    for (const Exchange& e : exchanges)
        clean.push_back(e.command + Zero() + e.command + e.body + (e.ok ? "\r\nOK\r\n" : "\r\nERROR\r\n"));
    clean.push_back("AT" + Zero() + "AT\r\n<pyPrint>tick</pyPrint>1<usb>x</usb>\r\n" + char(6) + "\r\n");
    Write(dir, "fuzz_clean_response", clean);

    std::vector<std::string> documents;
    const char* const paths[] = {"mobile_simple/apn", "mgmtconnection&index=1/connectionEnabled",
                                 "serial&index=1/baud", "device_info/firmware", "zigbee/pan_id"};
    for (const Exchange* e : {&settings, &state, &radio, &list, &file})
        for (const char* path : paths)
            documents.push_back(path + Zero() + e->body);
    documents.push_back("mobile_simple/apn" + Zero() + "<rci_reply><do_command><error><desc>Currently not configured or supported</desc></error></do_command></rci_reply>");
    Write(dir, "fuzz_rci_documents", documents);

    Write(dir, "fuzz_binding_payload",
          {"fleet.example" + Zero() + settings.body, "a&b<c>\"d'\te\r\nf" + Zero() + settings.body,
           "\xe9t\xc3\xa9" + Zero() + settings.body});
    Write(dir, "fuzz_file_list", {list.body, file.body});
    Write(dir, "fuzz_digest",
          {digest.body + Zero() + digest.body + "\r\n", "0123456789abcdef0123456789abcdef" + Zero() + digest.body});
    Write(dir, "fuzz_sim_command_parser",
          {std::string(1, '\3') + "AT\r\nAT+CSQ\r\n",
           std::string(1, '\1') + "at&usbinterface=22\r\n" + list.command + "AT\r",
           std::string(1, '\2') + "at&usbinterface=18,\"/WEB/python/x.py\"\r\nabcdefAT+CGMI\r\n\r\n"});
    // Profiles (scripts/run-fuzz adds the example profile): aliases nested to expand
    // without limit, keys given twice, paths in two cases, and values of every kind.
    Write(dir, "fuzz_profile_reader",
          {"a: &a [x, x, x, x, x, x, x, x, x, x]\nb: &b [*a, *a, *a, *a, *a, *a, *a, *a, *a, *a]\n"
           "c: &c [*b, *b, *b, *b, *b, *b, *b, *b, *b, *b]\nsettings:\n  mobile_simple/apn: *c\n",
           "settings:\n  mobile_simple/apn: x\n  MOBILE_SIMPLE/APN: y\nfirmware: {version: 1}\nfirmware: {version: 2}\n",
           "settings:\n  mobile_simple: {apn: x, <<: {apn: y}}\n  serial&index=1/baud: 9600\n",
           "python:\n  present: [a.py, ../b.py, -c.py]\n  absent: [x.py, x.py]\n"
           "  autostart: {enabled: maybe, command: \"a\\x01\"}\n",
           "{\"settings\": {\"mobile_simple/apn\": [1, {\"a\": null}]}, \"radio\": \"x\"}\n",
           "--- !!map\n? [a, b]\n: c\n...\n---\nsettings: ~\n"});
    return 0;
}
