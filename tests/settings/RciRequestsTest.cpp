#include "RciRequests.h"
#include "SafeXml.h"

#include "XmlTestHelpers.h"

#include <gtest/gtest.h>

#include <string>

namespace tervane {
namespace {

struct RequestCase {
    const char* name;
    std::string_view request;
    bool framed;  // inside at&usbinterface=20,"..."\r\n; otherwise sent raw
};

std::ostream& operator<<(std::ostream& os, const RequestCase& c) { return os << c.name; }

class RciRequestTest : public ::testing::TestWithParam<RequestCase> {};

// Each request is one well-formed rci_request, framed for the device where it must be.
TEST_P(RciRequestTest, CarriesOneWellFormedRequest)
{
    const RequestCase& c = GetParam();
    std::string text(c.request);
    if (c.framed) {
        constexpr std::string_view head = "at&usbinterface=20,\"";
        constexpr std::string_view tail = "\"\r\n";
        ASSERT_TRUE(text.starts_with(head)) << text;
        ASSERT_TRUE(text.ends_with(tail)) << text;
        text = text.substr(head.size(), text.size() - head.size() - tail.size());
    }
    EXPECT_EQ(text.find('"'), std::string::npos);
    if (const std::size_t slot = text.find("%s"); slot != std::string::npos)
        text.replace(slot, 2, "name.py");
    EXPECT_TRUE(text.starts_with("<rci_request version='1.1'>")) << text;
    EXPECT_TRUE(ReadUntrustedXml(text, "request.xml")) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RciRequestTest,
    ::testing::Values(RequestCase{"query_settings", kQuerySettingsRequest, true},
                      RequestCase{"query_state", kQueryStateRequest, true},
                      RequestCase{"query_radio_settings", kQueryRadioSettingsRequest, true},
                      RequestCase{"factory_default", kFactoryDefaultRequest, true},
                      RequestCase{"radio_firmware_update", kRadioFirmwareUpdateRequest, true},
                      RequestCase{"remove_firmware_image", kRemoveFirmwareImageRequest, true},
                      RequestCase{"remove_radio_firmware", kRemoveRadioFirmwareRequest, true},
                      RequestCase{"remove_python_file", kRemovePythonFileRequest, true},
                      RequestCase{"list_python_files", kListPythonFilesRequest, false},
                      RequestCase{"get_python_file", kGetPythonFileRequest, false},
                      RequestCase{"bare_query_settings", kBareQuerySettingsRequest, false}),
    test::CaseName());

TEST(RciRequests, BareSettingsQueryIsTheFramedOnesArgument)
{
    EXPECT_EQ(std::string("at&usbinterface=20,\"") + std::string(kBareQuerySettingsRequest) + "\"\r\n", kQuerySettingsRequest);
}

struct FillCase {
    const char* name;
    std::string_view request;
    std::string fileName;
    std::optional<std::string> filled;
};

std::ostream& operator<<(std::ostream& os, const FillCase& c) { return os << c.name; }

class FillRciRequestTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillRciRequestTest, PutsTheNameInItsAttribute)
{
    EXPECT_EQ(FillRciRequest(GetParam().request, GetParam().fileName), GetParam().filled);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FillRciRequestTest,
    ::testing::Values(
        FillCase{"plain", kRemovePythonFileRequest, "main.py",
                 "at&usbinterface=20,\"<rci_request version='1.1'><do_command target='file_system'><rm name='/WEB/python/main.py'/>"
                 "</do_command></rci_request>\"\r\n"},
        FillCase{"raw_request", kGetPythonFileRequest, "a b.py",
                 "<rci_request version='1.1'><do_command target='file_system'><get_file name='/WEB/python/a b.py'/></do_command>"
                 "</rci_request>"},
        FillCase{"markup_quoted", kGetPythonFileRequest, "it's \"x\" <&>.py",
                 "<rci_request version='1.1'><do_command target='file_system'><get_file name='/WEB/python/it&apos;s &quot;x&quot; "
                 "&lt;&amp;&gt;.py'/></do_command></rci_request>"},
        FillCase{"percent_kept", kRadioFirmwareUpdateRequest, "%s.ebl",
                 "at&usbinterface=20,\"<rci_request version='1.1'><do_command target='zigbee'><fw_update file='%s.ebl'/>"
                 "</do_command></rci_request>\"\r\n"},
        FillCase{"line_end_refused", kRemovePythonFileRequest, "x.py\r\nat+CFUN=1", std::nullopt},
        FillCase{"no_slot", kQueryStateRequest, "x", std::nullopt}),
    test::CaseName());

} // namespace
} // namespace tervane
