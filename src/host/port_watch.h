// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace zel {

struct SerialPortInfo {
    QString Name;        // as the link opens it: "ttyUSB0", or a path
    QString Description; // what the system says the port is; may be empty
};

using PortSource = std::function<QList<SerialPortInfo>()>;

// The serial ports the system offers now.
QList<SerialPortInfo> SystemSerialPorts();
// Those and the serial ports of the paired Bluetooth controllers, read through an object that
// `owner` keeps; `changed` runs when BlueZ says a paired controller came or went.
PortSource SystemAndBluetoothPorts(QObject* owner, const std::function<void()>& changed);

// The entry the Connection menu shows and the window keeps: "ttyUSB0 (FT232R USB UART)".
QString PortEntry(const SerialPortInfo& port);

// Keeps the port list in the order the ports appeared, so the last one is the newest, and
// reports every port that appears (an adapter plugged in, a Bluetooth port installed). It
// looks only when the system says a device came or went: udev's monitor where udev runs,
// else a watch on /dev for the device nodes the kernel creates; a look once a second is
// the last resort where neither can be had.
class PortWatch : public QObject {
    Q_OBJECT
public:
    enum class Mode { Udev, DeviceFolder, Timer };

    // `preferred` and `deviceFolder` let tests watch a folder of their own.
    explicit PortWatch(PortSource source, QObject* parent = nullptr, Mode preferred = Mode::Udev,
                       const QString& deviceFolder = QStringLiteral("/dev"));
    ~PortWatch() override;

    // Ports present now, oldest first.
    QList<SerialPortInfo> Ports() const;
    // For tests: another list to watch; its new ports count as arrivals at the next look.
    void SetSource(PortSource source) { source_ = std::move(source); }
    // What a device event starts: reports the ports that appeared since the last look.
    void Look();
    Mode WatchMode() const { return mode_; }

signals:
    void PortArrived(const QString& name);

private:
    // Updates the order of appearance; returns the names that were not there before.
    QStringList Update(const QList<SerialPortInfo>& ports);
    bool WatchUdev();
    void UdevEvent();

    PortSource source_;
    QStringList known_; // names present at the last look, oldest first
    Mode mode_ = Mode::Timer;
    struct udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QFileSystemWatcher deviceFolder_;
    QTimer timer_;
};

} // namespace zel
