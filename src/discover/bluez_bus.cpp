// SPDX-License-Identifier: GPL-3.0-or-later
#include "discover/bluez_bus.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QTimer>

#include <cstring>

namespace zel {

const QString BluezService = QStringLiteral("org.bluez");
const QString BluezAdapter = QStringLiteral("org.bluez.Adapter1");
const QString BluezDevice = QStringLiteral("org.bluez.Device1");
const QString BluezAgentManager = QStringLiteral("org.bluez.AgentManager1");
const QString BluezProfileManager = QStringLiteral("org.bluez.ProfileManager1");
const QString BluezManagerPath = QStringLiteral("/org/bluez");

namespace {
constexpr int ListTimeoutMs = 5000;
} // namespace

BusWaiter::BusWaiter(const QDBusConnection& bus) : bus_(bus) {
    qDBusRegisterMetaType<BusInterfaces>();
    qDBusRegisterMetaType<BusObjects>();
}

void BusWaiter::Stop() {
    stopped_.store(true);
    // Runs on the waiter's thread, inside the loop that waits there now or next.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (loop_)
                loop_->quit();
        },
        Qt::QueuedConnection);
}

void BusWaiter::Run(QEventLoop& loop) {
    if (stopped_.load())
        throw DiscoverStopped();
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
    if (stopped_.load())
        throw DiscoverStopped();
}

QDBusMessage BusWaiter::Call(const QDBusMessage& call, int timeoutMs) {
    if (stopped_.load())
        throw DiscoverStopped();
    QDBusPendingCall pending = bus_.asyncCall(call, timeoutMs);
    QEventLoop loop;
    QDBusPendingCallWatcher watcher(pending);
    connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!pending.isFinished())
        Run(loop);
    return pending.reply();
}

void BusWaiter::Pause(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    Run(loop);
}

bool BusWaiter::ManagedObjects(BusObjects& objects, BluetoothError& error) {
    const QDBusMessage reply =
        Call(QDBusMessage::createMethodCall(BluezService, QStringLiteral("/"),
                                            QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                            QStringLiteral("GetManagedObjects")),
             ListTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        error = ReplyError(reply);
        return false;
    }
    objects = qdbus_cast<BusObjects>(reply.arguments().first());
    return true;
}

BluetoothError ReplyError(const QDBusMessage& reply) {
    if (reply.type() == QDBusMessage::ErrorMessage)
        return {reply.errorName(), reply.errorMessage()};
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {};
    return {QStringLiteral("org.freedesktop.DBus.Error.Failed"),
            QStringLiteral("No answer from the system bus")};
}

BluetoothError SystemError(int number, const QString& meaning) {
    return {QString::number(number),
            QString::fromLocal8Bit(std::strerror(number)) + QStringLiteral(": ") + meaning};
}

QDBusMessage BluezCall(const QString& path, const QString& interface, const QString& method,
                       const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(BluezService, path, interface, method);
    call.setArguments(arguments);
    return call;
}

} // namespace zel
