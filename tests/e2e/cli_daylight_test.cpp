// SPDX-License-Identifier: GPL-3.0-or-later
// Designed days and acclimation from a script: zelphorin-cli schedule design and acclimate,
// with and without a zelphorin-sim, judged by stdout, the exit code and the wire log.

#include "cfg/conversions.h"
#include "cfg/records.h"
#include "files/file_helpers.h"
#include "support/by_value.h"
#include "support/cli_run.h"
#include "support/sim_process.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace zel;
using namespace zel::test;

namespace {

const QStringList Equinox = {"schedule", "design", "--lat",      "0",    "--lon",
                             "0",        "--date", "2024-03-20", "--tz", "UTC"};

// The rows uploaded, in the order they reached the controller.
std::vector<ScheduleRowMessage> RowWrites(const SimProcess& sim) {
    std::vector<ScheduleRowMessage> rows;
    for (const QString& event : sim.Events().filter(QRegularExpression(QStringLiteral("^IN 03"))))
        rows.push_back(As<ScheduleRowMessage>(Payload(event)));
    return rows;
}

// A baseline of rows (hour, minute, level of every channel) with every key a file holds.
QByteArray Baseline(const QList<std::array<int, 3>>& rows) {
    QByteArray text;
    for (int index = 0; index < rows.size(); ++index) {
        const auto [hour, minute, level] = rows[index];
        text += QStringLiteral("[%1]\r\nHour=%2\r\nMinute=%3\r\nAlt=0\r\nColor160=%4\r\n"
                               "Color161=%4\r\nColor162=%4\r\nColor163=%4\r\nTimer=0\r\n"
                               "Switch=32\r\n\r\n")
                    .arg(index)
                    .arg(hour)
                    .arg(minute)
                    .arg(level)
                    .toLatin1();
    }
    return text;
}

} // namespace

class CliDaylightTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo(CliProgram()).isExecutable(), "build the zelphorin-cli target");
    }

    // At the equator on the equinox the sun rises near 06:00 and sets near 18:00: the day
    // starts and ends dark, peaks at full level, and the dose is what the rows give.
    void ADayIsDesignedWithoutAController() {
        const CliRun table = RunCli(Equinox + QStringList{"--rows", "16"});
        QVERIFY2(table.ExitCode == 0, qPrintable(table.Describe()));
        QCOMPARE(table.Out.size(), 1 + 16 + 1);
        const QStringList first = table.Out[1].split(' ', Qt::SkipEmptyParts);
        const QStringList last = table.Out[16].split(' ', Qt::SkipEmptyParts);
        QVERIFY2(first[1] >= "05:50" && first[1] <= "06:10", qPrintable(table.Out[1]));
        QCOMPARE(first.mid(2, 4), QStringList({"0.00", "0.00", "0.00", "0.00"}));
        QVERIFY2(last[1] >= "17:50" && last[1] <= "18:10", qPrintable(table.Out[16]));
        double peak = 0;
        for (int line = 1; line <= 16; ++line)
            peak = std::max(peak, table.Out[line].split(' ', Qt::SkipEmptyParts)[2].toDouble());
        QVERIFY2(peak >= 98 && peak <= 100, qPrintable(QString::number(peak)));

        const CliRun json = RunCli(Equinox + QStringList{"--rows", "16", "--json"});
        QVERIFY2(json.ExitCode == 0, qPrintable(json.Describe()));
        const QJsonObject object = QJsonDocument::fromJson(json.Out.value(0).toUtf8()).object();
        QCOMPARE(object["Rows"].toArray().size(), 16);
        // sin over a 12-hour day averages 2/π of its peak: about 7.6 hours at full level.
        const double dose = object["Dose"]["W"].toDouble();
        QVERIFY2(dose > 7.4 && dose < 7.9, qPrintable(QString::number(dose)));
        QVERIFY(table.Out.last().contains(QStringLiteral("W %1").arg(dose, 0, 'f', 2)));
    }

    void BadInputIsRefusedWithExitFour_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("one row") << Equinox + QStringList{"--rows", "1"} << "--rows";
        QTest::newRow("no such date")
            << QStringList{"schedule", "design", "--lat",      "0",      "--lon",
                           "0",        "--date", "2024-02-30", "--rows", "8"}
            << "--date";
        QTest::newRow("above full")
            << Equinox + QStringList{"--rows", "8", "--max", "W=120"} << "--max";
        QTest::newRow("no channel")
            << Equinox + QStringList{"--rows", "8", "--dawn", "X=20"} << "--dawn";
        QTest::newRow("no place") << QStringList{"schedule", "design", "--date", "2024-03-20"}
                                  << "--lat";
        QTest::newRow("too few rows") << Equinox + QStringList{"--rows", "3"} << "needs";
        QTest::newRow("polar night")
            << QStringList{"schedule", "design", "--lat",      "80",     "--lon",
                           "0",        "--date", "2024-12-21", "--rows", "8"}
            << "does not rise";
        QTest::newRow("apply without port")
            << Equinox + QStringList{"--rows", "8", "--apply"} << "--port";
    }

    void BadInputIsRefusedWithExitFour() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        const CliRun run = RunCli(arguments);
        QVERIFY2(run.ExitCode == 4, qPrintable(run.Describe()));
        QCOMPARE(run.Out, QStringList());
        QVERIFY2(run.Err.value(0).contains(reason), qPrintable(run.Describe()));
    }

    // Without a place the controller's is taken (the simulator's 50.1° N, 8.5° E); every row
    // sent is read back, and the schedule then shows what the design printed.
    void AppliedDesignReachesTheController() {
        SimProcess sim(BuiltSimProgram(), {"--rows", "24"});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QStringList date = {"--date", "2024-06-21", "--tz", "Europe/Berlin"};
        const CliRun designed = RunOn(sim, QStringList{"schedule", "design", "--apply"} + date);
        QVERIFY2(designed.ExitCode == 0, qPrintable(designed.Describe()));
        QVERIFY(!RowWrites(sim).empty());
        const CliRun shown = RunOn(sim, {"schedule"});
        QCOMPARE(shown.Out, designed.Out);
        const CliRun offline = RunCli(
            QStringList{"schedule", "design", "--lat", "50.1", "--lon", "8.5", "--rows", "24"} +
            date);
        // Line, time and the four levels; the switches and JMP values are the controller's own.
        for (int line = 1; line <= 24; ++line)
            QCOMPARE(offline.Out[line].split(' ', Qt::SkipEmptyParts).mid(0, 6),
                     designed.Out[line].split(' ', Qt::SkipEmptyParts).mid(0, 6));
    }

    // Day 5 of 10 from 50 %: three quarters of the baseline, sent once; the second run of the
    // day finds the controller there already.
    void AcclimationSendsEachDaysStepOnce() {
        SimProcess sim(BuiltSimProgram(), {"--rows", "3"});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QString baseline = sim.FilePath("baseline.ini");
        WriteFile(baseline, Baseline({{7, 0, 0}, {13, 0, 4096}, {20, 30, 1001}}));
        const QStringList step = {"acclimate",  "--baseline", baseline,    "--start",
                                  "2024-01-01", "--days",     "10",        "--from",
                                  "50",         "--today",    "2024-01-06"};
        const CliRun first = RunOn(sim, step);
        QVERIFY2(first.ExitCode == 0, qPrintable(first.Describe()));
        QCOMPARE(first.Out, QStringList({"Factor: 75.00 % (day 5 of 10)", "Rows sent: 3"}));
        const std::vector<ScheduleRowMessage> sent = RowWrites(sim);
        QCOMPARE(sent.size(), size_t(3));
        QCOMPARE(test::ByValue(sent[1].Data.Color16[2]), int16_t(3072));
        QCOMPARE(test::ByValue(sent[2].Data.Color16[3]), int16_t(751)); // 750.75
        QCOMPARE(int(sent[2].Data.Minute), 30);

        const CliRun second = RunOn(sim, step);
        QVERIFY2(second.ExitCode == 0, qPrintable(second.Describe()));
        QCOMPARE(second.Out.last(), QStringLiteral("Rows sent: 0"));
        QCOMPARE(RowWrites(sim).size(), size_t(3));
    }

    void ABaselineThatIsNoDayIsRefused_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("out of order")
            << Baseline({{13, 0, 0}, {7, 0, 4096}}) << "row 1: 07:00 comes before";
        QTest::newRow("above full")
            << Baseline({{7, 0, 0}, {13, 0, 4097}}) << "Color160: 4097 is out of range";
        QTest::newRow("beyond the field") << Baseline({{7, 0, 0}, {13, 0, 70000}}) << "70000";
        QTest::newRow("a row missing") << Baseline({{7, 0, 0}}) << "row 1, Hour: missing";
    }

    void ABaselineThatIsNoDayIsRefused() {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        SimProcess sim(BuiltSimProgram(), {"--rows", "2"});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        const QString baseline = sim.FilePath("baseline.ini");
        WriteFile(baseline, file);
        const CliRun run = RunOn(sim, {"acclimate", "--baseline", baseline, "--start", "2024-01-01",
                                       "--days", "10", "--from", "50"});
        QVERIFY2(run.ExitCode == 4, qPrintable(run.Describe()));
        QVERIFY2(run.Err.value(0).contains(reason), qPrintable(run.Describe()));
        QVERIFY(RowWrites(sim).empty());
    }
};

QTEST_GUILESS_MAIN(CliDaylightTest)
#include "cli_daylight_test.moc"
