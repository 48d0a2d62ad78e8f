#pragma once

#include <QString>

namespace zel {

// The window remembers its port, place, last page and last folder under this name.
inline const QString SettingsOrganisation = QStringLiteral("ZELPHORIN2");

} // namespace zel
