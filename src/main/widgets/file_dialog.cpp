// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/widgets/file_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace zel {

namespace {
const QString FolderValue = QStringLiteral("Window/Folder");
} // namespace

QString ChooseFile(QFileDialog& dialog) {
    QSettings settings(SettingsOrganisation);
    const QString folder = settings.value(FolderValue).toString();
    // A folder since removed would open the dialog nowhere: the caller's own start stays.
    if (!folder.isEmpty() && QDir(folder).exists())
        dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString file = dialog.selectedFiles().first();
    settings.setValue(FolderValue, QFileInfo(file).absolutePath());
    return file;
}

} // namespace zel
