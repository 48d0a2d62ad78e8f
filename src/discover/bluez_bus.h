// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discover/bluetooth_stack.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QEventLoop>
#include <QMap>
#include <QObject>
#include <QVariantMap>

#include <atomic>

namespace zel {

extern const QString BluezService;        // "org.bluez"
extern const QString BluezAdapter;        // "org.bluez.Adapter1"
extern const QString BluezDevice;         // "org.bluez.Device1"
extern const QString BluezAgentManager;   // "org.bluez.AgentManager1"
extern const QString BluezProfileManager; // "org.bluez.ProfileManager1"
extern const QString BluezManagerPath;    // "/org/bluez"

// BlueZ's objects as GetManagedObjects hands them over: path → interface → properties.
using BusInterfaces = QMap<QString, QVariantMap>;
using BusObjects = QMap<QDBusObjectPath, BusInterfaces>;

// Calls over the bus from a thread that has no event loop running: each call waits in a
// local event loop for its reply, its time-out or Stop, so that objects this thread exports
// (a pairing agent, a serial profile) are answered meanwhile. Created, used and destroyed on
// one thread; Stop may come from any.
class BusWaiter : public QObject {
    Q_OBJECT
public:
    explicit BusWaiter(const QDBusConnection& bus);

    const QDBusConnection& Bus() const { return bus_; }
    // The reply, which may be an error message. Throws DiscoverStopped once stopped.
    QDBusMessage Call(const QDBusMessage& call, int timeoutMs);
    // Throws DiscoverStopped when stopped before the time is up.
    void Pause(int milliseconds);
    void Stop();
    bool Stopped() const { return stopped_.load(); }

    // The objects of the BlueZ service; false with the error when they cannot be read.
    bool ManagedObjects(BusObjects& objects, BluetoothError& error);

private:
    void Run(QEventLoop& loop);

    QDBusConnection bus_;
    std::atomic<bool> stopped_{false};
    QEventLoop* loop_ = nullptr;
};

// The error a reply carries (empty code when it is none).
BluetoothError ReplyError(const QDBusMessage& reply);
// An errno number and its text, with what it means here.
BluetoothError SystemError(int number, const QString& meaning);

QDBusMessage BluezCall(const QString& path, const QString& interface, const QString& method,
                       const QVariantList& arguments = {});

} // namespace zel

Q_DECLARE_METATYPE(zel::BusInterfaces)
Q_DECLARE_METATYPE(zel::BusObjects)
