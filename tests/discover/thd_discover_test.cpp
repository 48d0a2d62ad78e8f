// SPDX-License-Identifier: GPL-3.0-or-later
// The installation thread's procedures against a scripted Bluetooth stack.

#include "discover/thd_discover.h"
#include "lang/translate.h"
#include "support/scripted_bluetooth.h"
#include "support/wait.h"

#include <QLocale>
#include <QTest>

using namespace zel;
using zel::test::BluetoothScript;
using zel::test::ScriptedBluetooth;
using zel::test::WaitUntil;

namespace {

constexpr uint64_t ControllerAddress = 0x001122334455;
constexpr uint64_t OtherAddress = 0xA0B1C2D3E4F5;

class RecordingDiscoverHost : public QObject, public DiscoverHost {
public:
    HostGate gate{this};
    QStringList log;
    int raised = 0;
    void LogMessage(const QString& text) override { log << text; }
    void BringToFront() override { ++raised; }
};

BluetoothDeviceInfo Device(uint64_t address, const QString& name, bool paired = false,
                           bool connected = false) {
    BluetoothDeviceInfo device;
    device.Address = address;
    device.Name = name;
    device.Authenticated = paired;
    device.Connected = connected;
    return device;
}

QString Error() {
    return QStringLiteral("Bluetooth error (BlueZ) org.bluez.Error.Failed: \"Failed\".");
}

QStringList Repeated(const QString& line, int times) {
    QStringList lines;
    for (int i = 0; i < times; ++i)
        lines << line;
    return lines;
}

QString Scan() {
    return Translate(QStringLiteral("DiscoverNearbyDevices"));
}
QString ScanEnd() {
    return Translate(QStringLiteral("DiscoveryCompleted"));
}
QString List() {
    return Translate(QStringLiteral("ListingInstalledDevices"));
}
QString ListEnd() {
    return Translate(QStringLiteral("RemovalCompleted"));
}
QString Detected() {
    return QStringLiteral("Detected 00:11:22:33:44:55:");
}

} // namespace

class DiscoverThreadTest : public QObject {
    Q_OBJECT

    // Runs one procedure to its end.
    bool Run(RecordingDiscoverHost& host, BluetoothScript& script, bool install) {
        TthdDiscover thread(host, host.gate, install, ScriptedBluetooth::Playing(script));
        if (!WaitUntil([&] { return thread.Finished(); })) {
            qWarning() << "still running:" << host.log;
            return false;
        }
        succeeded_ = thread.Succeeded();
        return true;
    }
    bool succeeded_ = false;

private slots:
    void initTestCase() { SelectLanguage(LanguageEnglish); }

    void AddressesAreSixUpperCaseHexBytes() {
        QCOMPARE(FormatBluetoothAddress(0x00AB0C0D0E0F), QStringLiteral("00:AB:0C:0D:0E:0F"));
        uint64_t address = 0;
        QVERIFY(ParseBluetoothAddress(QStringLiteral("a0:b1:C2:d3:E4:f5"), address));
        QCOMPARE(address, OtherAddress);
        for (const char* bad : {"", "00:11:22:33:44", "00:11:22:33:44:55:66", "0:11:22:33:44:555",
                                " 0:11:22:33:44:55", "+0:11:22:33:44:55", "0g:11:22:33:44:55"})
            QVERIFY2(!ParseBluetoothAddress(QString::fromLatin1(bad), address), bad);
    }

    void PairedControllerOnlyGetsItsSerialPortAgain() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        script.devices = {Device(ControllerAddress, ControllerName, true, true)};
        QVERIFY(Run(host, script, true));
        QCOMPARE(host.log,
                 QStringList({Scan(), Detected(),
                              QStringLiteral("\"ZELPHORIN2\", installed, connected"), ScanEnd()}));
        QCOMPARE(script.calls, QStringList({QStringLiteral("Find inquiry"),
                                            QStringLiteral("Info 00:11:22:33:44:55"),
                                            QStringLiteral("Service 00:11:22:33:44:55")}));
        QCOMPARE(host.raised, 1);
        QVERIFY(succeeded_);
    }

    void NewControllerIsPairedWithItsPinAndGetsItsSerialPort() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        script.devices = {Device(ControllerAddress, ControllerName)};
        script.pairFailures = 1;
        QVERIFY(Run(host, script, true));
        QCOMPARE(host.log,
                 QStringList({Scan(), Detected(), QStringLiteral("\"ZELPHORIN2\""),
                              QStringLiteral("Adding \"ZELPHORIN2\" to the system..."), Error(),
                              QStringLiteral("Installing serial port..."),
                              Translate(QStringLiteral("InstallationStarted")), ScanEnd()}));
        QCOMPARE(script.calls.filter(QStringLiteral("Pair")),
                 Repeated(QStringLiteral("Pair 00:11:22:33:44:55 8614"), 2));
        QCOMPARE(script.calls.filter(QStringLiteral("Pause")),
                 QStringList({QStringLiteral("Pause 2000")}));
        QCOMPARE(host.raised, 3); // before each pairing and the service call
        QVERIFY(succeeded_);
    }

    // Only the exact name is a controller; the others are listed and left alone.
    void OtherNamesAreListedButNeitherInstalledNorRemoved() {
        for (const bool install : {true, false}) {
            RecordingDiscoverHost host;
            BluetoothScript script;
            script.devices = {Device(ControllerAddress, QStringLiteral("zelphorin2"), true),
                              Device(OtherAddress, QStringLiteral("ZELPHORIN2x"), true)};
            QVERIFY(Run(host, script, install));
            QVERIFY(host.log.contains(install
                                          ? QStringLiteral("\"zelphorin2\", installed")
                                          : QStringLiteral("00:11:22:33:44:55, \"zelphorin2\"")));
            QVERIFY(host.log.contains(install
                                          ? QStringLiteral("\"ZELPHORIN2x\", installed")
                                          : QStringLiteral("A0:B1:C2:D3:E4:F5, \"ZELPHORIN2x\"")));
            for (const QString& call : script.calls)
                QVERIFY2(call.startsWith(QLatin1String("Find")) ||
                             call.startsWith(QLatin1String("Info")),
                         qPrintable(call));
            QVERIFY(!succeeded_);
        }
    }

    void FailedSearchAsksWhetherBluetoothIsOn() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        script.searchFails = true;
        script.error = {QStringLiteral("19"),
                        QStringLiteral("No such device: no Bluetooth adapter")};
        QVERIFY(Run(host, script, true));
        QCOMPARE(host.log,
                 QStringList(
                     {Scan(),
                      QStringLiteral("Bluetooth error (BlueZ) 19: \"No such device: no Bluetooth "
                                     "adapter\"."),
                      QStringLiteral("Is Bluetooth available and active?"), ScanEnd()}));
        QVERIFY(!succeeded_);

        RecordingDiscoverHost listing;
        QVERIFY(Run(listing, script, false));
        QCOMPARE(listing.log.size(), 3); // no hint when removing
        QCOMPARE(listing.log.last(), ListEnd());
    }

    void NothingFoundLogsOnlyTheScanAndItsEnd() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        QVERIFY(Run(host, script, true));
        QCOMPARE(host.log, QStringList({Scan(), ScanEnd()}));
        QVERIFY(!succeeded_);
    }

    void NamelessDeviceIsAskedTenTimesThenSkipped() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        script.devices = {Device(ControllerAddress, QString())};
        script.infos[ControllerAddress] = {BluetoothScript::Answer{false, {}}};
        QVERIFY(Run(host, script, true));
        QCOMPARE(host.log, QStringList({Scan(), Detected(), Error()}) +
                               Repeated(Translate(QStringLiteral("NoDeviceName")), 9) +
                               QStringList({ScanEnd()}));
        QCOMPARE(script.calls.filter(QStringLiteral("Info")).size(), 10);
        QCOMPARE(script.calls.filter(QStringLiteral("Pause 2000")).size(), 10);
    }

    void NameThatArrivesLateEndsTheTries() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        BluetoothDeviceInfo nameless = Device(ControllerAddress, QString());
        script.devices = {Device(ControllerAddress, ControllerName)};
        script.infos[ControllerAddress] = {{true, nameless}, {true, nameless}};
        QVERIFY(Run(host, script, true));
        QCOMPARE(script.calls.filter(QStringLiteral("Info")).size(), 3);
        QVERIFY(host.log.contains(Translate(QStringLiteral("InstallationStarted"))));
    }

    void PairingThatFailsFiveTimesSkipsTheDevice() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        script.devices = {Device(ControllerAddress, ControllerName),
                          Device(OtherAddress, QStringLiteral("Phone"))};
        script.pairFailures = 5;
        QVERIFY(Run(host, script, true));
        QCOMPARE(host.log.mid(3, 7),
                 QStringList({QStringLiteral("Adding \"ZELPHORIN2\" to the system...")}) +
                     Repeated(Error(), 5) +
                     QStringList({QStringLiteral("Detected A0:B1:C2:D3:E4:F5:")}));
        QCOMPARE(script.calls.filter(QStringLiteral("Pause 2000")).size(), 5);
        QVERIFY(script.calls.filter(QStringLiteral("Service")).isEmpty());
        QVERIFY(!succeeded_);
    }

    void ServiceThatFailsFiveTimesUndoesThePairing() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        script.devices = {Device(ControllerAddress, ControllerName)};
        script.serviceFailures = 5;
        QVERIFY(Run(host, script, true));
        QCOMPARE(host.log.mid(4),
                 QStringList({QStringLiteral("Installing serial port...")}) + Repeated(Error(), 5) +
                     QStringList({QStringLiteral("Uninstalling \"ZELPHORIN2\"..."),
                                  QStringLiteral("Uninstall successfull."),
                                  Translate(QStringLiteral("TryColdStart")), ScanEnd()}));
        QCOMPARE(script.calls.filter(QStringLiteral("Remove")),
                 QStringList({QStringLiteral("Remove 00:11:22:33:44:55")}));
        QVERIFY(!succeeded_);
    }

    void ControllerThatStaysConnectedIsCheckedTenTimesAndLeftInstalled() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        script.devices = {Device(ControllerAddress, ControllerName, true, true)};
        QVERIFY(Run(host, script, false));
        QCOMPARE(
            host.log,
            QStringList({List(), QStringLiteral("00:11:22:33:44:55, \"ZELPHORIN2\", connected")}) +
                Repeated(Translate(QStringLiteral("DeviceInUse")), 10) + QStringList({ListEnd()}));
        QCOMPARE(script.calls.filter(QStringLiteral("Pause 2000")).size(), 10);
        QVERIFY(script.calls.filter(QStringLiteral("Remove")).isEmpty());
        QVERIFY(!succeeded_);
    }

    void DisconnectedControllerIsRemoved() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        BluetoothDeviceInfo connected = Device(ControllerAddress, ControllerName, true, true);
        script.devices = {Device(ControllerAddress, ControllerName, true)};
        script.infos[ControllerAddress] = {{true, connected}};
        script.removeFailures = 1;
        QVERIFY(Run(host, script, false));
        QCOMPARE(host.log, QStringList({List(), QStringLiteral("00:11:22:33:44:55, \"ZELPHORIN2\""),
                                        Translate(QStringLiteral("DeviceInUse")),
                                        QStringLiteral("Uninstalling \"ZELPHORIN2\"..."), Error(),
                                        QStringLiteral("Uninstall successfull."), ListEnd()}));
        QCOMPARE(script.calls.filter(QStringLiteral("Info")).size(), 10);
        QCOMPARE(script.calls.filter(QStringLiteral("Pause 2000")).size(), 2);
        QVERIFY(succeeded_);
    }

    void UnpairedControllerIsListedAsNotInstalled() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        script.devices = {Device(ControllerAddress, ControllerName)};
        QVERIFY(Run(host, script, false));
        QCOMPARE(host.log.at(1),
                 QStringLiteral("00:11:22:33:44:55, \"ZELPHORIN2\", not installed"));
        QCOMPARE(script.calls, QStringList({QStringLiteral("Find")}));
    }

    void LastUseIsShownOnlyAfterTheYear2000() {
        const QDateTime used(QDate(2024, 3, 1), QTime(12, 30));
        for (const auto& [when, shown] :
             {std::pair{used, true},
              std::pair{QDateTime(QDate(2000, 12, 31), QTime(1, 0)), false}}) {
            RecordingDiscoverHost host;
            BluetoothScript script;
            BluetoothDeviceInfo device = Device(OtherAddress, QStringLiteral("Phone"), true);
            device.LastUsed = when;
            script.devices = {device};
            QVERIFY(Run(host, script, true));
            const QString expected = shown ? QStringLiteral("\"Phone\", ") +
                                                 QLocale().toString(when, QLocale::ShortFormat) +
                                                 QStringLiteral(", installed")
                                           : QStringLiteral("\"Phone\", installed");
            QCOMPARE(host.log.at(2), expected);
        }
    }

    // A name comes from the air and may hold anything; the log keeps one line per entry.
    void ControlCharactersOfANameStayOutOfTheLog() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        script.devices = {Device(OtherAddress, QStringLiteral("Evil\r\n[01.01.2024] Fake"))};
        QVERIFY(Run(host, script, true));
        QCOMPARE(host.log.at(2), QStringLiteral("\"Evil  [01.01.2024] Fake\""));
    }

    // The host closes (the window is closed) while the inquiry runs: the thread ends at once.
    void ClosedHostEndsARunningSearchPromptly() {
        RecordingDiscoverHost host;
        BluetoothScript script;
        script.searchBlocks = true;
        TthdDiscover thread(host, host.gate, true, ScriptedBluetooth::Playing(script));
        QVERIFY(WaitUntil([&] { return host.log.size() == 1; }));
        host.gate.Close();
        thread.Terminate();
        QVERIFY(thread.wait(1000));
        QVERIFY(thread.Finished());
        QVERIFY(!thread.Succeeded());
        QCOMPARE(host.log, QStringList({Scan()}));
    }
};

QTEST_GUILESS_MAIN(DiscoverThreadTest)
#include "thd_discover_test.moc"
