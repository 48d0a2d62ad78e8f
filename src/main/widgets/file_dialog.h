#pragma once

#include "host/settings_store.h"

#include <QFileDialog>
#include <QString>

namespace zel {

// Runs the dialog in the folder the last file dialog ended in, and remembers the folder of the
// file chosen. The file, or empty when the user cancelled.
QString ChooseFile(QFileDialog& dialog);

} // namespace zel
