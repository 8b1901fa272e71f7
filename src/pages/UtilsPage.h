#pragma once

#include "PropertyPage.h"

namespace tervane {

// "Utilities": backup of the device's settings to a file, restore from such a file,
// reboot and factory defaults. Each acts when its button is pressed; the page shows no
// settings and applies nothing through the sheet.
class UtilsPage : public PropertyPage {
    Q_OBJECT

public:
    enum ControlId : int {
        IDC_RESTORE_DEFAULTS = 1068,
        IDC_BACKUP = 1069,
        IDC_BROWSE_CONFIG = 1112,
        IDC_RESTORE_CONFIG = 1113,
        IDC_REBOOT = 1114,
        IDC_RESTORE_PATH = 1115,  // also the field of restorePath
    };

    UtilsPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);

    // The configuration file chosen for restore.
    QString RestorePath() const;

public slots:
    void OnBackup();
    void OnBrowseConfig();
    void OnRestoreConfig();
    void OnReboot();
    void OnRestoreDefaults();

private:
    void BuildControls();
};

} // namespace tervane
