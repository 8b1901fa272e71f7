// The program sends back what the device reported: the reply with its root renamed rci_request and
// query_setting renamed set_setting, serialised by libxml2, double quotes turned single, without
// the declaration and the final line end. The device must take such a payload whole.
#include "PortClient.h"
#include "SimulatedQ7.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <string>

namespace tervane::sim {
namespace {

using test::PortClient;

const std::string kSettingsQuery =
    "at&usbinterface=20,\"<rci_request version='1.1'><query_setting></query_setting></rci_request>\"\r\n";
const std::string kRadioQuery = "at&usbinterface=20,\"<rci_request version='1.1'><do_command target='zigbee'>"
                                "<query_setting/></do_command></rci_request>\"\r\n";

using Doc = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

xmlNode* ElementChild(xmlNode* parent, const char* name)
{
    for (xmlNode* child = parent ? parent->children : nullptr; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlStrcasecmp(child->name, BAD_CAST name) == 0)
            return child;
    }
    return nullptr;
}

// The reply as the program holds it after parsing: echo gone, renamed so that it reads as a set request.
Doc Reshape(std::string answer, const std::string& command, bool radio)
{
    if (answer.rfind(command, 0) == 0)
        answer.erase(0, command.size());
    const auto first = answer.find('<');
    const auto last = answer.rfind('>');
    if (first == std::string::npos || last == std::string::npos || last < first)
        return Doc(nullptr, &xmlFreeDoc);
    const std::string cut = answer.substr(first, last - first + 1);
    Doc doc(xmlReadMemory(cut.data(), static_cast<int>(cut.size()), "setting.xml", nullptr, 0), &xmlFreeDoc);
    if (!doc)
        return doc;
    xmlNode* root = xmlDocGetRootElement(doc.get());
    xmlNodeSetName(root, BAD_CAST "rci_request");
    xmlNode* query = ElementChild(radio ? ElementChild(root, "do_command") : root, "query_setting");
    if (query)
        xmlNodeSetName(query, BAD_CAST "set_setting");
    return doc;
}

std::string Payload(xmlDoc* doc)
{
    xmlChar* memory = nullptr;
    int size = 0;
    xmlDocDumpMemory(doc, &memory, &size);
    std::string text(reinterpret_cast<const char*>(memory), static_cast<std::size_t>(size));
    xmlFree(memory);
    text.pop_back();
    for (std::size_t i = 22; i < text.size(); ++i) {
        if (text[i] == '"')
            text[i] = '\'';
    }
    if (text.find("<?xml version=\"1.0\"?>") != std::string::npos)
        text.erase(0, 22);
    return text;
}

xmlNode* Setting(xmlDoc* doc, const char* group, const char* name, bool radio = false)
{
    xmlNode* root = xmlDocGetRootElement(doc);
    return ElementChild(ElementChild(ElementChild(radio ? ElementChild(root, "do_command") : root, "set_setting"), group),
                        name);
}

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(device.Start());
        client = std::make_unique<PortClient>(device.PortPath());
        ASSERT_TRUE(client->IsOpen());
    }

    // Sends the payload the way an apply does; the device's reply without the echo.
    std::string Apply(const std::string& payload)
    {
        EXPECT_EQ(client->Exchange("at&usbinterface=22\r\n"), "at&usbinterface=22\r\n\r\nOK\r\n");
        const std::string answer = client->Exchange(payload);
        EXPECT_EQ(answer.rfind(payload, 0), 0u);
        return answer.substr(std::min(answer.size(), payload.size()));
    }

    SimulatedQ7 device;
    std::unique_ptr<PortClient> client;
};

TEST_F(RoundTrip, UnchangedSettingsAreTakenWhole)
{
    const std::string before = device.SettingsXml();
    Doc doc = Reshape(client->Exchange(kSettingsQuery), kSettingsQuery, false);
    ASSERT_TRUE(doc);
    const std::string reply = Apply(Payload(doc.get()));
    EXPECT_NE(reply.find("<set_setting>"), std::string::npos) << reply;
    EXPECT_EQ(reply.find("<error"), std::string::npos) << reply;
    EXPECT_EQ(device.SettingsXml(), before);
}

TEST_F(RoundTrip, EditedValuesReachTheDevice)
{
    Doc doc = Reshape(client->Exchange(kSettingsQuery), kSettingsQuery, false);
    ASSERT_TRUE(doc);
    xmlNode* apn = Setting(doc.get(), "mobile_simple", "apn");
    ASSERT_TRUE(apn);
    xmlNodeSetContent(apn, BAD_CAST "m2m.\"quoted\"");
    xmlNode* pin = Setting(doc.get(), "mobile_simple", "pin"); // empty on the device
    ASSERT_TRUE(pin);
    xmlNodeSetContent(pin, BAD_CAST "4321");
    xmlNode* parity = Setting(doc.get(), "serial", "parity");
    ASSERT_TRUE(parity);
    xmlNodeSetContent(parity, BAD_CAST "Even");

    EXPECT_EQ(Apply(Payload(doc.get())).find("<error"), std::string::npos);
    EXPECT_EQ(device.Setting("mobile_simple/apn"), "m2m.'quoted'"); // quotes become single on the way
    EXPECT_EQ(device.Setting("mobile_simple/pin"), "4321");
    EXPECT_EQ(device.Setting("serial/parity"), "even");
}

TEST_F(RoundTrip, RefusedValueLeavesItsGroupAsItWas)
{
    Doc doc = Reshape(client->Exchange(kSettingsQuery), kSettingsQuery, false);
    ASSERT_TRUE(doc);
    xmlNodeSetContent(Setting(doc.get(), "tcp_server", "port"), BAD_CAST "70000");
    xmlNodeSetContent(Setting(doc.get(), "tcp_server", "state"), BAD_CAST "off");
    xmlNodeSetContent(Setting(doc.get(), "python", "state"), BAD_CAST "on");
    const std::string reply = Apply(Payload(doc.get()));
    EXPECT_NE(reply.find("<error"), std::string::npos);
    EXPECT_EQ(device.Setting("tcp_server/port"), "2101");
    EXPECT_EQ(device.Setting("tcp_server/state"), "on");
    EXPECT_EQ(device.Setting("python/state"), "on");
}

TEST_F(RoundTrip, RadioSettings)
{
    Doc doc = Reshape(client->Exchange(kRadioQuery), kRadioQuery, true);
    ASSERT_TRUE(doc);
    xmlNode* node = Setting(doc.get(), "radio", "node_id", true);
    ASSERT_TRUE(node);
    xmlNodeSetContent(node, BAD_CAST "ROOFTOP");
    EXPECT_EQ(Apply(Payload(doc.get())).find("<error"), std::string::npos);
    EXPECT_EQ(device.RadioSetting("radio/node_id"), "ROOFTOP");
}

} // namespace
} // namespace tervane::sim
