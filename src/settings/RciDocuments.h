#pragma once

#include "SafeXml.h"

#include <libxml/tree.h>

#include <functional>
#include <string>
#include <string_view>

namespace tervane {

// The three RCI documents the program holds for its whole run, their roots and the radio
// page flag. A document is replaced only by its parse operation, which frees the old one
// first; between replacements the settings and radio settings documents are edited in
// place by StoreBindings. User-interface thread only.
class RciDocuments {
public:
    // All documents none, the radio page flag set.
    RciDocuments() = default;
    RciDocuments(const RciDocuments&) = delete;
    RciDocuments& operator=(const RciDocuments&) = delete;
    ~RciDocuments() = default;

    // The application's one set of documents.
    static RciDocuments& Instance();

    // The answer to the settings query: reshaped into a set_setting request; the settings
    // root is the first child of set_setting.
    // `deviceAnsweredError`: the device ended its answer with ERROR, which the user is told
    // in those words rather than the parser's.
    void ParseSettings(std::string_view response, bool deviceAnsweredError = false);
    // The answer to the state query; the state root is the first child of query_state.
    void ParseState(std::string_view response);
    // The state answer as the device sends it: its texts may hold a raw "&" (a product
    // named "Q7 & Co"), which no XML reader takes, so every "&" is removed before it is read.
    // The device query, the firmware install and the radio firmware update read it so.
    void ParseStateAnswer(std::string_view response);
    // The answer to the radio settings query: reshaped like the settings, or, when the
    // device says the radio is "Currently not configured or supported", only clears the
    // radio page flag and keeps the previous document.
    void ParseRadioSettings(std::string_view response, bool deviceAnsweredError = false);

    xmlDocPtr SettingsDocument() const { return m_settings.get(); }
    xmlNodePtr SettingsRoot() const { return m_settingsRoot; }
    xmlDocPtr StateDocument() const { return m_state.get(); }
    xmlNodePtr StateRoot() const { return m_stateRoot; }
    xmlDocPtr RadioSettingsDocument() const { return m_radioSettings.get(); }
    xmlNodePtr RadioSettingsRoot() const { return m_radioSettingsRoot; }

    bool RadioPageFlag() const { return m_radioPageFlag; }
    void SetRadioPageFlag(bool shown) { m_radioPageFlag = shown; }

    // Why the latest parse operation gave no document; empty when it gave one.
    const std::string& LastParseError() const { return m_lastParseError; }
    // Why the latest settings parse gave no document; empty when it gave one.
    const std::string& SettingsParseError() const { return m_settingsParseError; }
    // Why the latest radio settings parse gave no document; empty when it gave one.
    const std::string& RadioSettingsParseError() const { return m_radioSettingsParseError; }
    // Whether the device answered ERROR to the query of the latest settings or radio settings
    // parse that gave no document.
    bool SettingsAnsweredError() const { return m_settingsAnsweredError; }
    bool RadioSettingsAnsweredError() const { return m_radioSettingsAnsweredError; }

    // Told, in one sentence, of each reply that gave no document and why; the program
    // writes it to its command log. None by default.
    void SetParseFailureNote(std::function<void(std::string_view)> note) { m_parseFailureNote = std::move(note); }

    // Shutdown: frees the three documents; the roots become none with them.
    void FreeAll();

private:
    XmlDocument m_settings;
    xmlNodePtr m_settingsRoot = nullptr;
    XmlDocument m_state;
    xmlNodePtr m_stateRoot = nullptr;
    XmlDocument m_radioSettings;
    xmlNodePtr m_radioSettingsRoot = nullptr;
    bool m_radioPageFlag = true;
    std::string m_lastParseError;
    std::string m_settingsParseError;
    std::string m_radioSettingsParseError;
    bool m_settingsAnsweredError = false;
    bool m_radioSettingsAnsweredError = false;
    std::function<void(std::string_view)> m_parseFailureNote;

    void NoteParseFailure(std::string_view query) const;
};

// Keeps the text from the first "<" to the last ">", both included; empty when there is
// no "<" before a ">".
std::string_view CutReply(std::string_view response);

// The device's answer to a radio query says it has no configured radio, whether the text
// comes alone or inside a reply document.
bool ReportsRadioNotConfigured(std::string_view response);

// The end of the program's life with XML: frees the documents, then cleans up libxml2.
void ShutdownXml(RciDocuments& documents);

} // namespace tervane
