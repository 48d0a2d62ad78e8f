// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discover/bluez_bus.h"

#include <QList>
#include <QObject>

namespace zel {

struct BluetoothPort {
    QString Name;        // "rfcomm:00:11:22:33:44:55"
    QString Description; // the device's name

    bool operator==(const BluetoothPort& other) const {
        return Name == other.Name && Description == other.Description;
    }
    bool operator!=(const BluetoothPort& other) const { return !(*this == other); }
};

// The serial ports of the paired Bluetooth devices that offer one (or call themselves
// "ZELPHORIN2", whose services may not be known yet), for the port list. The first list is
// read at once; BlueZ's signals about its devices bring a new one, without waiting, and
// Changed() tells when it differs.
class BluetoothPorts : public QObject {
    Q_OBJECT
public:
    explicit BluetoothPorts(const QDBusConnection& bus = QDBusConnection::systemBus(),
                            QObject* parent = nullptr);

    // The ports as BlueZ last listed them; the list follows BlueZ's own signals.
    QList<BluetoothPort> Ports() const { return ports_; }

signals:
    // The list changed: a controller was paired, removed, or named.
    void Changed();

private slots:
    void Refresh();

private:
    void Store(const QDBusMessage& reply);

    QDBusConnection bus_;
    QList<BluetoothPort> ports_;
    bool asking_ = false;
    bool again_ = false;
};

// The ports among BlueZ's objects.
QList<BluetoothPort> BluetoothPortsOf(const BusObjects& objects);

} // namespace zel
