// SPDX-License-Identifier: GPL-3.0-or-later
// The BlueZ stack and the installation thread against python3-dbusmock's BlueZ on a private
// bus: adapters, search, pairing through the agent, the serial port, removal.

#include "discover/bluez_agent.h"
#include "discover/bluez_stack.h"
#include "discover/thd_discover.h"
#include "lang/translate.h"
#include "support/mock_bluez.h"
#include "support/wait.h"

#include <QDBusVariant>
#include <QTest>
#include <QTimer>

#include <cerrno>

using namespace zel;
using zel::test::MockBluez;
using zel::test::Succeeded;
using zel::test::WaitUntil;

namespace {

const QString Adapter = QStringLiteral("/org/bluez/hci0");
const QString ControllerAddress = QStringLiteral("00:11:22:33:44:55");
const QString PhoneAddress = QStringLiteral("A0:B1:C2:D3:E4:F5");

BluetoothDeviceInfo At(const QString& address) {
    BluetoothDeviceInfo device;
    ParseBluetoothAddress(address, device.Address);
    return device;
}

class RecordingDiscoverHost : public QObject, public DiscoverHost {
public:
    HostGate gate{this};
    QStringList log;
    void LogMessage(const QString& text) override { log << text; }
};

} // namespace

class BluezStackTest : public QObject {
    Q_OBJECT

    MockBluez mock_;
    QString controller_;

    // A BlueZ with one adapter (powered unless told) and a controller not yet paired.
    void FreshBluez(bool powered = true) {
        mock_.StopBluez();
        QString why;
        QVERIFY2(mock_.StartBluez(why), qPrintable(why));
        QVERIFY(mock_.AddAdapter(QStringLiteral("hci0")));
        if (!powered)
            QVERIFY(mock_.UpdateProperties(Adapter, BluezAdapter,
                                           {{QStringLiteral("Powered"), false}}));
        controller_ = mock_.AddDevice(QStringLiteral("hci0"), ControllerAddress, ControllerName);
        QVERIFY(!controller_.isEmpty());
    }

    // Pairing as BlueZ does it: the agent of the program that asked is asked for the PIN,
    // and only the right one pairs. The agent must refuse to answer for any other device.
    void PairThroughTheAgent() {
        const QString code = QStringLiteral(R"(
import dbus
bus = dbus.SystemBus()
agent = bus.get_object('%1', objects['/org/bluez'].agent_paths[-1])
try:
    agent.RequestPinCode(dbus.ObjectPath('/org/bluez/hci0/dev_A0_B1_C2_D3_E4_F5'),
                         dbus_interface='org.bluez.Agent1')
    raise dbus.exceptions.DBusException('agent answered for another device',
                                        name='org.bluez.Error.Failed')
except dbus.exceptions.DBusException as e:
    if e.get_dbus_name() != 'org.bluez.Error.Rejected':
        raise
pin = agent.RequestPinCode(dbus.ObjectPath(self.path), dbus_interface='org.bluez.Agent1')
if pin != '8614':
    raise dbus.exceptions.DBusException('wrong PIN ' + pin,
                                        name='org.bluez.Error.AuthenticationFailed')
objects['/'].PairDevice('hci0', self.props['org.bluez.Device1']['Address'], 0)
self.UpdateProperties('org.bluez.Device1', {'UUIDs': dbus.Array(
    ['00001101-0000-1000-8000-00805f9b34fb'], signature='s')})
)")
                                 .arg(mock_.Bus().baseService());
        QVERIFY(mock_.AddMethod(controller_, BluezDevice, QStringLiteral("Pair"), QString(),
                                QString(), code));
    }

    QVariant Property(const QString& path, const QString& name) {
        const QDBusMessage reply =
            mock_.Call(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                       QStringLiteral("Get"), {BluezDevice, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

private slots:
    void initTestCase() {
        SelectLanguage(LanguageEnglish);
        QString why;
        if (!mock_.StartBus(why))
            QSKIP(qPrintable(why));
        // Where BlueZ is missing altogether, the mock cannot run either: say so, once.
        if (!mock_.StartBluez(why))
            QSKIP(qPrintable(why));
        mock_.StopBluez();
    }

    void WithoutBluezTheSearchFailsWithTheBusError() {
        mock_.StopBluez();
        BluezStack stack(mock_.Bus(), 0);
        QList<BluetoothDeviceInfo> devices;
        BluetoothError error;
        QVERIFY(!stack.FindDevices(true, devices, error));
        QCOMPARE(error.Code, QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"));
        QVERIFY(!error.Text.isEmpty());
    }

    void WithoutAdapterOrPowerTheSearchSaysWhy() {
        QString why;
        QVERIFY(mock_.StartBluez(why));
        BluezStack stack(mock_.Bus(), 0);
        QList<BluetoothDeviceInfo> devices;
        BluetoothError error;
        QVERIFY(!stack.FindDevices(false, devices, error));
        QCOMPARE(error.Code, QString::number(ENODEV));
        QVERIFY(error.Text.endsWith(QStringLiteral("no Bluetooth adapter")));

        FreshBluez(false);
        QVERIFY(!stack.FindDevices(true, devices, error));
        QCOMPARE(error.Code, QString::number(ENETDOWN));
        // Removing needs no radio.
        QVERIFY(stack.FindDevices(false, devices, error));

        QVERIFY(mock_.AddProperty(Adapter, BluezAdapter, QStringLiteral("PowerState"),
                                  QStringLiteral("off-blocked")));
        QVERIFY(!stack.FindDevices(true, devices, error));
        QCOMPARE(error.Code, QString::number(ERFKILL));
        QVERIFY(mock_.Calls(Adapter).filter(QStringLiteral("Discovery")).isEmpty());
    }

    void SearchRunsADiscoveryAndListsEveryDevice() {
        FreshBluez();
        const QString phone = mock_.AddDevice(QStringLiteral("hci0"), PhoneAddress, QString());
        QVERIFY(mock_.UpdateProperties(phone, BluezDevice, {{QStringLiteral("Connected"), true}}));
        mock_.Call(phone, BluezDevice, QStringLiteral("Connect"));
        QVERIFY(mock_.UpdateProperties(phone, BluezDevice, {{QStringLiteral("Paired"), true}}));
        BluezStack stack(mock_.Bus(), 0);
        QList<BluetoothDeviceInfo> devices;
        BluetoothError error;
        QVERIFY(stack.FindDevices(true, devices, error));
        QCOMPARE(mock_.Calls(Adapter),
                 QStringList({QStringLiteral("SetDiscoveryFilter"),
                              QStringLiteral("StartDiscovery"), QStringLiteral("StopDiscovery")}));
        QCOMPARE(devices.size(), 2);
        const auto controller = std::find_if(devices.begin(), devices.end(), [](auto& device) {
            return device.Name == ControllerName;
        });
        QVERIFY(controller != devices.end());
        QCOMPARE(FormatBluetoothAddress(controller->Address), ControllerAddress);
        QVERIFY(!controller->Authenticated && !controller->Connected);

        BluetoothDeviceInfo read = At(PhoneAddress);
        read.Name = QStringLiteral("stale");
        QVERIFY(stack.GetDeviceInfo(read, error));
        QVERIFY(read.Name.isEmpty() && read.Authenticated && read.Connected);

        BluetoothDeviceInfo unknown = At(QStringLiteral("01:02:03:04:05:06"));
        QVERIFY(!stack.GetDeviceInfo(unknown, error));
        QCOMPARE(error.Code, QString::number(ENODEV));
    }

    void PairingAnswersThePinAndTheSerialPortIsTrusted() {
        FreshBluez();
        PairThroughTheAgent();
        BluezStack stack(mock_.Bus(), 0);
        BluetoothError error;
        const BluetoothDeviceInfo controller = At(ControllerAddress);
        QVERIFY2(stack.AuthenticateDevice(controller, PairingPin, error), qPrintable(error.Text));
        QVERIFY(Property(controller_, QStringLiteral("Paired")).toBool());
        QVERIFY(stack.EnableSerialService(controller, error));
        QVERIFY(Property(controller_, QStringLiteral("Trusted")).toBool());
    }

    void WrongPinFailsWithBluezError() {
        FreshBluez();
        PairThroughTheAgent();
        BluezStack stack(mock_.Bus(), 0);
        BluetoothError error;
        QVERIFY(!stack.AuthenticateDevice(At(ControllerAddress), QStringLiteral("0000"), error));
        QCOMPARE(error.Code, QStringLiteral("org.bluez.Error.AuthenticationFailed"));
        QVERIFY(error.Text.contains(QStringLiteral("wrong PIN 0000")));
    }

    void DeviceWithoutSerialPortServiceHasNoPort() {
        FreshBluez();
        QVERIFY(Succeeded(mock_.Call(QStringLiteral("/"), QStringLiteral("org.bluez.Mock"),
                                     QStringLiteral("PairDevice"),
                                     {QStringLiteral("hci0"), ControllerAddress, 0})));
        BluezStack stack(mock_.Bus(), 0);
        BluetoothError error;
        QVERIFY(!stack.EnableSerialService(At(ControllerAddress), error));
        QCOMPARE(error.Code, QString::number(EPROTONOSUPPORT));
    }

    void RemovedDeviceIsGone() {
        FreshBluez();
        BluezStack stack(mock_.Bus(), 0);
        BluetoothError error;
        QVERIFY(stack.RemoveDevice(At(ControllerAddress), error));
        QCOMPARE(mock_.Calls(Adapter), QStringList({QStringLiteral("RemoveDevice")}));
        BluetoothDeviceInfo gone = At(ControllerAddress);
        QVERIFY(!stack.GetDeviceInfo(gone, error));
        QVERIFY(!stack.RemoveDevice(gone, error));
    }

    void StopEndsAnInquiryAtOnce() {
        FreshBluez();
        BluezStack stack(mock_.Bus(), 60000);
        // Stopped once the search runs.
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (mock_.Calls(Adapter).contains(QStringLiteral("StartDiscovery")))
                stack.Stop();
        });
        watch.start(10);
        QList<BluetoothDeviceInfo> devices;
        BluetoothError error;
        QVERIFY_THROWS_EXCEPTION(DiscoverStopped, stack.FindDevices(true, devices, error));
        QVERIFY_THROWS_EXCEPTION(DiscoverStopped, stack.Pause(0));
        // The search it started does not go on without it.
        QVERIFY(WaitUntil(
            [&] { return mock_.Calls(Adapter).contains(QStringLiteral("StopDiscovery")); }));
    }

    // The whole procedure on its thread: install pairs and trusts, uninstall removes.
    void InstallThenUninstallOnTheirThread() {
        FreshBluez();
        PairThroughTheAgent();
        const QDBusConnection bus = mock_.Bus();
        const auto factory = [bus] { return std::make_unique<BluezStack>(bus, 0); };
        {
            RecordingDiscoverHost host;
            TthdDiscover install(host, host.gate, true, factory);
            QVERIFY(WaitUntil([&] { return install.Finished(); }));
            QCOMPARE(host.log,
                     QStringList({Translate(QStringLiteral("DiscoverNearbyDevices")),
                                  QStringLiteral("Detected 00:11:22:33:44:55:"),
                                  QStringLiteral("\"ZELPHORIN2\""),
                                  QStringLiteral("Adding \"ZELPHORIN2\" to the system..."),
                                  QStringLiteral("Installing serial port..."),
                                  Translate(QStringLiteral("InstallationStarted")),
                                  Translate(QStringLiteral("DiscoveryCompleted"))}));
            QVERIFY(install.Succeeded());
            QVERIFY(Property(controller_, QStringLiteral("Trusted")).toBool());
        }
        {
            RecordingDiscoverHost host;
            TthdDiscover uninstall(host, host.gate, false, factory);
            QVERIFY(WaitUntil([&] { return uninstall.Finished(); }));
            QCOMPARE(host.log, QStringList({Translate(QStringLiteral("ListingInstalledDevices")),
                                            QStringLiteral("00:11:22:33:44:55, \"ZELPHORIN2\""),
                                            QStringLiteral("Uninstalling \"ZELPHORIN2\"..."),
                                            QStringLiteral("Uninstall successfull."),
                                            Translate(QStringLiteral("RemovalCompleted"))}));
            QVERIFY(uninstall.Succeeded());
        }
    }
};

QTEST_GUILESS_MAIN(BluezStackTest)
#include "bluez_stack_test.moc"
