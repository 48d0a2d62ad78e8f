#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace zel {

struct SerialPortInfo {
    QString Name;        // as the link opens it: "ttyUSB0", or a path
    QString Description; // what the system says the port is; may be empty
};

using PortSource = std::function<QList<SerialPortInfo>()>;

// The serial ports the system offers now.
QList<SerialPortInfo> SystemSerialPorts();
// Those and the serial ports of the paired Bluetooth controllers, read through an object that
// `owner` keeps.
PortSource SystemAndBluetoothPorts(QObject* owner);

// The entry the Connection menu shows and the window keeps: "ttyUSB0 (FT232R USB UART)".
QString PortEntry(const SerialPortInfo& port);

// Keeps the port list in the order the ports appeared, so the last one is the newest, and
// reports every port that appears (an adapter plugged in, a Bluetooth port installed). It
// looks once a second: the list is cheap to read, and a second is quick enough for a cable.
class PortWatch : public QObject {
    Q_OBJECT
public:
    explicit PortWatch(PortSource source, QObject* parent = nullptr);

    // Ports present now, oldest first.
    QList<SerialPortInfo> Ports() const;
    // For tests: another list to watch; its new ports count as arrivals at the next look.
    void SetSource(PortSource source) { source_ = std::move(source); }

signals:
    void PortArrived(const QString& name);

private:
    // Updates the order of appearance; returns the names that were not there before.
    QStringList Update(const QList<SerialPortInfo>& ports);
    void Poll();

    PortSource source_;
    QStringList known_; // names present at the last look, oldest first
    QTimer timer_;
};

} // namespace zel
