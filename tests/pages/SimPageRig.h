#pragma once

#include "ApplySettings.h"
#include "Clock.h"
#include "DeviceQuery.h"
#include "DeviceRunner.h"
#include "PropertyPage.h"
#include "PropertySheet.h"
#include "RciDocuments.h"
#include "SafeXml.h"
#include "SerialLink.h"
#include "SimulatedQ7.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include <algorithm>
#include <string>
#include <string_view>

namespace tervane::test {

// Answers the pages' apply messages as the dashboard's window does, straight on the link,
// and keeps the messages it was sent.
class ApplyingSheet : public PropertySheet {
public:
    ApplyingSheet(RciDocuments& documents, DeviceRunner& runner)
        : PropertySheet(QString::fromUtf8(kProductTitle))
        , m_documents(documents)
        , m_runner(runner)
    {
    }

    QList<int> messages;

protected:
    long OnMessage(int message) override
    {
        messages.append(message);
        if (message == WM_APPLY_SETTINGS)
            OnApplySettings(m_documents, m_runner);
        else if (message == WM_APPLY_RADIO_SETTINGS)
            OnApplyRadioSettings(m_documents, m_runner);
        return 0;
    }

private:
    RciDocuments& m_documents;
    DeviceRunner& m_runner;
};

// A simulated device, the documents filled from it as start-up fills them, and a sheet for
// the page under test with one more tab beside it. The link's own pauses (the settle wait
// after a settings apply) pass a thousand times faster.
class SimPageRig {
public:
    explicit SimPageRig(const sim::DeviceConfig& config = {})
        : device(config)
    {
    }

    // Starts the device with `faults` and opens the link. The documents are filled with the
    // replies the device gives its three queries now: through the device query itself with
    // `deviceQuery`, otherwise straight from the device, which saves the fourteen exchanges.
    bool Start(const sim::Faults& faults = {}, bool deviceQuery = false)
    {
        if (!device.Start())
            return false;
        device.SetFaults(faults);
        link.SetPortName(device.PortPath());
        if (!link.OpenPort())
            return false;
        if (deviceQuery) {
            DeviceFacts facts;
            return QueryDevice(facts, documents, runner);
        }
        documents.ParseSettings(device.SettingsXml());
        documents.ParseState(device.StateXml());
        documents.ParseRadioSettings(device.RadioSettingsXml());
        return documents.SettingsRoot() != nullptr && documents.StateRoot() != nullptr;
    }

    // Adds the page and the other tab after it, and shows the sheet with the page in front.
    void Show(PropertyPage& page)
    {
        sheet.AddPage(&page);
        sheet.AddPage(&otherPage);
        sheet.SetActivePage(&page);
        sheet.show();
        sheet.activateWindow();
    }

    bool Received(std::string_view fragment) const
    {
        const auto commands = device.ReceivedCommands();
        return std::any_of(commands.begin(), commands.end(),
            [&](const std::string& command) { return command.find(fragment) != std::string::npos; });
    }

    sim::SimulatedQ7 device;
    FastClock clock{1000};
    SerialLink link{clock};
    DirectRunner runner{link};
    RciDocuments documents;
    ApplyingSheet sheet{documents, runner};
    PropertyPage otherPage{QStringLiteral("Other"), documents, runner};
};

// Replaces an edit's text as a person does: select everything, then type over it (or
// delete it). Every character goes through the edit's own key handling and validator.
inline void Retype(QLineEdit* edit, const QString& text)
{
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Picks a list entry from the keyboard: from the top, down until it shows. False when the
// list has no such entry.
inline bool Choose(QComboBox* list, const QString& entry)
{
    QTest::keyClick(list, Qt::Key_Home);
    while (list->currentText() != entry) {
        const int before = list->currentIndex();
        QTest::keyClick(list, Qt::Key_Down);
        if (list->currentIndex() == before)
            return false;
    }
    return true;
}

// A check box clicked from the keyboard.
inline void Toggle(QAbstractButton* box)
{
    QTest::keyClick(box, Qt::Key_Space);
}

// A document as text, to tell whether anything in it changed.
inline std::string Dump(xmlDocPtr document)
{
    if (document == nullptr)
        return {};
    xmlChar* text = nullptr;
    int length = 0;
    xmlDocDumpMemory(document, &text, &length);
    const XmlString owner(text);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)) : std::string();
}

} // namespace tervane::test
