#include "ComSearch.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>

namespace tervane {

namespace {

// Sorted the way the box itself places a typed name (insert policy alphabetical), so a
// typed entry lands where a listed one would.
bool SortsBefore(const QString& a, const QString& b)
{
    const int order = QString::localeAwareCompare(a, b);
    return order != 0 ? order < 0 : a < b;
}

} // namespace

ComSearch::ComSearch(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Select Product to configure"));
    setModal(true);

    m_message =
        new QLabel(tr("Found multiple supported products.  Please select the one you would like to configure"), this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setWordWrap(true);

    m_portBox = new QComboBox(this);
    m_portBox->setObjectName(QStringLiteral("portBox"));
    m_portBox->setEditable(true);
    m_portBox->setInsertPolicy(QComboBox::InsertAlphabetically);
    m_portBox->setDuplicatesEnabled(false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &ComSearch::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_message);
    layout->addWidget(m_portBox);
    layout->addStretch(1);
    layout->addWidget(buttons);

    // 250 by 100 dialog units: a quarter of the average character wide, an eighth of a line high.
    const QFontMetrics metrics(font());
    resize(250 * metrics.averageCharWidth() / 4, 100 * metrics.height() / 8);
}

void ComSearch::SetPortList(const std::vector<std::string>& ports)
{
    m_portList = ports;
    QStringList names;
    for (const auto& port : m_portList)
        names.append(QString::fromLocal8Bit(port.data(), static_cast<qsizetype>(port.size())));
    std::stable_sort(names.begin(), names.end(), SortsBefore);

    m_portBox->clear();
    m_portBox->addItems(names);
    m_portBox->setCurrentIndex(names.isEmpty() ? -1 : 0);
}

const std::vector<std::string>& ComSearch::PortList() const
{
    return m_portList;
}

const std::string& ComSearch::Selection() const
{
    return m_selection;
}

void ComSearch::accept()
{
    m_selection = m_portBox->currentText().toLocal8Bit().toStdString();
    QDialog::accept();
}

std::string ChoosePortWithComSearch(const std::vector<std::string>& candidates)
{
    ComSearch dialog;
    dialog.SetPortList(candidates);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.Selection();
}

} // namespace tervane
