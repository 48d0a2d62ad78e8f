// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/port_watch.h"

#include "discover/bluetooth_ports.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSocketNotifier>

#include <libudev.h>

#include <algorithm>

namespace zel {

namespace {
constexpr int PollIntervalMs = 1000;
} // namespace

QList<SerialPortInfo> SystemSerialPorts() {
    QList<SerialPortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append({info.portName(), info.description()});
    return ports;
}

PortSource SystemAndBluetoothPorts(QObject* owner, const std::function<void()>& changed) {
    auto* bluetooth = new BluetoothPorts(QDBusConnection::systemBus(), owner);
    QObject::connect(bluetooth, &BluetoothPorts::Changed, owner, changed);
    return [bluetooth] {
        QList<SerialPortInfo> ports = SystemSerialPorts();
        for (const BluetoothPort& port : bluetooth->Ports())
            ports.append({port.Name, port.Description});
        return ports;
    };
}

QString PortEntry(const SerialPortInfo& port) {
    const QString description =
        port.Description.isEmpty() ? QStringLiteral("serial port") : port.Description;
    return port.Name + QStringLiteral(" (") + description + QLatin1Char(')');
}

PortWatch::PortWatch(PortSource source, QObject* parent, Mode preferred,
                     const QString& deviceFolder)
    : QObject(parent), source_(std::move(source)) {
    Update(source_());
    if (preferred == Mode::Udev && WatchUdev()) {
        mode_ = Mode::Udev;
    } else if (preferred != Mode::Timer && deviceFolder_.addPath(deviceFolder)) {
        mode_ = Mode::DeviceFolder;
        connect(&deviceFolder_, &QFileSystemWatcher::directoryChanged, this, &PortWatch::Look);
    } else {
        connect(&timer_, &QTimer::timeout, this, &PortWatch::Look);
        timer_.start(PollIntervalMs);
    }
}

PortWatch::~PortWatch() {
    delete notifier_;
    if (monitor_)
        udev_monitor_unref(monitor_);
    if (udev_)
        udev_unref(udev_);
}

// udev's own events come only while its daemon runs; without it (a container, a minimal
// system) a monitor would wait forever, so the daemon's control socket decides.
bool PortWatch::WatchUdev() {
    if (!QFileInfo::exists(QStringLiteral("/run/udev/control")))
        return false;
    udev_ = udev_new();
    if (udev_)
        monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_ ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        if (monitor_)
            udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        return false;
    }
    notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PortWatch::UdevEvent);
    return true;
}

void PortWatch::UdevEvent() {
    // Each event must be taken off the socket, or the notifier fires again at once.
    if (udev_device* device = udev_monitor_receive_device(monitor_))
        udev_device_unref(device);
    Look();
}

QList<SerialPortInfo> PortWatch::Ports() const {
    QList<SerialPortInfo> ports = source_();
    // Ports not seen yet are the newest; the next look reports them as arrivals.
    const auto age = [this](const SerialPortInfo& port) {
        const int index = int(known_.indexOf(port.Name));
        return index < 0 ? int(known_.size()) : index;
    };
    std::stable_sort(
        ports.begin(), ports.end(),
        [&](const SerialPortInfo& a, const SerialPortInfo& b) { return age(a) < age(b); });
    return ports;
}

QStringList PortWatch::Update(const QList<SerialPortInfo>& ports) {
    QStringList present;
    for (const SerialPortInfo& port : ports)
        present.append(port.Name);
    QStringList arrived;
    // A port that went away and comes back counts as new: it moves to the end.
    known_.erase(std::remove_if(known_.begin(), known_.end(),
                                [&](const QString& name) { return !present.contains(name); }),
                 known_.end());
    for (const QString& name : present) {
        if (!known_.contains(name)) {
            known_.append(name);
            arrived.append(name);
        }
    }
    return arrived;
}

void PortWatch::Look() {
    for (const QString& name : Update(source_()))
        emit PortArrived(name);
}

} // namespace zel
