// A controller paired over Bluetooth, end to end: on a private system bus with a mocked BlueZ
// whose serial profile connection leads to the simulated controller, the window sees the new
// port, connects to it by itself and reads the controller through it.

#include "discover/bluez_bus.h"
#include "main/frm_phorin.h"
#include "sim/sim_controller.h"
#include "support/mock_bluez.h"
#include "support/window_fixture.h"

#include <QDBusConnection>
#include <QPlainTextEdit>
#include <QtTest>

using namespace zel;

namespace {
constexpr int TimeoutMs = 20000;
const QString ControllerAddress = QStringLiteral("00:11:22:33:44:55");
const QString ControllerPort = QStringLiteral("rfcomm:00:11:22:33:44:55 (ZELPHORIN2)");
} // namespace

class WindowBluetoothTest : public QObject {
    Q_OBJECT

    test::WindowFixture fixture_;
    test::MockBluez mock_;
    SimController sim_;

private slots:
    void initTestCase() {
        QString why;
        if (!mock_.StartBus(why))
            QSKIP(qPrintable(why));
        // Before anything in this process reaches for the system bus.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", mock_.BusAddress().toUtf8());
        if (!mock_.StartBluez(why))
            QSKIP(qPrintable(why));
    }

    void PairedControllerIsConnectedAsANewPort() {
        const QString terminal = sim_.Start();
        QVERIFY(mock_.AddAdapter(QStringLiteral("hci0")));
        const QString controller =
            mock_.AddDevice(QStringLiteral("hci0"), ControllerAddress, ControllerName);
        QVERIFY(mock_.AddMethod(QStringLiteral("/org/bluez"), BluezProfileManager,
                                QStringLiteral("RegisterProfile"), QStringLiteral("osa{sv}"),
                                QString(), QStringLiteral("self.profile = args[0]")));
        // The serial profile's connection: one end to the window, the other relayed to and
        // from the simulated controller's terminal.
        const QString connect = QStringLiteral(R"(
import dbus, os, socket, threading, tty
ours, theirs = socket.socketpair()
terminal = os.open('%1', os.O_RDWR | os.O_NOCTTY)
tty.setraw(terminal)
def relay(read, write):
    while True:
        try:
            data = read(64)
        except OSError:
            data = b''
        if not data:
            break
        write(data)
threading.Thread(target=relay, args=(theirs.recv, lambda d, w=os.write, t=terminal: w(t, d)),
                 daemon=True).start()
threading.Thread(target=relay, args=(lambda n, r=os.read, t=terminal: r(t, n), theirs.sendall),
                 daemon=True).start()
profile = dbus.SystemBus().get_object('%2', objects['/org/bluez'].profile)
profile.NewConnection(dbus.ObjectPath(self.path), dbus.types.UnixFd(ours), {},
                      dbus_interface='org.bluez.Profile1')
ours.close()
)")
                                    .arg(terminal, QDBusConnection::systemBus().baseService());
        QVERIFY(mock_.AddMethod(controller, BluezDevice, QStringLiteral("ConnectProfile"),
                                QStringLiteral("s"), QString(), connect));

        TfrmPHORIN window({QStringLiteral("-english")});
        window.ProgramDir = fixture_.Path();
        window.show();
        QVERIFY(!window.Link().LinkThread);

        // What the installation does: paired, with the serial port profile.
        QVERIFY(test::Succeeded(mock_.Call(QStringLiteral("/"), QStringLiteral("org.bluez.Mock"),
                                           QStringLiteral("PairDevice"),
                                           {QStringLiteral("hci0"), ControllerAddress, 0})));
        QVERIFY(mock_.UpdateProperties(
            controller, BluezDevice,
            {{QStringLiteral("UUIDs"), QStringList{SerialPortServiceClass}}}));
        QTRY_VERIFY_WITH_TIMEOUT(window.Connected(), TimeoutMs);
        QCOMPARE(window.Link().CurrentPort, ControllerPort);
        QVERIFY(window.findChild<QPlainTextEdit*>(QStringLiteral("mem"))
                    ->toPlainText()
                    .contains(QStringLiteral("] New serial port detected: ") + ControllerPort));
        QVERIFY(mock_.Calls(controller).contains(QStringLiteral("ConnectProfile")));
        window.close();
    }
};

QTEST_MAIN(WindowBluetoothTest)
#include "window_bluetooth_test.moc"
