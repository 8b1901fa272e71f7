#pragma once

#include <QDialog>
#include <QString>

class QLabel;

namespace tervane {

class CHyperLink;

// The maker's legal notice and web address, shown in the About box.
inline constexpr const char* kMakerLegalNotice = "Copyright (C) Skellin. All rights reserved.";
inline constexpr const char* kMakerWebAddress = "https://www.skellin.example/";

// "About Tervane Q7 Dashboard": the icon, the product title in bold, the version, the maker's
// legal notice and, when there is a web address, "Visit us at" with a link that opens it in
// the desktop's default browser. Opening goes through QDesktopServices::openUrl.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    // Control ids of the box.
    enum ControlId : int {
        IDC_TITLE = 1104,
        IDC_VERSION = 1105,
        IDC_LEGAL_NOTICE = 1106,
        IDC_VISIT_US = 1107,
        IDC_LINK = 1108,
    };

    explicit CAboutDlg(QWidget* owner = nullptr, const QString& webAddress = QString::fromUtf8(kMakerWebAddress));

    CHyperLink* Link() const { return m_link; }
    QLabel* Label(int controlId) const;

public slots:
    // The link's click: opens the web address, when there is one.
    void OnLinkClicked(int controlId);

private:
    QString m_webAddress;
    QLabel* m_title;
    QLabel* m_version;
    QLabel* m_legalNotice;
    QLabel* m_visitUs;
    CHyperLink* m_link;
};

} // namespace tervane
