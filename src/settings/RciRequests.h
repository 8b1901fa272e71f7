#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tervane {

// The RCI requests the program sends, framed exactly as the device expects them. Inside
// the double-quoted argument of at&usbinterface=20, attributes use single quotes.

inline constexpr std::string_view kQuerySettingsRequest =
    "at&usbinterface=20,\"<rci_request version='1.1'><query_setting></query_setting></rci_request>\"\r\n";
inline constexpr std::string_view kQueryStateRequest =
    "at&usbinterface=20,\"<rci_request version='1.1'><query_state/></rci_request>\"\r\n";
inline constexpr std::string_view kQueryRadioSettingsRequest =
    "at&usbinterface=20,\"<rci_request version='1.1'><do_command target='zigbee'><query_setting/></do_command></rci_request>\"\r\n";
inline constexpr std::string_view kFactoryDefaultRequest =
    "at&usbinterface=20,\"<rci_request version='1.1'><set_factory_default/></rci_request>\"\r\n";
// %s: the uploaded radio firmware file name.
inline constexpr std::string_view kRadioFirmwareUpdateRequest =
    "at&usbinterface=20,\"<rci_request version='1.1'><do_command target='zigbee'><fw_update file='%s'/></do_command></rci_request>\"\r\n";
inline constexpr std::string_view kRemoveFirmwareImageRequest =
    "at&usbinterface=20,\"<rci_request version='1.1'><do_command target='file_system'><rm name='/fw/updatefw.dwl'/></do_command></rci_request>\"\r\n";
// %s: the radio firmware file name under /WEB/mesh/.
inline constexpr std::string_view kRemoveRadioFirmwareRequest =
    "at&usbinterface=20,\"<rci_request version='1.1'><do_command target='file_system'><rm name='/WEB/mesh/%s'/></do_command></rci_request>\"\r\n";
// %s: the Python file name under /WEB/python/.
inline constexpr std::string_view kRemovePythonFileRequest =
    "at&usbinterface=20,\"<rci_request version='1.1'><do_command target='file_system'><rm name='/WEB/python/%s'/></do_command></rci_request>\"\r\n";

// Raw requests, sent as the command that follows kRawRequestAnnounce.
inline constexpr std::string_view kRawRequestAnnounce = "at&usbinterface=22\r\n";
inline constexpr std::string_view kListPythonFilesRequest =
    "<rci_request version='1.1'><do_command target='file_system'><ls dir='/WEB/python'/></do_command></rci_request>";
// %s: the Python file name under /WEB/python/.
inline constexpr std::string_view kGetPythonFileRequest =
    "<rci_request version='1.1'><do_command target='file_system'><get_file name='/WEB/python/%s'/></do_command></rci_request>";

// The settings query without its frame; results walks also recognise it.
inline constexpr std::string_view kBareQuerySettingsRequest =
    "<rci_request version='1.1'><query_setting></query_setting></rci_request>";

// Fills the "%s" of one of the requests above with a file name. The name lands inside a
// single-quoted attribute inside a double-quoted command argument, so XML's special
// characters are written as entity references; a name holding a control character
// (which could end the command line early) gives none.
std::optional<std::string> FillRciRequest(std::string_view request, std::string_view fileName);

} // namespace tervane
