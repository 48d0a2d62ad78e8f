// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileDialog>
#include <QString>

namespace zel {

// The window remembers its port, place, last page and last folder under this name.
inline const QString SettingsOrganisation = QStringLiteral("ZELPHORIN2");

// Runs the dialog in the folder the last file dialog ended in, and remembers the folder of the
// file chosen. The file, or empty when the user cancelled.
QString ChooseFile(QFileDialog& dialog);

} // namespace zel
