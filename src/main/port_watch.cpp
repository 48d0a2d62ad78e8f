#include "main/port_watch.h"

#include "discover/bluetooth_ports.h"

#include <QSerialPortInfo>

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

PortSource SystemAndBluetoothPorts(QObject* owner) {
    auto* bluetooth = new BluetoothPorts(QDBusConnection::systemBus(), owner);
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

PortWatch::PortWatch(PortSource source, QObject* parent)
    : QObject(parent), source_(std::move(source)) {
    Update(source_());
    connect(&timer_, &QTimer::timeout, this, &PortWatch::Poll);
    timer_.start(PollIntervalMs);
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

void PortWatch::Poll() {
    for (const QString& name : Update(source_()))
        emit PortArrived(name);
}

} // namespace zel
