// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/power_watch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace zel {

namespace {
const QString Service = QStringLiteral("org.freedesktop.login1");
const QString Path = QStringLiteral("/org/freedesktop/login1");
const QString Manager = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

PowerWatch::PowerWatch(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    bus.connect(Service, Path, Manager, QStringLiteral("PrepareForSleep"), this,
                SLOT(PrepareForSleep(bool)));
    TakeDelayLock();
}

void PowerWatch::PrepareForSleep(bool sleeping) {
    if (sleeping) {
        emit Suspending();
        // Closing the descriptor tells logind this program is ready for the sleep.
        delayLock_ = QDBusUnixFileDescriptor();
    } else {
        TakeDelayLock();
        emit Resumed();
    }
}

// Asked without waiting: a slow or absent logind must not hold up the window.
void PowerWatch::TakeDelayLock() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Manager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("ZELPHORIN")
         << QStringLiteral("Writing the settings backup of the connected controller")
         << QStringLiteral("delay");
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
                // Without the lock (no permission, no logind) the sleep notice still comes,
                // only without the guarantee of time before it.
                if (reply.isValid())
                    delayLock_ = reply.value();
                finished->deleteLater();
            });
}

} // namespace zel
