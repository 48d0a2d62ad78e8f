// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QSettings>
#include <QString>

namespace zel::test {

// Window tests never touch the user's settings: the remembered port lives in a private
// folder. Numbers and dates read the same on every machine.
inline void IsolateWindowSettings(const QString& folder) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

// The port the window remembers, as the window reads it ("ZELPHORIN2", value "Port").
inline QVariant RememberedPort() {
    return QSettings(QStringLiteral("ZELPHORIN2")).value("Port");
}

inline void ForgetRememberedPort() {
    QSettings(QStringLiteral("ZELPHORIN2")).clear();
}

} // namespace zel::test
