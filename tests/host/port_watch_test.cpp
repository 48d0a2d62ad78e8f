// SPDX-License-Identifier: GPL-3.0-or-later
// The port list follows the system's device events: arrivals are seen without any polling,
// in the order the ports appeared.

#include "host/port_watch.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace zel;

namespace {

// The ports are the files of a folder, as /dev's device nodes are.
QList<SerialPortInfo> FolderPorts(const QString& folder) {
    QList<SerialPortInfo> ports;
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name))
        ports.append({name, QString()});
    return ports;
}

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class PortWatchTest : public QObject {
    Q_OBJECT

private slots:
    void ANodeAppearingInTheDeviceFolderIsAnArrival() {
        QTemporaryDir folder;
        Touch(folder.filePath("ttyS0"));
        PortWatch watch([&] { return FolderPorts(folder.path()); }, nullptr,
                        PortWatch::Mode::DeviceFolder, folder.path());
        QCOMPARE(watch.WatchMode(), PortWatch::Mode::DeviceFolder);
        QSignalSpy arrivals(&watch, &PortWatch::PortArrived);

        Touch(folder.filePath("ttyUSB0"));
        QTRY_COMPARE_WITH_TIMEOUT(arrivals.size(), 1, 5000);
        QCOMPARE(arrivals.at(0).at(0).toString(), QStringLiteral("ttyUSB0"));
        // Named before ttyS0 but newer, so listed last.
        QCOMPARE(watch.Ports().last().Name, QStringLiteral("ttyUSB0"));
    }

    void WithoutDeviceEventsItLooksOnItsOwn() {
        QList<SerialPortInfo> ports;
        PortWatch watch([&] { return ports; }, nullptr, PortWatch::Mode::Timer);
        QCOMPARE(watch.WatchMode(), PortWatch::Mode::Timer);
        QSignalSpy arrivals(&watch, &PortWatch::PortArrived);
        ports.append(SerialPortInfo{"ttyUSB1", "adapter"});
        QTRY_COMPARE_WITH_TIMEOUT(arrivals.size(), 1, 5000);
    }
};

QTEST_GUILESS_MAIN(PortWatchTest)
#include "port_watch_test.moc"
