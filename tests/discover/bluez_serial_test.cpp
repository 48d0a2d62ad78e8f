// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port of a paired device through a mocked BlueZ: the port list, and the connection
// BlueZ hands over through the serial profile.

#include "com/serial_line.h"
#include "discover/bluetooth_ports.h"
#include "discover/bluez_serial.h"
#include "support/mock_bluez.h"
#include "support/wait.h"

#include <QTest>
#include <QThread>

using namespace zel;
using zel::test::MockBluez;
using zel::test::Succeeded;

namespace {
const QString ControllerAddress = QStringLiteral("00:11:22:33:44:55");
constexpr uint64_t Controller = 0x001122334455;
constexpr int ConnectTimeoutMs = 5000;
} // namespace

class BluezSerialTest : public QObject {
    Q_OBJECT

    MockBluez mock_;
    QString controller_;

    bool Pair(const QString& address, const QStringList& services) {
        const QString path = QStringLiteral("/org/bluez/hci0/dev_") +
                             QString(address).replace(QLatin1Char(':'), QLatin1Char('_'));
        return Succeeded(mock_.Call(QStringLiteral("/"), QStringLiteral("org.bluez.Mock"),
                                    QStringLiteral("PairDevice"),
                                    {QStringLiteral("hci0"), address, 0})) &&
               mock_.UpdateProperties(path, BluezDevice, {{QStringLiteral("UUIDs"), services}});
    }

private slots:
    void initTestCase() {
        QString why;
        if (!mock_.StartBus(why) || !mock_.StartBluez(why))
            QSKIP(qPrintable(why));
        QVERIFY(mock_.AddAdapter(QStringLiteral("hci0")));
        controller_ = mock_.AddDevice(QStringLiteral("hci0"), ControllerAddress,
                                      QStringLiteral("ZELPHORIN2"));
        // BlueZ as it connects a client profile: the registered profile receives the connected
        // socket. Here its other end echoes, as a stand-in for the controller.
        QVERIFY(mock_.AddMethod(QStringLiteral("/org/bluez"), BluezProfileManager,
                                QStringLiteral("RegisterProfile"), QStringLiteral("osa{sv}"),
                                QString(), QStringLiteral("self.profile = args[0]")));
        const QString connect = QStringLiteral(R"(
import dbus, socket, threading
ours, theirs = socket.socketpair()
def echo(end):
    while True:
        data = end.recv(64)
        if not data:
            break
        end.sendall(data)
threading.Thread(target=echo, args=(theirs,), daemon=True).start()
profile = dbus.SystemBus().get_object('%1', objects['/org/bluez'].profile)
profile.NewConnection(dbus.ObjectPath(self.path), dbus.types.UnixFd(ours), {},
                      dbus_interface='org.bluez.Profile1')
ours.close()
)")
                                    .arg(mock_.Bus().baseService());
        QVERIFY(mock_.AddMethod(controller_, BluezDevice, QStringLiteral("ConnectProfile"),
                                QStringLiteral("s"), QString(), connect));
    }

    void PairedDevicesWithASerialPortAreListedAsPorts() {
        const QString phone = QStringLiteral("A0:B1:C2:D3:E4:F5");
        const QString headset = QStringLiteral("A0:B1:C2:D3:E4:F6");
        mock_.AddDevice(QStringLiteral("hci0"), phone, QStringLiteral("GPS\nreceiver"));
        mock_.AddDevice(QStringLiteral("hci0"), headset, QStringLiteral("Headset"));
        mock_.AddDevice(QStringLiteral("hci0"), QStringLiteral("A0:B1:C2:D3:E4:F7"),
                        QStringLiteral("Unpaired"));
        BluetoothPorts ports(mock_.Bus());
        QVERIFY(ports.Ports().isEmpty());

        QVERIFY(Pair(ControllerAddress, {})); // services not known yet: the name tells
        QVERIFY(Pair(phone, {SerialPortServiceClass.toUpper()}));
        QVERIFY(Pair(headset, {QStringLiteral("0000110b-0000-1000-8000-00805f9b34fb")}));
        QList<BluetoothPort> listed;
        // The list is read without waiting: the next looks bring the news.
        QVERIFY(zel::test::WaitUntil([&] {
            listed = ports.Ports();
            return listed.size() == 2;
        }));
        QStringList entries;
        for (const BluetoothPort& port : listed)
            entries << port.Name + QStringLiteral(" (") + port.Description + QLatin1Char(')');
        entries.sort();
        QCOMPARE(entries, QStringList({QStringLiteral("rfcomm:00:11:22:33:44:55 (ZELPHORIN2)"),
                                       QStringLiteral("rfcomm:A0:B1:C2:D3:E4:F5 (GPS receiver)")}));
        // A port list made afterwards has them from the start.
        QCOMPARE(BluetoothPorts(mock_.Bus()).Ports().size(), 2);
    }

    void ConnectionComesThroughTheSerialProfile() {
        QString error;
        const int socket =
            ConnectBluetoothSerialPort(mock_.Bus(), Controller, ConnectTimeoutMs, error);
        QVERIFY2(socket >= 0, qPrintable(error));
        auto line = CreateSocketLine([socket](const QString&, QString&) { return socket; });
        line->SetName(QStringLiteral("rfcomm:00:11:22:33:44:55"));
        line->Open();
        line->Write("80\n");
        QCOMPARE(line->Read(3), QByteArray("80\n"));
        QVERIFY(mock_.Calls(controller_).contains(QStringLiteral("ConnectProfile")));
        QVERIFY(mock_.Calls(QStringLiteral("/org/bluez"))
                    .contains(QStringLiteral("UnregisterProfile")));
    }

    // Neither BlueZ nor channel 1 can connect: both reasons are told.
    void UnknownDeviceFailsWithBothReasons() {
        QString error;
        QCOMPARE(ConnectBluetoothSerialPort(mock_.Bus(), 0x010203040506, ConnectTimeoutMs, error),
                 -1);
        QVERIFY2(error.startsWith(QStringLiteral("01:02:03:04:05:06 (through BlueZ: BlueZ does "
                                                 "not know the device 01:02:03:04:05:06: pair it "
                                                 "first; on channel 1: ")),
                 qPrintable(error));
    }

    // A link thread asked to end while the other side keeps it waiting.
    void InterruptedThreadGivesUpAtOnce() {
        QVERIFY(mock_.AddMethod(controller_, BluezDevice, QStringLiteral("ConnectProfile"),
                                QStringLiteral("s"), QString(),
                                QStringLiteral("import time; time.sleep(30)")));
        const QDBusConnection bus = mock_.Bus();
        int socket = 0;
        QString error;
        std::unique_ptr<QThread> link(QThread::create(
            [&] { socket = ConnectBluetoothSerialPort(bus, Controller, 60000, error); }));
        link->start();
        link->requestInterruption();
        QVERIFY(link->wait(5000)); // long before the other side would answer
        QCOMPARE(socket, -1);
        QVERIFY2(error.endsWith(QStringLiteral("stopped")), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(BluezSerialTest)
#include "bluez_serial_test.moc"
