#pragma once

#include "ProcedureQuestions.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace tervane {

// One file dialog as the program asks for it.
struct FileDialogRequest {
    enum class Mode { Open, Save };
    QWidget* owner = nullptr;
    Mode mode = Mode::Open;
    QString defaultSuffix;  // without its "*." or "."; empty: none
    QStringList nameFilters;
    QString initialName;
};

// The name filters of a "label|pattern|label|pattern||" filter text: each pair becomes one
// entry shown under its label; "*.*" lists every file, and a lone label ("*.cfg") is its
// own pattern.
QStringList NameFiltersFromText(std::string_view filter);
// The suffix a name typed without one receives: "*.bin" and ".bin" give "bin".
QString DefaultSuffixFromText(std::string_view extension);

// Every file dialog of the program goes through here, so that tests can answer them. Open
// dialogs want an existing file; save dialogs ask before overwriting a file.
class FileDialog {
public:
    // The chosen path, or none when the user cancels.
    static std::optional<QString> Show(const FileDialogRequest& request);
    static std::optional<QString> GetOpenFileName(QWidget* owner, const FileChoice& choice);
    static std::optional<QString> GetSaveFileName(QWidget* owner, const FileChoice& choice);

    // Tests: every dialog is handed to `answerer` instead of being shown; an empty function
    // restores real dialogs.
    static void setAnswerer(std::function<std::optional<QString>(const FileDialogRequest&)> answerer);
    // Tests: the dialogs asked for so far.
    static const QList<FileDialogRequest>& history();
    static void clearHistory();
};

} // namespace tervane
