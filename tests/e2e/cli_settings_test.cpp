// SPDX-License-Identifier: GPL-3.0-or-later
// Every setting by name from a script: zelphorin-cli get, set and schedule against a
// zelphorin-sim, judged by stdout, the exit code and the simulator's wire log.

#include "cfg/records.h"
#include "files/file_helpers.h"
#include "support/cli_run.h"
#include "support/sim_process.h"
#include "support/wait.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace zel;
using namespace zel::test;

namespace {

// The key lines of a settings file as get prints them: Section.Key=value.
QStringList FileAsSettings(const QByteArray& file) {
    QStringList settings;
    QString section;
    for (const QString& line : QString::fromLatin1(file).split(QStringLiteral("\r\n"))) {
        if (line.startsWith(QLatin1Char('[')))
            section = line.mid(1, line.size() - 2);
        else if (!line.isEmpty())
            settings << section + QLatin1Char('.') + line;
    }
    return settings;
}

QJsonObject ParseObject(const QString& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        qWarning("not a JSON object (%s): %s", qPrintable(error.errorString()), qPrintable(text));
    return document.object();
}

// The writes of blocks the settings file holds.
QStringList BlockWrites(const SimProcess& sim) {
    return sim.Events().filter(QRegularExpression(QStringLiteral("^IN 0[1-6]")));
}

} // namespace

class CliSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo(CliProgram()).isExecutable(), "build the zelphorin-cli target");
    }

    void GetAgreesWithTheExportLineForLine() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("3")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("export.ini"));
        const CliRun exported = RunOn(sim, {QStringLiteral("export"), file});
        QVERIFY2(exported.ExitCode == 0, qPrintable(exported.Describe()));
        const CliRun get = RunOn(sim, {QStringLiteral("get")});
        QVERIFY2(get.ExitCode == 0, qPrintable(get.Describe()));
        QVERIFY(get.Err.isEmpty());
        QCOMPARE(get.Out, FileAsSettings(ReadAll(file)));
        QCOMPARE(get.Out.size(), 77 + 3 * 9);
        QCOMPARE(BlockWrites(sim), QStringList());
    }

    void GetOfNamedKeysPrintsOnlyThoseCaseBlind() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("3")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run =
            RunOn(sim, {QStringLiteral("get"), QStringLiteral("config.FANHIGH"),
                        QStringLiteral("2.color161"), QStringLiteral("TimeZone.Bias")});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        const auto config = As<ConfigBlock>(FirstPayload(sim, "OUT", "82"));
        const auto expert = As<ExpertBlock>(FirstPayload(sim, "OUT", "85"));
        const auto row = As<ScheduleRowMessage>(FirstPayload(sim, "OUT", "8302"));
        QCOMPARE(run.Out, (QStringList{QStringLiteral("Config.FanHigh=%1").arg(config.FanHigh),
                                       QStringLiteral("2.Color161=%1").arg(row.Data.Color16[1]),
                                       QStringLiteral("TimeZone.Bias=%1").arg(expert.Bias)}));
    }

    void SetOfTwoKeysInOneBlockSendsOneLineAndReadsItBack() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, {QStringLiteral("set"), QStringLiteral("Config.FanHigh=80"),
                                       QStringLiteral("config.fanlow=0x0A")});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QVERIFY(run.Out.isEmpty());
        QVERIFY(run.Err.isEmpty());
        const QStringList writes = BlockWrites(sim);
        QCOMPARE(writes.size(), 1);
        auto config = As<ConfigBlock>(FirstPayload(sim, "OUT", "82"));
        config.FanHigh = 80;
        config.FanLow = 10;
        QCOMPARE(Payload(writes[0]).toHex(), BytesOf(config).toHex());
        // Read back after the write.
        const QStringList events = sim.Events();
        QVERIFY(events.lastIndexOf(QRegularExpression(QStringLiteral("^IN 82$"))) >
                events.indexOf(writes[0]));
    }

    void SetOfAKeyInEachOfThreeBlocksSendsThreeLines() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, {QStringLiteral("set"), QStringLiteral("Config.Lat=-123"),
                                       QStringLiteral("Config.TempOffset=-5"),
                                       QStringLiteral("Weather.MoonColor162=$100"),
                                       QStringLiteral("RC5.Up=65535")});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        auto config = As<ConfigBlock>(FirstPayload(sim, "OUT", "82"));
        auto expert = As<ExpertBlock>(FirstPayload(sim, "OUT", "85"));
        auto weather = As<ExpertWeatherBlock>(FirstPayload(sim, "OUT", "86"));
        config.Lat = -123;
        expert.TempOffset = -5;
        expert.Up = 65535;
        weather.MoonColor16[2] = 256;
        QCOMPARE(BlockWrites(sim).size(), 3);
        QCOMPARE(OnlyPayloadHex(sim, "IN", "02"), BytesOf(config).toHex());
        QCOMPARE(OnlyPayloadHex(sim, "IN", "05"), BytesOf(expert).toHex());
        QCOMPARE(OnlyPayloadHex(sim, "IN", "06"), BytesOf(weather).toHex());
    }

    void AKeyGivenTwiceKeepsTheLastValue() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, {QStringLiteral("set"), QStringLiteral("Config.FanHigh=10"),
                                       QStringLiteral("CONFIG.FANHIGH=20")});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        QVERIFY(run.Err[0].contains(QLatin1String("Config.FanHigh")));
        const QStringList writes = BlockWrites(sim);
        QCOMPARE(writes.size(), 1);
        QCOMPARE(As<ConfigBlock>(Payload(writes[0])).FanHigh, uint8_t(20));
    }

    void BadInputIsRefusedBeforeAnythingIsSent_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("said");
        QTest::newRow("out of range") << QStringList{"set", "Config.FanHigh=300"} << "0 to 100";
        QTest::newRow("within the type, not the meaning")
            << QStringList{"set", "Config.Lat=901"} << "-900 to 900";
        QTest::newRow("an hour past the day")
            << QStringList{"schedule", "set", "0", "Hour=25"} << "0 to 24";
        QTest::newRow("below a signed range")
            << QStringList{"set", "Config.TempOffset=-129"} << "-128 to 127";
        QTest::newRow("hex wider than the field")
            << QStringList{"set", "Weather.MoonColor160=0x10000"} << "0 to 4096";
        QTest::newRow("empty value") << QStringList{"set", "Config.FanHigh="} << "no value";
        QTest::newRow("no key") << QStringList{"set", "=5"} << "names no setting";
        QTest::newRow("no equals sign") << QStringList{"set", "Config.FanHigh"} << "KEY=VALUE";
        QTest::newRow("trailing garbage")
            << QStringList{"set", "Config.FanHigh=12abc"} << "not a whole number";
        QTest::newRow("forty digits")
            << QStringList{"set", "Config.FanHigh=" + QString(40, QLatin1Char('9'))}
            << "out of range";
        QTest::newRow("huge key") << QStringList{"set", QString(10000, QLatin1Char('K')) + "=1"}
                                  << "unknown setting";
        QTest::newRow("unknown key")
            << QStringList{"set", "Config.FanHihg=1"} << "did you mean Config.FanHigh";
        QTest::newRow("row key") << QStringList{"set", "0.Hour=5"} << "schedule set 0 Hour=VALUE";
        QTest::newRow("unknown get") << QStringList{"get", "Weather.Cloud"} << "unknown setting";
        QTest::newRow("row field unknown")
            << QStringList{"schedule", "set", "0", "Colour160=1"} << "did you mean Color160";
        QTest::newRow("row out of reach")
            << QStringList{"schedule", "set", "128", "Hour=1"} << "0 to 127";
    }
    void BadInputIsRefusedBeforeAnythingIsSent() {
        QFETCH(QStringList, command);
        QFETCH(QString, said);
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, command);
        QVERIFY2(run.ExitCode == 4, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        QVERIFY2(run.Err[0].contains(said), qPrintable(run.Err[0]));
        QVERIFY2(run.Err[0].size() < 200, qPrintable(run.Err[0]));
        QVERIFY(run.Out.isEmpty());
        QCOMPARE(sim.Events().filter(QRegularExpression(QStringLiteral("^IN "))), QStringList());
    }

    void BytesThatAreNotUtf8AreRefused() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        // QProcess would encode its arguments as UTF-8; the shell passes the raw byte.
        const CliRun run = RunCli(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QStringLiteral("exec \"$0\" --port \"$1\" set \"$(printf 'Config.FanHigh=1\\377')\""),
             CliProgram(), sim.SlavePath()});
        QVERIFY2(run.ExitCode == 4, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        QVERIFY2(run.Err[0].contains(QLatin1String("UTF-8")), qPrintable(run.Err[0]));
        QCOMPARE(sim.Events().filter(QRegularExpression(QStringLiteral("^IN "))), QStringList());
    }

    void AStoredValueThatDiffersExitsOne_data() {
        QTest::addColumn<QString>("misstore");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("line");
        QTest::newRow("set") << "02:3" << QStringList{"set", "Config.FanHigh=80"}
                             << "Config.FanHigh: sent 80, read back 81";
        QTest::newRow("schedule set")
            << "03:5" << QStringList{"schedule", "set", "1", "Color160=100"}
            << "1.Color160: sent 100, read back 101";
        QTest::newRow("import-config") << "06:6" << QStringList{"import-config", "config.ini"}
                                       << "Weather.CloudAlpha: sent 33, read back 34";
        QTest::newRow("import-schedule") << "03:5" << QStringList{"import-schedule", "config.ini"}
                                         << "1.Color160: sent 100, read back 101";
    }
    void AStoredValueThatDiffersExitsOne() {
        QFETCH(QString, misstore);
        QFETCH(QStringList, command);
        QFETCH(QString, line);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("config.ini"));
        WriteFile(file, Crlf("[Weather]\nCloudAlpha=33\n\n[1]\nColor160=100\n"));
        command.replaceInStrings(QStringLiteral("config.ini"), file);
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("2"),
                                           QStringLiteral("--misstore"), misstore});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, command);
        QVERIFY2(run.ExitCode == 1, qPrintable(run.Describe()));
        QVERIFY2(run.Err.contains(QStringLiteral("zelphorin-cli: ") + line),
                 qPrintable(run.Describe()));
    }

    // The third schedule row fails once: the command reads the schedule again, and what it
    // prints, writes or sends back is what a healthy line brings from the same controller.
    void APartWayScheduleReadIsReadAgainBeforeItIsUsed_data() {
        QTest::addColumn<QStringList>("command");
        QTest::newRow("get") << QStringList{"get"};
        QTest::newRow("schedule") << QStringList{"schedule"};
        QTest::newRow("export") << QStringList{"export", "FILE"};
        QTest::newRow("schedule set") << QStringList{"schedule", "set", "5", "Hour=9"};
    }
    void APartWayScheduleReadIsReadAgainBeforeItIsUsed() {
        QFETCH(QStringList, command);
        QTemporaryDir folder;
        const QStringList options = {"--rows", "8", "--seed", "1"};
        SimProcess healthy(BuiltSimProgram(), options);
        SimProcess garbling(BuiltSimProgram(), options + QStringList{"--garble", "83:3"});
        QVERIFY2(healthy.Start(), qPrintable(healthy.ErrorText()));
        QVERIFY2(garbling.Start(), qPrintable(garbling.ErrorText()));
        const auto run = [&](const SimProcess& sim, const QString& name) {
            return RunOn(sim, QStringList(command).replaceInStrings(QStringLiteral("FILE"),
                                                                    folder.filePath(name)));
        };
        const CliRun expected = run(healthy, QStringLiteral("healthy.ini"));
        const CliRun got = run(garbling, QStringLiteral("garbled.ini"));
        QVERIFY2(expected.ExitCode == 0 && got.ExitCode == 0, qPrintable(got.Describe()));
        QVERIFY2(got.LogLines().contains(
                     QStringLiteral("Schedule read incompletely (2 of 8 rows); reading it again.")),
                 qPrintable(got.Describe()));
        QCOMPARE(got.Out, expected.Out);
        QCOMPARE(ReadAll(folder.filePath(QStringLiteral("garbled.ini"))),
                 ReadAll(folder.filePath(QStringLiteral("healthy.ini"))));
        QCOMPARE(BlockWrites(garbling), BlockWrites(healthy));
    }

    // A block that never arrives whole is never used: the command runs out of time saying what
    // it could not read, with no file written and nothing sent.
    void ABlockThatNeverArrivesIsNeverUsed_data() {
        QTest::addColumn<QString>("garble");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("unread");
        // A block that keeps failing is tried again on every pass: those after it wait.
        const QString rows = QStringLiteral("schedule (%1 of 4 rows arrived)");
        QTest::newRow("schedule, export")
            << "83:3+" << QStringList{"export", "FILE"} << rows.arg(2);
        QTest::newRow("schedule, schedule set")
            << "83:3+" << QStringList{"schedule", "set", "1", "Hour=9"} << rows.arg(2);
        QTest::newRow("configuration")
            << "82:1+" << QStringList{"set", "Config.FanHigh=1"} << QString();
        QTest::newRow("expert") << "85:1+" << QStringList{"export", "FILE"}
                                << "expert settings, " + rows.arg(0) + ", chart, weather settings";
        QTest::newRow("weather") << "86:1+" << QStringList{"get"} << "weather settings";
        QTest::newRow("chart") << "87:1+" << QStringList{"get", "Config.Mode"}
                               << "chart, weather settings";
    }
    void ABlockThatNeverArrivesIsNeverUsed() {
        QFETCH(QString, garble);
        QFETCH(QStringList, command);
        QFETCH(QString, unread);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("never.ini"));
        SimProcess sim(BuiltSimProgram(), {"--rows", "4", "--garble", garble});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, QStringList{"--timeout", "2"} +
                                          command.replaceInStrings(QStringLiteral("FILE"), file));
        QVERIFY2(run.ExitCode == 2, qPrintable(run.Describe()));
        QCOMPARE(run.Out, QStringList());
        QCOMPARE(run.Err.size(), 1);
        const QString report =
            unread.isEmpty()
                ? QStringLiteral("the controller was not read")
                : QStringLiteral("the controller was read only in part; not read: ") + unread;
        QVERIFY2(run.Err.first().endsWith(QStringLiteral("giving up: ") + report +
                                          QStringLiteral("; nothing was changed")),
                 qPrintable(run.Describe()));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(BlockWrites(sim), QStringList());
    }

    void ScheduleSetUploadsThatRowOnce() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("4")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run =
            RunOn(sim, {QStringLiteral("schedule"), QStringLiteral("set"), QStringLiteral("2"),
                        QStringLiteral("color161=2048"), QStringLiteral("Alt=-10000"),
                        QStringLiteral("Switch=0xE0")});
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        const QStringList writes = BlockWrites(sim);
        QCOMPARE(writes.size(), 1);
        auto row = As<ScheduleRowMessage>(FirstPayload(sim, "OUT", "8302"));
        row.Data.Color16[1] = 2048;
        row.Data.Alt = -10000;
        row.Data.Switch = 0xE0;
        QCOMPARE(Payload(writes[0]).toHex(), BytesOf(row).toHex());
    }

    void ScheduleSetOfARowTheControllerLacksSendsNothing() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("4")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, {QStringLiteral("schedule"), QStringLiteral("set"),
                                       QStringLiteral("4"), QStringLiteral("Hour=1")});
        QVERIFY2(run.ExitCode == 4, qPrintable(run.Describe()));
        QCOMPARE(run.Err.size(), 1);
        QVERIFY(run.Err[0].contains(QLatin1String("4 schedule rows")));
        QCOMPARE(BlockWrites(sim), QStringList());
    }

    void AControllerSilentBeforeTheReadBackExitsTwo() {
        // Identification and the download of one row are 7 lines; the 8th is the write.
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1"),
                                           QStringLiteral("--silent-after"), QStringLiteral("8")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const CliRun run = RunOn(sim, {QStringLiteral("set"), QStringLiteral("Config.FanHigh=1")});
        QVERIFY2(run.ExitCode == 2, qPrintable(run.Describe()));
        QCOMPARE(BlockWrites(sim).size(), 1);
        QVERIFY2(run.Err.last().contains(QLatin1String("read back")), qPrintable(run.Describe()));
    }

    void AnInterruptedReadBackSaysWhatWasDone() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1"),
                                           QStringLiteral("--silent-after"), QStringLiteral("8")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        QProcess set;
        set.start(CliProgram(), {QStringLiteral("--port"), sim.SlavePath(), QStringLiteral("set"),
                                 QStringLiteral("Config.FanHigh=1")});
        // The second "82" is the read-back, which the controller leaves unanswered.
        QVERIFY(WaitUntil([&] { return Lines(sim, "IN", "82").size() == 2; }));
        set.terminate();
        const CliRun run = Finish(set);
        QVERIFY2(run.ExitCode == 143, qPrintable(run.Describe()));
        QVERIFY2(run.Err.last().contains(QLatin1String("reading it back was not finished")),
                 qPrintable(run.Describe()));
    }

    void JsonFormsHoldTheValuesOfTheTextForms() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("3")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));

        const CliRun text = RunOn(sim, {QStringLiteral("get")});
        const CliRun json = RunOn(sim, {QStringLiteral("get"), QStringLiteral("--json")});
        QVERIFY2(text.ExitCode == 0 && json.ExitCode == 0, qPrintable(json.Describe()));
        QCOMPARE(json.Out.size(), 1);
        const QJsonObject settings = ParseObject(json.Out[0]);
        QCOMPARE(settings.keys().size(), 5 + 3);
        for (const QString& line : text.Out) {
            const QString name = line.section(QLatin1Char('='), 0, 0);
            const QJsonValue value = settings[name.section(QLatin1Char('.'), 0, 0)]
                                         .toObject()[name.section(QLatin1Char('.'), 1)];
            QVERIFY2(value.isDouble(), qPrintable(line));
            QCOMPARE(value.toInteger(), line.section(QLatin1Char('='), 1).toLongLong());
        }

        // The rows by the names and values of the settings file, as get gives them.
        const CliRun rows = RunOn(sim, {QStringLiteral("schedule"), QStringLiteral("--json")});
        QVERIFY2(rows.ExitCode == 0, qPrintable(rows.Describe()));
        QCOMPARE(rows.Out.size(), 1);
        const QJsonArray array = ParseObject(rows.Out[0])[QStringLiteral("Rows")].toArray();
        // The table's "Dose (hours at full level): W 1.23 R ..." holds the JSON form's Dose.
        const CliRun table = RunOn(sim, {QStringLiteral("schedule")});
        QVERIFY2(table.ExitCode == 0, qPrintable(table.Describe()));
        QCOMPARE(table.Out.size(), 1 + 3 + 1);
        const QStringList dose = table.Out.last().split(QLatin1Char(' '));
        QCOMPARE(dose.mid(0, 5).join(QLatin1Char(' ')),
                 QStringLiteral("Dose (hours at full level):"));
        const QJsonObject doses = ParseObject(rows.Out[0])[QStringLiteral("Dose")].toObject();
        QCOMPARE(doses.size(), ChannelCount);
        for (int channel = 0; channel < ChannelCount; ++channel)
            QCOMPARE(dose[6 + 2 * channel].toDouble(), doses[dose[5 + 2 * channel]].toDouble());
        QCOMPARE(array.size(), 3);
        for (int index = 0; index < 3; ++index) {
            QJsonObject row = array[index].toObject();
            QCOMPARE(row.take(QStringLiteral("Row")).toInt(), index);
            const int switches = row[QStringLiteral("Switch")].toInt();
            QCOMPARE(row.take(QStringLiteral("Clouds")).toBool(), (switches & 0x40) != 0);
            QCOMPARE(row.take(QStringLiteral("Thunderstorms")).toBool(), (switches & 0x80) != 0);
            QCOMPARE(row.take(QStringLiteral("Display")).toBool(), (switches & 0x20) != 0);
            QCOMPARE(row, settings[QString::number(index)].toObject());
        }

        const CliRun info = RunOn(sim, {QStringLiteral("info"), QStringLiteral("--json")});
        QVERIFY2(info.ExitCode == 0, qPrintable(info.Describe()));
        QCOMPARE(info.Out.size(), 1);
        const QJsonObject summary = ParseObject(info.Out[0]);
        QCOMPARE(summary[QStringLiteral("ScheduleRows")].toInt(), 3);
        QCOMPARE(summary[QStringLiteral("Port")].toString(), sim.SlavePath());
        QCOMPARE(summary[QStringLiteral("Mode")].toString(), QStringLiteral("auto"));
    }

    void InfoJsonShowsTheFirstStatusRead() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1"),
                                           QStringLiteral("--no-water")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        // The controller shows °F; JSON keeps to °C.
        const CliRun fahrenheit =
            RunOn(sim, {QStringLiteral("set"), QStringLiteral("Config.Flag=4")});
        QVERIFY2(fahrenheit.ExitCode == 0, qPrintable(fahrenheit.Describe()));
        const qsizetype infoReplies = Lines(sim, "OUT", "81").size();
        const CliRun info = RunOn(sim, {QStringLiteral("info"), QStringLiteral("--json")});
        QVERIFY2(info.ExitCode == 0, qPrintable(info.Describe()));
        QCOMPARE(info.Out.size(), 1);
        const QJsonObject summary = ParseObject(info.Out[0]);
        const auto reply = As<InfoBlock>(Payload(Lines(sim, "OUT", "81").value(infoReplies)));
        const QJsonObject channels = summary[QStringLiteral("Channels")].toObject();
        const char* letters[] = {"W", "R", "G", "B"};
        for (int channel = 0; channel < ChannelCount; ++channel) {
            const int level = reply.Channel[channel];
            QCOMPARE(channels[QLatin1String(letters[channel])].toDouble(),
                     QString::number(level / 40.96, 'f', 2).toDouble());
        }
        QVERIFY(summary[QStringLiteral("WaterTemperatureC")].isNull());
        const int board = reply.TempBoard;
        QCOMPARE(summary[QStringLiteral("BoardTemperatureC")].toDouble(), board / 10.0);
        QVERIFY(!summary.contains(QStringLiteral("TemperatureUnit")));
        QCOMPARE(summary[QStringLiteral("ScheduleRows")].toInt(), 1);
    }

    void MonitorJsonWritesOneObjectALineAtOnce() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        QProcess monitor;
        monitor.start(CliProgram(), {QStringLiteral("--port"), sim.SlavePath(),
                                     QStringLiteral("monitor"), QStringLiteral("--json")});
        QByteArray out;
        const bool twoLines = WaitUntil([&] {
            out += monitor.readAllStandardOutput();
            return Lines(out).size() >= 3;
        });
        QVERIFY2(twoLines, out.constData());
        monitor.terminate();
        const CliRun run = Finish(monitor);
        QVERIFY2(run.ExitCode == 0, qPrintable(run.Describe()));
        // The summary, then one status object per read.
        const QStringList lines = Lines(out) + run.Out;
        QVERIFY(ParseObject(lines[0]).contains(QStringLiteral("ScheduleRows")));
        for (const QString& line : lines) {
            const QJsonObject status = ParseObject(line);
            QVERIFY2(status[QStringLiteral("Clock")].isString(), qPrintable(line));
            QCOMPARE(status[QStringLiteral("Channels")].toObject().size(), ChannelCount);
        }
    }
};

QTEST_GUILESS_MAIN(CliSettingsTest)
#include "cli_settings_test.moc"
