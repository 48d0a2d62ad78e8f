// SPDX-License-Identifier: GPL-3.0-or-later
// `zelphorin-cli bluetooth`: its arguments, its printed log and exit status on a scripted
// stack, and the program itself on a mocked BlueZ.

#include "cli/bluetooth_command.h"
#include "cli/cli_session.h"
#include "discover/bluez_bus.h"
#include "lang/translate.h"
#include "support/mock_bluez.h"
#include "support/scripted_bluetooth.h"
#include "support/wait.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

using namespace zel;
using zel::test::BluetoothScript;
using zel::test::MockBluez;
using zel::test::PairedController;
using zel::test::ScriptedBluetooth;
using zel::test::WaitUntil;

namespace {
constexpr int RunTimeoutMs = 30000;

struct Run {
    int ExitCode = -1;
    QString Out;
    QString Err;
};
} // namespace

class BluetoothCommandTest : public QObject {
    Q_OBJECT

    Run RunCommand(BluetoothScript& script, bool install, bool stopAtOnce = false) {
        Run run;
        QTextStream err(&run.Err);
        BluetoothCommand command(install, err, ScriptedBluetooth::Playing(script));
        QSignalSpy done(&command, &BluetoothCommand::done);
        command.Start();
        if (stopAtOnce)
            command.Stop(SIGINT);
        if (WaitUntil([&] { return !done.isEmpty(); }, RunTimeoutMs))
            run.ExitCode = done.first().first().toInt();
        return run;
    }

    Run RunProgram(const QStringList& arguments, const QString& busAddress) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), busAddress);
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(ZEL_BINARY_DIR "/src/zelphorin-cli"), arguments);
        Run run;
        if (program.waitForFinished(RunTimeoutMs) && program.exitStatus() == QProcess::NormalExit)
            run.ExitCode = program.exitCode();
        else
            program.kill();
        run.Out = QString::fromUtf8(program.readAllStandardOutput());
        run.Err = QString::fromUtf8(program.readAllStandardError());
        return run;
    }

private slots:
    void initTestCase() { SelectLanguage(LanguageEnglish); }

    void OnlyInstallOrRemoveIsAccepted() {
        bool install = false;
        QString error;
        QVERIFY(ParseBluetoothArguments({QStringLiteral("install")}, install, error) && install);
        QVERIFY(ParseBluetoothArguments({QStringLiteral("remove")}, install, error) && !install);
        for (const QStringList& bad : {QStringList(), QStringList{QStringLiteral("Install")},
                                       QStringList{QStringLiteral("install"), QStringLiteral("x")}})
            QVERIFY(!ParseBluetoothArguments(bad, install, error));
        CliRequest request;
        bool help = false;
        QCOMPARE(ParseCliArguments({QStringLiteral("bluetooth"), QStringLiteral("install")},
                                   request, error, help),
                 int(ExitOk));
        QCOMPARE(request.Command, QStringLiteral("bluetooth"));
    }

    void EveryLineIsPrintedAndSuccessExitsZero() {
        BluetoothScript script;
        script.devices = {PairedController()};
        const Run run = RunCommand(script, true);
        QCOMPARE(run.ExitCode, int(ExitOk));
        QVERIFY(run.Err.contains(QStringLiteral("] Detected 00:11:22:33:44:55:\n")));
        QVERIFY(run.Err.contains(QStringLiteral("] \"ZELPHORIN2\", installed\n")));
        // The closing text's two lines, each with its time.
        QVERIFY(run.Err.contains(QStringLiteral("try again or use\n[")));
    }

    void NothingDoneExitsOne() {
        BluetoothScript script;
        QCOMPARE(RunCommand(script, true).ExitCode, int(ExitFailed));
        script.devices = {PairedController()};
        script.removeFailures = 5;
        QCOMPARE(RunCommand(script, false).ExitCode, int(ExitFailed));
    }

    void InterruptionSaysSoAndExitsWithTheSignal() {
        BluetoothScript script;
        script.searchBlocks = true;
        const Run run = RunCommand(script, true, true);
        QCOMPARE(run.ExitCode, 128 + SIGINT);
        QVERIFY(run.Err.contains(QStringLiteral("interrupted")));
    }

    void ProgramInstallsAndRemovesOnMockedBluez() {
        MockBluez mock;
        QString why;
        if (!mock.StartBus(why) || !mock.StartBluez(why))
            QSKIP(qPrintable(why));
        const Run noAdapter =
            RunProgram({QStringLiteral("bluetooth"), QStringLiteral("install")}, mock.BusAddress());
        QCOMPARE(noAdapter.ExitCode, int(ExitFailed));
        QVERIFY2(noAdapter.Err.contains(QStringLiteral("] Is Bluetooth available and active?\n")),
                 qPrintable(noAdapter.Err));

        QVERIFY(mock.AddAdapter(QStringLiteral("hci0")));
        const QString controller = mock.AddDevice(
            QStringLiteral("hci0"), QStringLiteral("00:11:22:33:44:55"), ControllerName);
        QVERIFY(zel::test::Succeeded(mock.Call(
            QStringLiteral("/"), QStringLiteral("org.bluez.Mock"), QStringLiteral("PairDevice"),
            {QStringLiteral("hci0"), QStringLiteral("00:11:22:33:44:55"), 0})));
        QVERIFY(mock.UpdateProperties(
            controller, BluezDevice,
            {{QStringLiteral("UUIDs"), QStringList{SerialPortServiceClass}}}));
        const Run install =
            RunProgram({QStringLiteral("bluetooth"), QStringLiteral("install")}, mock.BusAddress());
        QVERIFY2(install.ExitCode == ExitOk, qPrintable(install.Out + install.Err));
        QVERIFY(install.Err.contains(QStringLiteral("] \"ZELPHORIN2\", installed\n")));
        QCOMPARE(install.Out, QString()); // log lines go to stderr

        const Run remove =
            RunProgram({QStringLiteral("bluetooth"), QStringLiteral("remove")}, mock.BusAddress());
        QVERIFY2(remove.ExitCode == ExitOk, qPrintable(remove.Out + remove.Err));
        QVERIFY(remove.Err.contains(QStringLiteral("] Uninstall successfull.\n")));
        QCOMPARE(mock.Calls(QStringLiteral("/org/bluez/hci0"))
                     .filter(QStringLiteral("RemoveDevice"))
                     .size(),
                 1);
    }
};

QTEST_GUILESS_MAIN(BluetoothCommandTest)
#include "bluetooth_command_test.moc"
