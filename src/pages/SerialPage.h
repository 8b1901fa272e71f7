#pragma once

#include "PropertyPage.h"

#include <cstddef>

namespace tervane {

// The "Serial Port" page: the serial line (baud rate, data bits, parity, stop bits, flow
// control) and the network services that reach it (Telnet, raw TCP, SSH and secure socket
// servers with their TCP port and keep-alive, and a UDP server with its port). Settings the
// device does not have keep their controls hidden. Values are sent as chosen or typed; the
// page checks none of them. Only an apply while this page is the visible one sends them.
class SerialPage : public PropertyPage {
    Q_OBJECT

public:
    // Control ids; each value is kept under the id of the control that shows it.
    enum ControlId : int {
        IDC_RAW_TCP_KEEPALIVE = 1022,
        IDC_SSH_KEEPALIVE = 1023,
        IDC_SECURE_SOCKET_KEEPALIVE = 1024,
        IDC_UDP = 1025,
        IDC_BAUD_RATE = 1026,
        IDC_DATA_BITS = 1027,
        IDC_PARITY = 1028,
        IDC_STOP_BITS = 1029,
        IDC_FLOW_CONTROL = 1030,
        IDC_TELNET = 1031,
        IDC_RAW_TCP = 1032,
        IDC_RAW_TCP_PORT = 1033,
        IDC_TELNET_PORT = 1034,
        IDC_TELNET_KEEPALIVE = 1035,
        IDC_SSH = 1036,
        IDC_SSH_PORT = 1037,
        IDC_SECURE_SOCKET = 1038,
        IDC_SECURE_SOCKET_PORT = 1039,
        IDC_UDP_PORT = 1040,
        IDC_BAUD_RATE_CAPTION = 1096,
        IDC_DATA_BITS_CAPTION = 1097,
        IDC_PARITY_CAPTION = 1098,
        IDC_STOP_BITS_CAPTION = 1099,
        IDC_FLOW_CONTROL_CAPTION = 1100,
        IDC_BASIC_GROUP = 1101,
        IDC_NETWORK_GROUP = 1102,
        IDC_TCP_SERIAL_CAPTION = 1103,
    };

    // The entries of the line-setting lists, in order; each entry is also the value sent.
    static constexpr const char* kBaudRateChoices =
        "300\n600\n1200\n2400\n4800\n9600\n19200\n38400\n57600\n115200\n230400";
    static constexpr const char* kDataBitsChoices = "8\n7\n6\n5";
    static constexpr const char* kParityChoices = "None\nOdd\nEven";
    static constexpr const char* kStopBitsChoices = "1\n2";
    static constexpr const char* kFlowControlChoices = "None\nHardware";

    SerialPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnApply() override;
    bool OnSetActive() override;

public slots:
    // An enable box clicked: its service's port edit and keep-alive box follow it.
    void OnTelnetClicked();
    void OnRawTcpClicked();
    void OnSshClicked();
    void OnSecureSocketClicked();
    void OnUdpClicked();

private:
    void BuildControls();
    // The handler shared by the enable boxes; `service` counts Telnet, raw TCP, SSH, secure
    // socket, UDP from 0.
    void OnServiceClicked(std::size_t service);
    // The port edits and keep-alive boxes enabled as their services are.
    void EnableServiceControls();
    // A line setting that no entry of its list begins with (a baud rate of 14400, software
    // flow control) is shown as an entry of its own, so that an apply writes back what the
    // device holds rather than the list's first entry. Earlier such entries go.
    void AdmitDeviceValues();
    void ShowCaptions();
};

} // namespace tervane
