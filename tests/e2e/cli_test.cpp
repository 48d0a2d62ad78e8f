// SPDX-License-Identifier: GPL-3.0-or-later
// zelphorin-cli as a script runs it: a separate process on a zelphorin-sim's pseudo-terminal,
// judged by its exit code, its output and what reached the simulated controller's wire.

#include "cfg/conversions.h"
#include "cfg/records.h"
#include "files/file_helpers.h"
#include "files/ini_document.h"
#include "lang/translate.h"
#include "support/cli_run.h"
#include "support/firmware_file.h"
#include "support/sim_process.h"
#include "support/wait.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <csignal>
#include <cstring>
#include <sys/stat.h>

using namespace zel;
using namespace zel::test;

namespace {

// The summary's line of the four channel levels (0..4096 each).
QString ChannelsLine(const std::array<int, ChannelCount>& levels) {
    QString line = QStringLiteral("Channels:");
    for (int channel = 0; channel < ChannelCount; ++channel)
        line += QStringLiteral(" %1 %2%").arg(ChannelLetter(channel), LevelText(levels[channel]));
    return line;
}

QString Disconnected(const SimProcess& sim) {
    return QStringLiteral("Disconnected from ") + sim.SlavePath();
}

const QString FlashedText =
    QStringLiteral("Firmware successfully updated. Remove jumper (if set)!");

} // namespace

class CliTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;

    QString FilePath(const QString& name) const { return folder_.filePath(name); }

    // A controller with a 32 KiB flash of 128-byte pages that writes its flash to `flashOut`.
    static QStringList FlashOptions(const QString& flashOut) {
        return {QStringLiteral("--page-size"),  QStringLiteral("128"),
                QStringLiteral("--flash-size"), QStringLiteral("32768"),
                QStringLiteral("--flash-out"),  flashOut};
    }

    // After a successful update with `image` at 0x0050 the flash holds it at its addresses,
    // zeros from the page start up to it, and nothing was written past its last page.
    void VerifyFlashed(SimProcess& sim, const CliRun& run, const QString& flashOut,
                       const QByteArray& image) {
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QVERIFY(run.LogLines().contains(FlashedText));
        QCOMPARE(run.LogLines().last(), Disconnected(sim));
        QCOMPARE(sim.Events().filter(QStringLiteral("VIOLATION")), QStringList());
        QCOMPARE(sim.Stop(), 0);
        const QByteArray flash = ReadAll(flashOut);
        QCOMPARE(flash.size(), 32768);
        QCOMPARE(flash.left(0x50), QByteArray(0x50, '\0'));
        QCOMPARE(flash.mid(0x50, image.size()), image);
        const qsizetype pagesEnd = (0x50 + image.size() + 127) / 128 * 128;
        QCOMPARE(flash.mid(pagesEnd), QByteArray(flash.size() - pagesEnd, '\xFF'));
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        QVERIFY2(QFileInfo(CliProgram()).isExecutable(), "build the zelphorin-cli target");
    }

    void InfoPrintsConnectionSummaryAndDownloadOrder() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("3")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, {QStringLiteral("info")});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QVERIFY(run.Err.isEmpty());

        const QStringList log = run.LogLines();
        QVERIFY2(log.size() >= 3, qPrintable(run.Describe()));
        QCOMPARE(log.first(), QStringLiteral("Connecting to %1...").arg(sim.SlavePath()));
        QVERIFY(log.contains(QStringLiteral("Connected to ZELPHORIN 2.x.0 on ") + sim.SlavePath()));
        QCOMPARE(log.last(), Disconnected(sim));

        // The summary shows what the controller sent in its one Info block.
        QVERIFY(run.Out.contains(QStringLiteral("Schedule rows: 3")));
        const QByteArray infoReply = FirstPayload(sim, QStringLiteral("OUT"), QStringLiteral("81"));
        QCOMPARE(infoReply.size(), qsizetype(sizeof(InfoBlock)));
        const InfoBlock reply = As<InfoBlock>(infoReply);
        // Copied by value: the packed words may be misaligned.
        const std::array<int, ChannelCount> levels = {reply.Channel[0], reply.Channel[1],
                                                      reply.Channel[2], reply.Channel[3]};
        const QString channels = ChannelsLine(levels);
        QVERIFY2(run.Out.contains(channels), qPrintable(channels + "\n" + run.Describe()));

        const QStringList download = {"80", "82", "81", "85", "83", "83", "83", "87", "86"};
        QCOMPARE(ReceivedCodes(sim).mid(0, download.size()), download);
    }

    // The port "SIM" is the built-in simulated controller, as in the window's port list.
    void InfoRunsOnTheBuiltInController() {
        const CliRun run =
            RunCli({QStringLiteral("--port"), QStringLiteral("SIM"), QStringLiteral("info")});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QVERIFY(run.LogLines().contains(QStringLiteral("Connected to ZELPHORIN 2.x.0 on SIM")));
        QVERIFY(run.Out.contains(QStringLiteral("Controller: ZELPHORIN 2.x.0 on SIM")));
    }

    void MissingPortGivesUpAfterFiveOpenings() {
        const QString port = FilePath(QStringLiteral("no-such-port"));
        const CliRun run = RunCli({QStringLiteral("--port"), port, QStringLiteral("info")});
        QVERIFY2(run.ExitCode == 2, qPrintable(run.Describe()));
        const QStringList log = run.LogLines();
        QCOMPARE(log.count(QStringLiteral("Trying again...")), 4);
        QVERIFY(log.contains(QStringLiteral("Error while connecting to ") + port));
        QCOMPARE(log.last(), QStringLiteral("Disconnected from ") + port);
        QCOMPARE(run.Err.size(), 1);
    }

    void SilentControllerEndsWithTheTimeout() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--silent")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run =
            RunOn(sim, {QStringLiteral("--timeout"), QStringLiteral("3"), QStringLiteral("info")});
        QVERIFY2(run.ExitCode == 2, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        QVERIFY(run.Err.first().contains(QLatin1String("3 s")));
        QCOMPARE(run.LogLines().last(), Disconnected(sim));
    }

    void OtherDeviceExitsThree_data() {
        QTest::addColumn<QString>("identity");
        QTest::addColumn<QString>("status");
        QTest::newRow("other firmware") << "7,3"
                                        << "ZELPHORIN 2.x.3 on %1 detected";
        QTest::newRow("other product") << "9,0"
                                       << "Different hardware \"MIRVANEL 1.x\"";
    }
    void OtherDeviceExitsThree() {
        QFETCH(QString, identity);
        QFETCH(QString, status);
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--identify"), identity});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, {QStringLiteral("info")});
        QVERIFY2(run.ExitCode == 3, qPrintable(run.Describe()));
        const QString expected =
            status.contains(QLatin1String("%1")) ? status.arg(sim.SlavePath()) : status;
        QVERIFY2(run.LogLines().filter(expected).size() == 1, qPrintable(run.Describe()));
        QCOMPARE(run.LogLines().last(), Disconnected(sim));
        QCOMPARE(run.Err.size(), 1);
        QCOMPARE(run.Out.filter(QStringLiteral("Schedule rows:")), QStringList());
    }

    void HelpPrintsTheUsage() {
        const CliRun run = RunCli({QStringLiteral("--help")});
        QCOMPARE(run.ExitCode, 0);
        QVERIFY(run.Out.first().startsWith(QLatin1String("Usage: zelphorin-cli")));
        QVERIFY(run.Err.isEmpty());
    }

    // Each command explains itself, with or without the options before it.
    void EveryCommandAnswersHelp_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("synopsis");
        for (const QString command : {"info", "monitor", "set-time", "save", "cloud", "storm"})
            QTest::newRow(qPrintable(command)) << QStringList{command, "--help"} << command;
        QTest::newRow("flash") << QStringList{"--port", "ttyX", "flash", "--help"} << "flash FILE";
        QTest::newRow("mode") << QStringList{"mode", "geo", "--help"} << "mode MODE";
        QTest::newRow("channels") << QStringList{"channels", "--help"} << "channels W R G B";
        QTest::newRow("export") << QStringList{"export", "--help"} << "export FILE";
        QTest::newRow("import-config")
            << QStringList{"import-config", "--help"} << "import-config FILE";
        QTest::newRow("import-schedule")
            << QStringList{"import-schedule", "--help"} << "import-schedule FILE";
        QTest::newRow("sunmoon") << QStringList{"sunmoon", "--lat", "50", "--help"}
                                 << "sunmoon --lat DEG";
    }
    void EveryCommandAnswersHelp() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, synopsis);
        const CliRun run = RunCli(arguments);
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QVERIFY2(run.Out.first().startsWith(QStringLiteral("Usage: zelphorin-cli ")) &&
                     run.Out.first().contains(synopsis),
                 qPrintable(run.Describe()));
        QVERIFY(run.Err.isEmpty());
    }

    // A malformed command line exits 64, a value that cannot be used 4; neither opens a port.
    void BadArgumentsAreRefusedWithOneLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        const int usage = 64;
        const int value = 4;
        QTest::newRow("unknown command") << QStringList{"--port", "ttyX", "blink"} << usage;
        QTest::newRow("unknown option")
            << QStringList{"--colour", "--port", "ttyX", "info"} << usage;
        QTest::newRow("unknown mode") << QStringList{"--port", "ttyX", "mode", "purple"} << value;
        QTest::newRow("three levels")
            << QStringList{"--port", "ttyX", "channels", "1", "2", "3"} << usage;
        QTest::newRow("level above 100")
            << QStringList{"--port", "ttyX", "channels", "101", "0", "0", "0"} << value;
        QTest::newRow("no port") << QStringList{"info"} << usage;
        QTest::newRow("port without value") << QStringList{"info", "--port"} << usage;
        QTest::newRow("timeout zero")
            << QStringList{"--timeout", "0", "--port", "ttyX", "info"} << value;
        // A timer of more than 2^31 ms would overflow into no time-out at all.
        QTest::newRow("timeout over a day")
            << QStringList{"--timeout", "86401", "--port", "ttyX", "info"} << value;
        QTest::newRow("timeout overflowing")
            << QStringList{"--timeout", "2147484", "--port", "ttyX", "info"} << value;
        QTest::newRow("level not a number")
            << QStringList{"--port", "ttyX", "channels", "1", "2", "3", "nan"} << value;
        QTest::newRow("level with two commas")
            << QStringList{"--port", "ttyX", "channels", "1", "2", "3", "1,2,5"} << value;
        QTest::newRow("malformed Bluetooth address")
            << QStringList{"--port", "rfcomm:00:11:22", "info"} << value;
        QTest::newRow("bluetooth without its word") << QStringList{"bluetooth"} << usage;
        QTest::newRow("sunmoon latitude no number")
            << QStringList{"sunmoon", "--lat",      "abc",    "--lon", "0",
                           "--date",  "2024-06-21", "--time", "12:00"}
            << value;
    }
    void BadArgumentsAreRefusedWithOneLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        const CliRun run = RunCli(arguments);
        QVERIFY2(run.ExitCode == status, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        QVERIFY(run.Log.isEmpty());
        QVERIFY(run.Out.isEmpty());
    }

    // A result that did not reach stdout is no success, whether the disk is full or the caller
    // closed the stream.
    void AResultThatCannotBeWrittenFails_data() {
        QTest::addColumn<QString>("redirection");
        QTest::addColumn<QStringList>("command");
        QTest::newRow("keys to a full disk") << "> /dev/full" << QStringList{"keys"};
        QTest::newRow("keys to a closed stdout") << ">&-" << QStringList{"keys"};
        QTest::newRow("JSON to a full disk") << "> /dev/full" << QStringList{"get", "--json"};
    }
    void AResultThatCannotBeWrittenFails() {
        QFETCH(QString, redirection);
        QFETCH(QStringList, command);
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunCli(
            QStringLiteral("/bin/sh"),
            QStringList{QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$@\" ") + redirection,
                        CliProgram(), QStringLiteral("--port"), sim.SlavePath()} +
                command);
        QVERIFY2(run.ExitCode == 1, qPrintable(run.Describe()));
        QVERIFY2(run.Err.last().contains(QLatin1String("could not be written")),
                 qPrintable(run.Describe()));
    }

    // In mode Auto the controller drives the channels itself: levels are refused, not lost.
    void ChannelsAreSetOnlyInModeManualAndShownByInfo() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QStringList levels = {"10", "20", "30", "40"};
        const CliRun refused = RunOn(sim, QStringList{QStringLiteral("channels")} + levels);
        QVERIFY2(refused.ExitCode == 4, qPrintable(refused.Describe()));
        QCOMPARE(refused.Err.size(), 1);
        QVERIFY2(refused.Err[0].contains(QLatin1String("in mode auto")) &&
                     refused.Err[0].contains(QLatin1String("mode manual")),
                 qPrintable(refused.Err[0]));
        QCOMPARE(Lines(sim, QStringLiteral("IN"), QStringLiteral("01")), QStringList());

        const CliRun manual = RunOn(sim, {QStringLiteral("mode"), QStringLiteral("manual")});
        QVERIFY2(manual.ExitCode == 0, qPrintable(manual.Describe()));
        const CliRun set = RunOn(sim, QStringList{QStringLiteral("channels")} + levels);
        QVERIFY2(set.ExitCode == 0, qPrintable(set.Describe()));
        QCOMPARE(set.LogLines().last(), Disconnected(sim));

        const CliRun info = RunOn(sim, {QStringLiteral("info")});
        QVERIFY2(info.ExitCode == 0, qPrintable(info.Describe()));
        std::array<int, ChannelCount> expected{};
        for (int channel = 0; channel < ChannelCount; ++channel)
            expected[size_t(channel)] = int(LevelFromPercent(levels[channel].toInt()));
        const QString channels = ChannelsLine(expected);
        QVERIFY2(info.Out.contains(channels), qPrintable(channels + "\n" + info.Describe()));
        QVERIFY(info.Out.contains(QStringLiteral("Mode: Manual")));
    }

    // A German user reads "12,5%" and types it back; a point works as well.
    void LevelsTakeADecimalCommaOrPoint() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun manual = RunOn(sim, {QStringLiteral("mode"), QStringLiteral("manual")});
        QVERIFY2(manual.ExitCode == 0, qPrintable(manual.Describe()));
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
        process.setProcessEnvironment(environment);
        process.start(CliProgram(),
                      {QStringLiteral("--port"), sim.SlavePath(), QStringLiteral("channels"),
                       QStringLiteral("12,5"), QStringLiteral("12.5"), QStringLiteral("0,25"),
                       QStringLiteral("100")});
        const CliRun run = Finish(process);
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        const QStringList writes = Lines(sim, QStringLiteral("IN"), QStringLiteral("01"));
        QCOMPARE(writes.size(), 1);
        const auto info = As<InfoBlock>(Payload(writes.first()));
        const std::array<int, ChannelCount> sent = {info.Channel[0], info.Channel[1],
                                                    info.Channel[2], info.Channel[3]};
        QCOMPARE(sent, (std::array<int, ChannelCount>{512, 512, 10, 4096}));
    }

    void ModeGeoSendsConfigWithModeTwo() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, {QStringLiteral("mode"), QStringLiteral("geo")});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QCOMPARE(run.LogLines().last(), Disconnected(sim));
        const QStringList writes = Lines(sim, QStringLiteral("IN"), QStringLiteral("02"));
        QCOMPARE(writes.size(), 1);
        QCOMPARE(Payload(writes.first()).size(), qsizetype(sizeof(ConfigBlock)));
        QCOMPARE(As<ConfigBlock>(Payload(writes.first())).Mode, uint8_t(ModeGeo));
    }

    void SetTimeSendsThePcClock() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, {QStringLiteral("set-time")});
        const QDateTime now = QDateTime::currentDateTime();
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QCOMPARE(run.LogLines().last(), Disconnected(sim));

        // The time part of Info: a real minute, channels and row marked as not to be applied.
        const QStringList writes = Lines(sim, QStringLiteral("IN"), QStringLiteral("01"));
        QCOMPARE(writes.size(), 1);
        QCOMPARE(Payload(writes.first()).size(), qsizetype(sizeof(InfoBlock)));
        const auto info = As<InfoBlock>(Payload(writes.first()));
        for (int channel = 0; channel < ChannelCount; ++channel)
            QCOMPARE(int(info.Channel[channel]), -1);
        QCOMPARE(uint8_t(info.CurrentRow), uint8_t(255));
        const QDateTime sent(QDate(2000 + info.Year, info.Month, info.Day),
                             QTime(info.Hour, info.Minute, info.Second));
        QVERIFY(sent.isValid());
        QVERIFY2(qAbs(sent.secsTo(now)) < 60, qPrintable(sent.toString(Qt::ISODate)));
    }

    void ControllerCommandsSendTheirSubCode_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("line");
        QTest::newRow("save") << "save"
                              << "IN 7F01";
        QTest::newRow("cloud") << "cloud"
                               << "IN 7F02";
        QTest::newRow("storm") << "storm"
                               << "IN 7F03";
    }
    void ControllerCommandsSendTheirSubCode() {
        QFETCH(QString, command);
        QFETCH(QString, line);
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, {command});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QCOMPARE(run.LogLines().last(), Disconnected(sim));
        QCOMPARE(Lines(sim, QStringLiteral("IN"), QStringLiteral("7F")), QStringList{line});
    }

    void UnacknowledgedWriteExitsOne() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1"),
                                           QStringLiteral("--drop-acks")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, {QStringLiteral("mode"), QStringLiteral("geo")});
        QVERIFY2(run.ExitCode == 1, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        QCOMPARE(run.LogLines().last(), Disconnected(sim));
        QCOMPARE(Lines(sim, QStringLiteral("IN"), QStringLiteral("02")).size(), 1);
    }

    void MonitorPrintsStatusLinesUntilTerminated() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        QProcess monitor;
        monitor.start(CliProgram(),
                      {QStringLiteral("--port"), sim.SlavePath(), QStringLiteral("monitor")});
        static const QRegularExpression statusLine(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d W [\\d.,]+% R "));
        QByteArray out;
        const bool statusShown = WaitUntil([&] {
            out += monitor.readAllStandardOutput();
            return Lines(out).filter(statusLine).size() >= 2;
        });
        QVERIFY2(statusShown, out.constData());
        monitor.terminate();
        CliRun run = Finish(monitor);
        run.Out = Lines(out) + run.Out;
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QCOMPARE(run.LogLines().last(), Disconnected(sim));
        QVERIFY(run.Err.isEmpty());
    }

    void FlashWritesTheImageThroughTheBootloader() {
        const QString flashOut = FilePath(QStringLiteral("boot-flash.bin"));
        SimProcess sim(BuiltSimProgram(),
                       QStringList{QStringLiteral("--boot")} + FlashOptions(flashOut));
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QByteArray image = RandomBytes(3000, 1);
        const QString file = FilePath(QStringLiteral("boot.chx"));
        WriteFile(file, test::FirmwareFile(0x50, image));
        const CliRun run = RunOn(sim, {QStringLiteral("flash"), file});
        // Nothing was read from a controller met in its bootloader, so there is nothing to back up.
        QCOMPARE(run.LogLines().filter(QStringLiteral("Settings saved to")), QStringList());
        VerifyFlashed(sim, run, flashOut, image);
    }

    // The file is read and checked whole before the controller is touched: a file that
    // cannot be used leaves it running, not restarted into its bootloader.
    void FlashChecksTheFileBeforeSendingAnything_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        const QByteArray image = RandomBytes(1000, 2);
        const uint32_t sum = test::FirmwareChecksum(0x50, image);
        QTest::newRow("missing") << "missing.chx" << QByteArray() << "Error while parsing!";
        QTest::newRow("empty") << "empty.chx" << QByteArray("") << "Error while parsing!";
        QTest::newRow("truncated") << "truncated.chx" << test::FirmwareFile(0x50, image).left(500)
                                   << "Checksum error in file (";
        QTest::newRow("bad checksum")
            << "bad.chx" << test::FirmwareFile(0x50, image, 1)
            << QStringLiteral("Checksum error in file (%1 != %2)!").arg(sum + 1).arg(sum);
        QTest::newRow("fifo") << "firmware.fifo" << QByteArray() << "Error while parsing!";
    }
    void FlashChecksTheFileBeforeSendingAnything() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QString file = FilePath(name);
        if (name.endsWith(QLatin1String(".fifo")))
            QVERIFY(::mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
        else if (!content.isNull())
            WriteFile(file, content);
        const CliRun run = RunOn(sim, {QStringLiteral("flash"), file});
        QVERIFY2(run.ExitCode == 4, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        QVERIFY2(run.Err.first().contains(message), qPrintable(run.Describe()));
        QVERIFY(!sim.WaitForEvent(QStringLiteral("IN 80"), 200));
        QCOMPARE(sim.Events().filter(QRegularExpression(QStringLiteral("^IN "))), QStringList());
    }

    void FlashStartsTheBootloaderOfARunningController() {
        const QString flashOut = FilePath(QStringLiteral("app-flash.bin"));
        SimProcess sim(BuiltSimProgram(),
                       QStringList{QStringLiteral("--rows"), QStringLiteral("1")} +
                           FlashOptions(flashOut));
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QByteArray image = RandomBytes(2000, 3);
        const QString file = FilePath(QStringLiteral("app.chx"));
        WriteFile(file, test::FirmwareFile(0x50, image));
        const CliRun run = RunOn(sim, {QStringLiteral("flash"), file});
        QVERIFY(sim.Events().contains(QStringLiteral("IN 7F00")));

        // The update wipes the controller's settings: they were backed up first.
        const QStringList saved = run.LogLines().filter(QStringLiteral("Settings saved to "));
        QCOMPARE(saved.size(), 1);
        const QString backup = saved.first().mid(QStringLiteral("Settings saved to ").size());
        QVERIFY2(ReadAll(backup).startsWith("[Config]\r\n"), qPrintable(backup));
        QFile::remove(backup);
        VerifyFlashed(sim, run, flashOut, image);
    }

    // A bootloader whose page is larger than its usable flash gets no block at all.
    void ImpossibleBootloaderFiguresFailTheFlash() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--boot"), QStringLiteral("--page-size"),
                                           QStringLiteral("2048"), QStringLiteral("--flash-size"),
                                           QStringLiteral("2048")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QString file = FilePath(QStringLiteral("small.chx"));
        WriteFile(file, test::FirmwareFile(0, RandomBytes(500, 7)));
        const CliRun run = RunOn(sim, {QStringLiteral("flash"), file});
        QVERIFY2(run.ExitCode == 1, qPrintable(run.Describe()));
        QVERIFY2(run.Err.contains(QStringLiteral(
                     "zelphorin-cli: the firmware update failed before any block was sent")),
                 qPrintable(run.Describe()));
        QCOMPARE(Lines(sim, QStringLiteral("IN"), QStringLiteral("02")), QStringList());
    }

    // The controller that says it runs another firmware version is the one to update.
    void FlashUpdatesAControllerOnAnotherFirmwareVersion() {
        const QString flashOut = FilePath(QStringLiteral("other-flash.bin"));
        SimProcess sim(BuiltSimProgram(),
                       QStringList{QStringLiteral("--identify"), QStringLiteral("7,3")} +
                           FlashOptions(flashOut));
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QByteArray image = RandomBytes(1500, 4);
        const QString file = FilePath(QStringLiteral("other.chx"));
        WriteFile(file, test::FirmwareFile(0x50, image));
        const CliRun run = RunOn(sim, {QStringLiteral("flash"), file});
        QVERIFY(sim.Events().contains(QStringLiteral("IN 7F00")));
        // Its records were never read: nothing to back up.
        QCOMPARE(run.LogLines().filter(QStringLiteral("Settings saved to")), QStringList());
        VerifyFlashed(sim, run, flashOut, image);
    }

    // A Bluetooth serial line is slow: the time-out guards the wait for answers, not a
    // transfer that is running.
    void ASlowTransferOutlastsTheTimeout() {
        const QString flashOut = FilePath(QStringLiteral("slow-flash.bin"));
        SimProcess sim(BuiltSimProgram(),
                       QStringList{QStringLiteral("--boot"), QStringLiteral("--pace-baud"),
                                   QStringLiteral("4800")} +
                           FlashOptions(flashOut));
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QByteArray image = RandomBytes(1000, 5); // 17 blocks, about 5 s at 4800 baud
        const QString file = FilePath(QStringLiteral("slow.chx"));
        WriteFile(file, test::FirmwareFile(0x50, image));
        const CliRun run = RunOn(
            sim, {QStringLiteral("--timeout"), QStringLiteral("2"), QStringLiteral("flash"), file});
        VerifyFlashed(sim, run, flashOut, image);
    }

    void AMonitorOutlastsTheTimeout() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        QProcess monitor;
        monitor.start(CliProgram(),
                      {QStringLiteral("--timeout"), QStringLiteral("1"), QStringLiteral("--port"),
                       sim.SlavePath(), QStringLiteral("monitor")});
        QByteArray out;
        // A status line every half second: six of them take well over the second.
        const bool running = WaitUntil([&] {
            out += monitor.readAllStandardOutput();
            return Lines(out).filter(QRegularExpression(QStringLiteral("^\\d{4}-"))).size() >= 6 ||
                   monitor.state() == QProcess::NotRunning;
        });
        QVERIFY2(running && monitor.state() == QProcess::Running, out.constData());
        monitor.terminate();
        const CliRun run = Finish(monitor);
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QVERIFY(run.Err.isEmpty());
    }

    // SIGINT or SIGTERM before the work is done: exit 130 or 143, as a shell has it, and a line
    // saying what is left.
    void AMonitorThatNeverConnectedIsNotASuccess() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--silent")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        QProcess monitor;
        monitor.start(CliProgram(),
                      {QStringLiteral("--port"), sim.SlavePath(), QStringLiteral("monitor")});
        QVERIFY(sim.WaitForEvent(QStringLiteral("IN 80")));
        ::kill(pid_t(monitor.processId()), SIGINT);
        const CliRun run = Finish(monitor);
        QVERIFY2(run.ExitCode == 130, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        QVERIFY2(run.Err.first().contains(QLatin1String("interrupted: the controller was not "
                                                        "read; nothing was changed")),
                 qPrintable(run.Describe()));
    }

    void AnInterruptedTransferSaysHowFarItCame() {
        SimProcess sim(BuiltSimProgram(),
                       QStringList{QStringLiteral("--boot"), QStringLiteral("--pace-baud"),
                                   QStringLiteral("9600")} +
                           FlashOptions(FilePath("cut-flash.bin")));
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QString file = FilePath(QStringLiteral("cut.chx"));
        WriteFile(file, test::FirmwareFile(0, RandomBytes(8000, 6)));
        QProcess flash;
        flash.start(CliProgram(),
                    {QStringLiteral("--port"), sim.SlavePath(), QStringLiteral("flash"), file});
        QVERIFY(WaitUntil([&] { return Lines(sim, "IN", "02").size() >= 3; }));
        flash.terminate();
        const CliRun run = Finish(flash);
        QVERIFY2(run.ExitCode == 143, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        static const QRegularExpression cut(QStringLiteral(
            "interrupted: the firmware transfer stopped after \\d+ of 8064 bytes; the controller "
            "has no complete firmware: run flash again"));
        QVERIFY2(cut.match(run.Err.first()).hasMatch(), qPrintable(run.Describe()));
        QVERIFY(Lines(sim, "IN", "02").size() < 126);
        QVERIFY(!run.LogLines().contains(FlashedText));
    }

    void AnInterruptedImportSaysWhatWasSent() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1"),
                                           QStringLiteral("--delay-ms"), QStringLiteral("300")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QString file = FilePath(QStringLiteral("slow-config.ini"));
        WriteFile(file, Crlf("[Config]\nMode=2\nJMPMode=5\n\n[Weather]\nCloudAlpha=33\n"));
        QProcess import;
        import.start(CliProgram(), {QStringLiteral("--port"), sim.SlavePath(),
                                    QStringLiteral("import-config"), file});
        QVERIFY(WaitUntil([&] { return !Lines(sim, "IN", "02").isEmpty(); }, 15000));
        import.terminate();
        const CliRun run = Finish(import);
        QVERIFY2(run.ExitCode == 143, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        // The configuration was on its way, its acknowledgement 300 ms late.
        QVERIFY2(run.Err.first().contains(QLatin1String(
                     "interrupted: 0 change(s) acknowledged; sent but not acknowledged: "
                     "configuration; not sent: expert settings, weather settings")),
                 qPrintable(run.Describe()));
    }

    // The controller vanishes while rows are being written: the report counts the rows it
    // acknowledged, the one on its way and those never sent, as the wire log shows them.
    void ALostConnectionSaysWhichChangesWereAcknowledged() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("16"),
                                           QStringLiteral("--close-after"), QStringLiteral("30")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QString file = FilePath(QStringLiteral("vanishing.ini"));
        QByteArray rows;
        for (int row = 0; row < 16; ++row)
            rows += QByteArray("[") + QByteArray::number(row) +
                    "]\nHour=" + QByteArray::number(row) + "\n";
        WriteFile(file, Crlf(rows.constData()));
        const CliRun run = RunOn(sim, {QStringLiteral("import-schedule"), file});
        QVERIFY2(run.ExitCode == 1, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        static const QRegularExpression report(QStringLiteral(
            "the connection was lost: (\\d+) change\\(s\\) acknowledged \\((\\d+) schedule "
            "row\\(s\\)\\)(; sent but not acknowledged: (\\d+) schedule row\\(s\\))?; not "
            "sent: (\\d+) schedule row\\(s\\)$"));
        const QRegularExpressionMatch match = report.match(run.Err.first());
        QVERIFY2(match.hasMatch(), qPrintable(run.Describe()));
        const int acknowledged = match.captured(2).toInt();
        QCOMPARE(acknowledged, int(Lines(sim, "IN", "03").size()));
        QVERIFY(acknowledged > 0);
        QVERIFY(match.captured(4).toInt() <= 1);
        QCOMPARE(acknowledged + match.captured(4).toInt() + match.captured(5).toInt(), 16);
    }

    // --timeout bounds each wait: a slow controller whose answers keep coming is not cut off,
    // though the whole run lasts longer.
    void TheTimeoutBoundsEachWaitNotTheRun() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1"),
                                           QStringLiteral("--delay-ms"), QStringLiteral("400")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        QElapsedTimer clock;
        clock.start();
        const CliRun run =
            RunOn(sim, {QStringLiteral("--timeout"), QStringLiteral("2"), QStringLiteral("get")});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QVERIFY(clock.elapsed() > 2000);
    }

    void ExportWritesEverySectionToAFileOrStdout() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("3")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QString file = FilePath(QStringLiteral("export.ini"));
        const CliRun run = RunOn(sim, {QStringLiteral("export"), file});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QCOMPARE(run.LogLines().last(), Disconnected(sim));

        const QByteArray text = ReadAll(file);
        QCOMPARE(text.count("\n"), text.count("\r\n"));
        QStringList sections;
        for (const QString& line : QString::fromLatin1(text).split(QStringLiteral("\r\n")))
            if (line.startsWith(QLatin1Char('[')))
                sections << line;
        QCOMPARE(sections, (QStringList{"[Config]", "[Weather]", "[Names]", "[RC5]", "[TimeZone]",
                                        "[0]", "[1]", "[2]"}));

        // The file holds what the controller sent.
        const IniDocument written(text);
        const auto config =
            As<ConfigBlock>(FirstPayload(sim, QStringLiteral("OUT"), QStringLiteral("82")));
        QCOMPARE(written.Integer(u"Config", u"Lat"), std::optional<uint64_t>(uint64_t(config.Lat)));
        const auto row = As<ScheduleRowMessage>(
            FirstPayload(sim, QStringLiteral("OUT"), QStringLiteral("8302")));
        QCOMPARE(written.Integer(u"2", u"Color161"),
                 std::optional<uint64_t>(uint64_t(row.Data.Color16[1])));

        // "-" is stdout, and --quiet leaves out the log lines: nothing but the file.
        const CliRun piped =
            RunOn(sim, {QStringLiteral("export"), QStringLiteral("-"), QStringLiteral("--quiet")});
        QVERIFY2(piped.ExitCode == 0, qPrintable(piped.Describe()));
        QCOMPARE(piped.Out, Lines(text));
        QVERIFY(piped.Log.isEmpty() && piped.Err.isEmpty());
    }

    void ImportConfigSendsTheThreeBlocks() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QString file = FilePath(QStringLiteral("config.ini"));
        WriteFile(file, Crlf("[Config]\nMode=2\nJMPMode=5\n\n[Weather]\nCloudAlpha=33\n"));
        const CliRun run = RunOn(sim, {QStringLiteral("import-config"), file});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QCOMPARE(run.LogLines().last(), Disconnected(sim));

        // Each block goes back as the controller sent it, but for the keys of the file.
        auto config = As<ConfigBlock>(FirstPayload(sim, "OUT", "82"));
        auto expert = As<ExpertBlock>(FirstPayload(sim, "OUT", "85"));
        auto weather = As<ExpertWeatherBlock>(FirstPayload(sim, "OUT", "86"));
        config.Mode = ModeGeo;
        expert.JMPMode = 5;
        weather.CloudAlpha = 33;
        QCOMPARE(OnlyPayloadHex(sim, "IN", "02"), BytesOf(config).toHex());
        QCOMPARE(OnlyPayloadHex(sim, "IN", "05"), BytesOf(expert).toHex());
        QCOMPARE(OnlyPayloadHex(sim, "IN", "06"), BytesOf(weather).toHex());
    }

    void ImportScheduleSendsEveryRow() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("4")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QString file = FilePath(QStringLiteral("schedule.ini"));
        WriteFile(file, Crlf("[3]\nColor160=2048\n\n[9]\nColor160=1\n"));
        const CliRun run = RunOn(sim, {QStringLiteral("import-schedule"), file});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QCOMPARE(run.LogLines().last(), Disconnected(sim));

        const QStringList writes = Lines(sim, "IN", "03");
        QCOMPARE(writes.size(), 4);
        for (int index = 0; index < 4; ++index) {
            const QString code = QStringLiteral("83%1").arg(index, 2, 10, QLatin1Char('0'));
            auto row = As<ScheduleRowMessage>(FirstPayload(sim, "OUT", code));
            if (index == 3)
                row.Data.Color16[0] = 2048;
            QCOMPARE(Payload(writes[index]).toHex(), BytesOf(row).toHex());
        }
    }

    void ImportOfAFileItCannotUseExitsFour_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("text"); // the file; null for no file at all
        QTest::addColumn<QString>("rows");
        for (const char* command : {"import-config", "import-schedule"}) {
            QTest::addRow("%s, missing", command) << command << QByteArray() << "1";
            QTest::addRow("%s, empty", command) << command << QByteArray("") << "1";
            QTest::addRow("%s, no known section", command)
                << command << QByteArray("[Settings]\r\nMode=2\r\n[7]\r\nHour=5\r\n") << "1";
        }
        QTest::addRow("import-schedule, a controller without rows")
            << "import-schedule" << QByteArray("[0]\r\nHour=5\r\n") << "0";
    }
    void ImportOfAFileItCannotUseExitsFour() {
        QFETCH(QString, command);
        QFETCH(QByteArray, text);
        QFETCH(QString, rows);
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), rows});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QString file = FilePath(QStringLiteral("unusable.ini"));
        QFile::remove(file);
        if (!text.isNull())
            WriteFile(file, text);
        const CliRun run = RunOn(sim, {command, file});
        QVERIFY2(run.ExitCode == 4, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        QCOMPARE(run.LogLines().last(), Disconnected(sim));
        for (const QString code : {"01", "02", "03", "05", "06"})
            QCOMPARE(Lines(sim, QStringLiteral("IN"), code), QStringList());
    }

    void ExportImportExportIsLossless() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("2")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QString first = FilePath(QStringLiteral("first.ini"));
        const QString second = FilePath(QStringLiteral("second.ini"));
        const CliRun exported = RunOn(sim, {QStringLiteral("export"), first});
        QVERIFY2(exported.ExitCode == 0, qPrintable(exported.Describe()));
        const CliRun imported = RunOn(sim, {QStringLiteral("import-config"), first});
        QVERIFY2(imported.ExitCode == 0, qPrintable(imported.Describe()));
        const CliRun again = RunOn(sim, {QStringLiteral("export"), second});
        QVERIFY2(again.ExitCode == 0, qPrintable(again.Describe()));
        QCOMPARE(ReadAll(second), ReadAll(first));

        // The import sent every block back exactly as the controller had sent it.
        for (const auto& [read, write] : {std::pair{"82", "02"}, {"85", "05"}, {"86", "06"}}) {
            const QStringList writes = Lines(sim, "IN", write);
            QCOMPARE(writes.size(), 1);
            QCOMPARE(Payload(writes[0]).toHex(), FirstPayload(sim, "OUT", read).toHex());
        }
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "cli_test.moc"
