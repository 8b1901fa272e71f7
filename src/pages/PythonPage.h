#pragma once

#include "PropertyPage.h"
#include "PythonFiles.h"

#include <vector>

class QTreeWidget;

namespace tervane {

// "Python": the Python programs in the device's "/WEB/python" folder (list, upload,
// download and delete, every transfer checked by its digest) and the auto-start settings,
// which are sent when the page is applied. The list is read when the page is first shown
// and again after every upload and deletion; not on activation and not after a download.
class PythonPage : public PropertyPage {
    Q_OBJECT

public:
    // Control ids. The auto-start controls carry the ids of their binding rows; the upload
    // path is kept under the id of its edit.
    enum ControlId : int {
        IDC_FILE_LIST = 1101,
        IDC_DOWNLOAD,
        IDC_DELETE,
        IDC_UPLOAD_PATH,
        IDC_BROWSE_PYTHON,
        IDC_UPLOAD,
        IDC_AUTOSTART_COMMAND = kAutoStartCommandField,
        IDC_AUTOSTART_ENABLE = kAutoStartEnabledField,
    };

    PythonPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnSetActive() override;
    bool OnApply() override;

    // Appends one item per entry, unticked, in the order given.
    void FillFileList(const PythonFileList& files);
    // The ticked items, first to last, with the names and sizes the device listed.
    std::vector<PythonFileItem> TickedItems() const;

public slots:
    void OnBrowsePythonFile();
    void OnUploadPythonFile();
    void OnDownloadPythonFiles();
    void OnDeletePythonFiles();
    void OnAutoStartClicked();

private:
    void BuildControls();
    QTreeWidget* FileList() const;
    // Rebuilds the list; every tick mark goes with it.
    void RefreshFileList(const PythonFileList& files);
};

} // namespace tervane
