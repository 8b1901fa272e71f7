#include "RciDocuments.h"

#include "SettingPath.h"

#include <libxml/parser.h>

#include <string>

namespace tervane {

namespace {

constexpr std::string_view kRadioNotConfigured = "Currently not configured or supported";

const xmlChar* XmlName(const char* name)
{
    return reinterpret_cast<const xmlChar*>(name);
}

} // namespace

RciDocuments& RciDocuments::Instance()
{
    static RciDocuments documents;
    return documents;
}

std::string_view CutReply(std::string_view response)
{
    const std::size_t first = response.find('<');
    const std::size_t last = response.rfind('>');
    if (first == std::string_view::npos || last == std::string_view::npos || last < first)
        return {};
    return response.substr(first, last - first + 1);
}

void RciDocuments::ParseSettings(std::string_view response, bool deviceAnsweredError)
{
    const std::string_view text = CutReply(response);
    m_settings.reset();
    m_settingsRoot = nullptr;
    m_settings = ReadUntrustedXml(text, "setting.xml", &m_lastParseError);
    m_settingsParseError = m_lastParseError;
    m_settingsAnsweredError = !m_settings && deviceAnsweredError;
    if (!m_settings) {
        NoteParseFailure("settings");
        return;
    }
    xmlNodePtr root = xmlDocGetRootElement(m_settings.get());
    if (root == nullptr)
        return;
    xmlNodeSetName(root, XmlName("rci_request"));
    if (xmlNodePtr query = FindChild(root, XML_ELEMENT_NODE, "query_setting")) {
        xmlNodeSetName(query, XmlName("set_setting"));
        m_settingsRoot = query->children;
    }
}

void RciDocuments::ParseState(std::string_view response)
{
    const std::string_view text = CutReply(response);
    m_state.reset();
    m_stateRoot = nullptr;
    m_state = ReadUntrustedXml(text, "state.xml", &m_lastParseError);
    if (!m_state) {
        NoteParseFailure("state");
        return;
    }
    if (xmlNodePtr query = FindChild(xmlDocGetRootElement(m_state.get()), XML_ELEMENT_NODE, "query_state"))
        m_stateRoot = query->children;
}

void RciDocuments::ParseStateAnswer(std::string_view response)
{
    std::string state(response);
    std::erase(state, '&');
    ParseState(state);
}

bool ReportsRadioNotConfigured(std::string_view response)
{
    return response.find(kRadioNotConfigured) != std::string_view::npos;
}

void RciDocuments::ParseRadioSettings(std::string_view response, bool deviceAnsweredError)
{
    // The whole answer is searched: a device may send the text alone, with no XML around it.
    if (ReportsRadioNotConfigured(response)) {
        m_radioPageFlag = false;
        m_lastParseError.clear();
        return;
    }
    const std::string_view text = CutReply(response);
    m_radioSettings.reset();
    m_radioSettingsRoot = nullptr;
    m_radioSettings = ReadUntrustedXml(text, "ravlosetting.xml", &m_lastParseError);
    m_radioSettingsParseError = m_lastParseError;
    m_radioSettingsAnsweredError = !m_radioSettings && deviceAnsweredError;
    if (!m_radioSettings) {
        NoteParseFailure("radio settings");
        return;
    }
    xmlNodePtr root = xmlDocGetRootElement(m_radioSettings.get());
    if (root == nullptr)
        return;
    xmlNodeSetName(root, XmlName("rci_request"));
    xmlNodePtr command = FindChild(root, XML_ELEMENT_NODE, "do_command");
    if (xmlNodePtr query = FindChild(command, XML_ELEMENT_NODE, "query_setting")) {
        xmlNodeSetName(query, XmlName("set_setting"));
        m_radioSettingsRoot = query->children;
    }
}

void RciDocuments::NoteParseFailure(std::string_view query) const
{
    if (!m_parseFailureNote)
        return;
    std::string note = "The device's answer to the ";
    note += query;
    note += " query could not be read: ";
    note += m_lastParseError.empty() ? std::string_view("it holds no document") : std::string_view(m_lastParseError);
    m_parseFailureNote(note);
}

void RciDocuments::FreeAll()
{
    m_settings.reset();
    m_settingsRoot = nullptr;
    m_state.reset();
    m_stateRoot = nullptr;
    m_radioSettings.reset();
    m_radioSettingsRoot = nullptr;
}

void ShutdownXml(RciDocuments& documents)
{
    documents.FreeAll();
    CleanupXmlLibrary();
}

} // namespace tervane
