#include "PythonPage.h"

#include "PageQuestions.h"
#include "PropertySheet.h"
#include "RciDocuments.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tervane {

namespace {

// Where an item of the file list keeps its entry's name and size.
constexpr int kEntryNameRole = Qt::UserRole;
constexpr int kEntrySizeRole = Qt::UserRole + 1;

// The list's font: the dialog font at 9 points (12 pixels at 96 dpi, and larger with the
// user's scale), any proportional sans-serif face where that one is missing.
QFont FileListFont()
{
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setStyleHint(QFont::SansSerif);
    font.setFixedPitch(false);
    font.setPointSize(9);
    return font;
}

} // namespace

PythonPage::PythonPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(tr("Python"), documents, runner, parent)
{
    setObjectName(QStringLiteral("PythonPage"));
    Bindings() = PythonBindings();
    BuildControls();
    ExchangeText(IDC_UPLOAD_PATH, IDC_UPLOAD_PATH);
    ExchangeCheck(IDC_AUTOSTART_ENABLE, kAutoStartEnabledField);
    ExchangeText(IDC_AUTOSTART_COMMAND, kAutoStartCommandField);
    RouteToFieldChange(IDC_AUTOSTART_COMMAND);
}

void PythonPage::BuildControls()
{
    auto* list = AddControl(IDC_FILE_LIST, new QTreeWidget);
    list->setObjectName(QStringLiteral("fileList"));
    list->setAccessibleName(tr("Python files on the device"));
    list->setColumnCount(1);
    list->setHeaderHidden(true);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    // The column grows with the longest name, so every name shows whole (scrolling sideways
    // when the list is narrower).
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* download = AddControl(IDC_DOWNLOAD, "download", new QPushButton(tr("Download")));
    auto* remove = AddControl(IDC_DELETE, "delete", new QPushButton(tr("Delete")));
    connect(download, &QPushButton::clicked, this, &PythonPage::OnDownloadPythonFiles);
    connect(remove, &QPushButton::clicked, this, &PythonPage::OnDeletePythonFiles);

    auto* manage = new QGroupBox(tr("Manage Files"), this);
    auto* manageLayout = new QHBoxLayout(manage);
    auto* manageButtons = new QVBoxLayout;
    manageButtons->addWidget(download);
    manageButtons->addWidget(remove);
    manageButtons->addStretch(1);
    manageLayout->addWidget(list, 1);
    manageLayout->addLayout(manageButtons);

    auto* path = AddControl(IDC_UPLOAD_PATH, "uploadPath", new QLineEdit);
    auto* browse = AddControl(IDC_BROWSE_PYTHON, "browsePython", new QPushButton(tr("Browse...")));
    auto* upload = AddControl(IDC_UPLOAD, "upload", new QPushButton(tr("Upload")));
    connect(browse, &QPushButton::clicked, this, &PythonPage::OnBrowsePythonFile);
    connect(upload, &QPushButton::clicked, this, &PythonPage::OnUploadPythonFile);

    auto* uploadBox = new QGroupBox(tr("Upload Files"), this);
    auto* uploadGrid = new QGridLayout(uploadBox);
    uploadGrid->addWidget(new QLabel(tr("Upload File")), 0, 0);
    uploadGrid->addWidget(path, 0, 1);
    uploadGrid->addWidget(browse, 0, 2);
    uploadGrid->addWidget(upload, 1, 2);
    uploadGrid->setColumnStretch(1, 1);

    auto* enable = AddControl(IDC_AUTOSTART_ENABLE, new QCheckBox(tr("Enable")));
    enable->setObjectName(QStringLiteral("autoStartEnable"));
    // Only the user's click reaches the handler; filling the box from the fields does not.
    connect(enable, &QCheckBox::clicked, this, &PythonPage::OnAutoStartClicked);
    auto* command = AddControl(IDC_AUTOSTART_COMMAND, "autoStartCommand", new QLineEdit);

    auto* autoStart = new QGroupBox(tr("Auto-start Settings"), this);
    auto* autoStartLayout = new QVBoxLayout(autoStart);
    autoStartLayout->addWidget(new QLabel(tr("Specify a Python program to be run when the device boots")));
    autoStartLayout->addWidget(enable);
    auto* commandLabel =
        new QLabel(tr("Auto-start command line (specify program filename to execute and any arguments)"));
    commandLabel->setWordWrap(true);
    autoStartLayout->addWidget(commandLabel);
    autoStartLayout->addWidget(command);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(manage, 1);
    layout->addWidget(uploadBox);
    layout->addWidget(autoStart);
}

QTreeWidget* PythonPage::FileList() const
{
    return Control<QTreeWidget>(IDC_FILE_LIST);
}

bool PythonPage::OnInitDialog()
{
    PropertyPage::OnInitDialog();
    LoadBindings(Documents().SettingsRoot());
    FileList()->setFont(FileListFont());
    RefreshFileList(ListPythonFiles(Runner()));
    UpdateData(false);
    SetModified(false);
    return true;
}

bool PythonPage::OnSetActive()
{
    // The auto-start fields follow the settings document; the file list stays as it is.
    LoadBindings(Documents().SettingsRoot());
    return PropertyPage::OnSetActive();
}

bool PythonPage::OnApply()
{
    return ApplyBindings(&RciDocuments::SettingsRoot, WM_APPLY_SETTINGS);
}

void PythonPage::FillFileList(const PythonFileList& files)
{
    QTreeWidget* list = FileList();
    const std::size_t nameWidth = FileListNameWidth(files);
    for (const PythonFileEntry& entry : files) {
        auto* item = new QTreeWidgetItem(list, {QString::fromStdString(FileListItemText(entry, nameWidth))});
        item->setFlags((item->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsAutoTristate);
        item->setCheckState(0, Qt::Unchecked);
        // The entry goes with its item byte for byte: downloads and deletions act on it,
        // never on the shown text, which a blank in the name would make ambiguous.
        item->setData(0, kEntryNameRole, QByteArray::fromStdString(entry.name));
        item->setData(0, kEntrySizeRole, QByteArray::fromStdString(entry.size));
    }
}

void PythonPage::RefreshFileList(const PythonFileList& files)
{
    FileList()->clear();
    FillFileList(files);
}

std::vector<PythonFileItem> PythonPage::TickedItems() const
{
    std::vector<PythonFileItem> items;
    const QTreeWidget* list = FileList();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked)
            items.push_back(ItemForEntry({item->data(0, kEntryNameRole).toByteArray().toStdString(),
                item->data(0, kEntrySizeRole).toByteArray().toStdString()}));
    }
    return items;
}

void PythonPage::OnBrowsePythonFile()
{
    // Only the path is shown again: an auto-start edit not yet applied stays on the page.
    BrowseForFile(IDC_UPLOAD_PATH, IDC_UPLOAD_PATH, kPythonFileChoice);
}

void PythonPage::OnUploadPythonFile()
{
    UpdateData(true);
    PageQuestions questions(this);
    const std::string path = LocalPath(IDC_UPLOAD_PATH);
    const PythonUploadResult result = UploadPythonFile(path, Runner(), questions);
    if (result.listRefreshed)
        RefreshFileList(result.files);
}

void PythonPage::OnDownloadPythonFiles()
{
    const std::vector<PythonFileItem> items = TickedItems();
    if (items.empty())
        return;
    PageQuestions questions(this);
    DownloadPythonFiles(items, Runner(), questions);
}

void PythonPage::OnDeletePythonFiles()
{
    PageQuestions questions(this);
    RefreshFileList(DeletePythonFiles(TickedItems(), Runner(), questions).files);
}

void PythonPage::OnAutoStartClicked()
{
    UpdateData(true);
    SetModified(true);
}

} // namespace tervane
