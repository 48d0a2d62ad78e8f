// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/launcher_progress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace zel {

void ShowLauncherProgress(qint64 completed, qint64 total) {
    static bool shown = false;
    const bool running = total > 0 && completed < total;
    // The bus is only reached while there is progress to show or to take away.
    if (!running && !shown)
        return;
    shown = running;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(
        QStringLiteral("/org/zelphorin/launcher"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    const QVariantMap properties{
        {QStringLiteral("progress"), running ? double(completed) / double(total) : 1.0},
        {QStringLiteral("progress-visible"), running}};
    update << QStringLiteral("application://io.github.zelphorin.zelphorin.desktop") << properties;
    bus.send(update);
}

} // namespace zel
