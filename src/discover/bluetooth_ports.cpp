// SPDX-License-Identifier: GPL-3.0-or-later
#include "discover/bluetooth_ports.h"

#include "discover/port_lines.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>

namespace zel {

namespace {
// Once, at the start: a BlueZ that is slow to answer must not hold up the window for long.
constexpr int FirstListTimeoutMs = 1000;

QDBusMessage ListCall() {
    return QDBusMessage::createMethodCall(BluezService, QStringLiteral("/"),
                                          QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                          QStringLiteral("GetManagedObjects"));
}
} // namespace

BluetoothPorts::BluetoothPorts(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {
    qDBusRegisterMetaType<BusInterfaces>();
    qDBusRegisterMetaType<BusObjects>();
    if (!bus_.isConnected())
        return;
    // Devices appear and vanish as objects; pairing and names change as properties.
    const QString objectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
    bus_.connect(BluezService, QStringLiteral("/"), objectManager,
                 QStringLiteral("InterfacesAdded"), this, SLOT(Refresh()));
    bus_.connect(BluezService, QStringLiteral("/"), objectManager,
                 QStringLiteral("InterfacesRemoved"), this, SLOT(Refresh()));
    bus_.connect(BluezService, QString(), QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("PropertiesChanged"), this, SLOT(Refresh()));
    Store(bus_.call(ListCall(), QDBus::Block, FirstListTimeoutMs));
}

void BluetoothPorts::Refresh() {
    if (asking_) {
        again_ = true; // a signal during the call: its answer may already be out of date
        return;
    }
    asking_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(ListCall()), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                asking_ = false;
                const QList<BluetoothPort> before = ports_;
                Store(finished->reply());
                if (again_) {
                    again_ = false;
                    Refresh();
                }
                if (ports_ != before)
                    emit Changed();
            });
}

// Without BlueZ there are no Bluetooth ports.
void BluetoothPorts::Store(const QDBusMessage& reply) {
    ports_ = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                 ? BluetoothPortsOf(qdbus_cast<BusObjects>(reply.arguments().first()))
                 : QList<BluetoothPort>();
}

QList<BluetoothPort> BluetoothPortsOf(const BusObjects& objects) {
    QList<BluetoothPort> ports;
    for (const BusInterfaces& object : objects) {
        const QVariantMap device = object.value(BluezDevice);
        const QString name = device.value(QStringLiteral("Name")).toString();
        const bool serial = device.value(QStringLiteral("UUIDs"))
                                .toStringList()
                                .contains(SerialPortServiceClass, Qt::CaseInsensitive);
        uint64_t address = 0;
        if (!device.value(QStringLiteral("Paired")).toBool() ||
            !(serial || name == ControllerName) ||
            !ParseBluetoothAddress(device.value(QStringLiteral("Address")).toString(), address))
            continue;
        const QString description = PrintableName(name).simplified();
        ports << BluetoothPort{BluetoothPortPrefix + FormatBluetoothAddress(address),
                               description.isEmpty() ? QStringLiteral("Bluetooth") : description};
    }
    return ports;
}

} // namespace zel
