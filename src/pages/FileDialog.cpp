#include "FileDialog.h"

#include <QFileDialog>

namespace tervane {

namespace {

struct Seam {
    std::function<std::optional<QString>(const FileDialogRequest&)> answerer;
    QList<FileDialogRequest> history;
};

Seam& TheSeam()
{
    static Seam seam;
    return seam;
}

FileDialogRequest RequestFor(QWidget* owner, FileDialogRequest::Mode mode, const FileChoice& choice)
{
    FileDialogRequest request;
    request.owner = owner;
    request.mode = mode;
    request.defaultSuffix = DefaultSuffixFromText(choice.defaultExtension);
    request.nameFilters = NameFiltersFromText(choice.filter);
    request.initialName = QString::fromStdString(choice.initialName);
    return request;
}

} // namespace

QStringList NameFiltersFromText(std::string_view filter)
{
    const QStringList parts = QString::fromUtf8(filter.data(), qsizetype(filter.size())).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString& label = parts[i];
        if (label.isEmpty())
            break;
        // A label without a pattern of its own ("*.cfg") is its own pattern.
        QString pattern = i + 1 < parts.size() ? parts[i + 1].trimmed() : label;
        // "*.*" names every file where a dot is not required in the name.
        pattern.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        if (pattern.isEmpty())
            pattern = QStringLiteral("*");
        filters.append(QStringLiteral("%1 (%2)").arg(label, pattern));
    }
    return filters;
}

QString DefaultSuffixFromText(std::string_view extension)
{
    QString suffix = QString::fromUtf8(extension.data(), qsizetype(extension.size()));
    if (suffix.startsWith(QLatin1Char('*')))
        suffix.remove(0, 1);
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    return suffix;
}

std::optional<QString> FileDialog::Show(const FileDialogRequest& request)
{
    Seam& seam = TheSeam();
    seam.history.append(request);
    if (seam.answerer)
        return seam.answerer(request);

    QFileDialog dialog(request.owner);
    const bool save = request.mode == FileDialogRequest::Mode::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.nameFilters.isEmpty())
        dialog.setNameFilters(request.nameFilters);
    if (!request.initialName.isEmpty())
        dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> FileDialog::GetOpenFileName(QWidget* owner, const FileChoice& choice)
{
    return Show(RequestFor(owner, FileDialogRequest::Mode::Open, choice));
}

std::optional<QString> FileDialog::GetSaveFileName(QWidget* owner, const FileChoice& choice)
{
    return Show(RequestFor(owner, FileDialogRequest::Mode::Save, choice));
}

void FileDialog::setAnswerer(std::function<std::optional<QString>(const FileDialogRequest&)> answerer)
{
    TheSeam().answerer = std::move(answerer);
}

const QList<FileDialogRequest>& FileDialog::history()
{
    return TheSeam().history;
}

void FileDialog::clearHistory()
{
    TheSeam().history.clear();
}

} // namespace tervane
