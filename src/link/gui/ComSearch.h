#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLabel;

namespace tervane {

// "Select Product to configure": asked at start-up when more than one device qualifies.
// The box lists the candidate ports sorted as texts with the first one selected; the user
// picks one or types another name and confirms with OK. Closed any other way, the
// selection stays empty.
class ComSearch : public QDialog {
    Q_OBJECT

public:
    explicit ComSearch(QWidget* parent = nullptr);

    // The ports to offer, replacing any offered before.
    void SetPortList(const std::vector<std::string>& ports);
    const std::vector<std::string>& PortList() const;
    // The port name confirmed with OK; empty until then.
    const std::string& Selection() const;

    void accept() override;

private:
    std::vector<std::string> m_portList;
    QComboBox* m_portBox = nullptr;
    QLabel* m_message = nullptr;
    std::string m_selection;
};

// Runs ComSearch without an owner window over `candidates`: the chooser of DetectDevice.
std::string ChoosePortWithComSearch(const std::vector<std::string>& candidates);

} // namespace tervane
