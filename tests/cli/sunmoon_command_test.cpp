// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/sunmoon_command.h"

#include "cli/cli_arguments.h"

#include "lang/translate.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace zel;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run RunSunMoon(const QStringList& arguments) {
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.exitCode = RunSunMoonCommand(arguments, out, err);
    out.flush();
    err.flush();
    return run;
}

const QStringList Midsummer = {"--lat",  "50.1",       "--lon",  "8.5",
                               "--date", "2024-06-21", "--time", "12:00"};

} // namespace

class SunMoonCommandTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QLocale::setDefault(QLocale::c());
        SelectLanguage(LanguageEnglish);
    }
    void cleanupTestCase() { SelectLanguage(LanguageEnglish); }

    void PrintsTheTwoLabelLines() {
        const Run run = RunSunMoon(QStringList{"sunmoon"} + Midsummer + QStringList{"--tz", "2"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.out, QStringLiteral("Sun: Azimuth: 139.2°, Alt: 58.3°, Rise: 05:23, Set: "
                                         "21:33, Length of day: 16:10 hours\n"
                                         "Moon: Azimuth: 331°, Alt: -66.2°, Rise: 21:58, Set: "
                                         "03:59, Phase: 99.5%\n"));
    }

    void GermanKeepsTheDecimalPointForScripts() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const Run run = RunSunMoon(QStringList{"--german", "--tz", "+2"} + Midsummer);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.section('\n', 0, 0),
                 QStringLiteral("Sonne: Richtung: 139.2°, Höhe: 58.3°, Aufgang: 05:23, "
                                "Untergang: 21:33, Tageslänge: 16:10 Stunden"));
    }

    void WithoutTzTheSystemZoneDecides() {
        const QByteArray previous = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        const Run system = RunSunMoon(Midsummer);
        const Run winter = RunSunMoon(
            {"--lat", "50.1", "--lon", "8.5", "--date", "2024-01-21", "--time", "12:00"});
        if (previous.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", previous);
        QCOMPARE(system.exitCode, 0);
        QCOMPARE(system.out, RunSunMoon(Midsummer + QStringList{"--tz", "2"}).out);
        QCOMPARE(winter.out, RunSunMoon({"--lat", "50.1", "--lon", "8.5", "--date", "2024-01-21",
                                         "--time", "12:00", "--tz", "1"})
                                 .out);
    }

    void JsonHoldsTheWholeComputation() {
        const Run run = RunSunMoon(Midsummer + QStringList{"--tz", "2", "--json"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.endsWith('\n'));
        QCOMPARE(run.out.count('\n'), 1);
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonObject json = document.object();
        QCOMPARE(json.keys(), QStringList({"Moon", "MoonEvents", "Sun", "SunEvents"}));
        QCOMPARE(json["SunEvents"].toObject()["Set"].toString(), QStringLiteral("21:33"));
        QCOMPARE(json["MoonEvents"].toObject()["Rise"].toString(), QStringLiteral("21:58"));
        QCOMPARE(json["Moon"].toObject()["Phase"].toString(), QStringLiteral("FullMoon"));
        const double azimuth = json["Sun"].toObject()["AzimuthDeg"].toDouble();
        QCOMPARE(RunSunMoon(Midsummer + QStringList{"--tz", "2", "--json", "--german"}).out,
                 run.out);
        QVERIFY(azimuth > 139.15 && azimuth < 139.25);
    }

    void BadArgumentsGiveOneLineAndTheirStatus_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("status"); // 64 a malformed command line, 4 an unusable value
        const QStringList noLat = Midsummer.mid(2);
        QTest::newRow("nothing") << QStringList() << "--lat is missing" << int(ExitUsage);
        QTest::newRow("missing option") << noLat << "--lat is missing" << int(ExitUsage);
        QTest::newRow("missing value")
            << noLat + QStringList{"--lat"} << "--lat needs a value" << int(ExitUsage);
        QTest::newRow("non-numeric latitude") << noLat + QStringList{"--lat", "north"}
                                              << "--lat must be a number" << int(ExitBadFile);
        QTest::newRow("latitude beyond 90")
            << noLat + QStringList{"--lat", "90.5"} << "from -90 to 90" << int(ExitBadFile);
        QTest::newRow("latitude nan")
            << noLat + QStringList{"--lat", "nan"} << "from -90 to 90" << int(ExitBadFile);
        QTest::newRow("longitude beyond 180")
            << QStringList{"--lat", "0", "--lon", "-181", "--date", "2024-06-21", "--time", "12:00"}
            << "--lon must be a number of degrees from -180 to 180" << int(ExitBadFile);
        QTest::newRow("impossible date")
            << QStringList{"--lat", "0", "--lon", "0", "--date", "2023-02-29", "--time", "12:00"}
            << "--date must be an existing date" << int(ExitBadFile);
        QTest::newRow("date outside the method's range")
            << QStringList{"--lat", "0", "--lon", "0", "--date", "2100-03-01", "--time", "12:00"}
            << "between 1900-03-01 and 2100-02-28" << int(ExitBadFile);
        QTest::newRow("hour 24") << QStringList{"--lat",  "0",          "--lon",  "0",
                                                "--date", "2024-06-21", "--time", "24:00"}
                                 << "--time must be a time of day" << int(ExitBadFile);
        QTest::newRow("no colon") << QStringList{"--lat",  "0",          "--lon",  "0",
                                                 "--date", "2024-06-21", "--time", "1200"}
                                  << "--time must be a time of day" << int(ExitBadFile);
        QTest::newRow("fractional tz")
            << Midsummer + QStringList{"--tz", "5.5"} << "--tz must be whole hours from -12 to 14"
            << int(ExitBadFile);
        QTest::newRow("tz beyond the zones") << Midsummer + QStringList{"--tz", "15"}
                                             << "--tz must be whole hours" << int(ExitBadFile);
        QTest::newRow("unknown") << Midsummer + QStringList{"--port"} << "unknown argument"
                                 << int(ExitUsage);
        QTest::newRow("second command word")
            << QStringList{"sunmoon"} + Midsummer + QStringList{"sunmoon"}
            << "unknown argument \"sunmoon\"" << int(ExitUsage);
        QTest::newRow("twice") << Midsummer + QStringList{"--lat", "1"} << "--lat is given twice"
                               << int(ExitUsage);
        QTest::newRow("two languages") << Midsummer + QStringList{"--english", "--german"}
                                       << "exclude each other" << int(ExitUsage);
    }
    void BadArgumentsGiveOneLineAndTheirStatus() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QFETCH(int, status);
        const Run run = RunSunMoon(arguments);
        QCOMPARE(run.exitCode, status);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith(QStringLiteral("sunmoon: ")), qPrintable(run.err));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY(run.err.endsWith('\n'));
    }

    void NegativeLongitudeIsAValueNotAnOption() {
        const Run run = RunSunMoon({"--lat", "40.7", "--lon", "-74", "--date", "2024-03-15",
                                    "--time", "07:00", "--tz", "-5", "--json"});
        QCOMPARE(run.exitCode, 0);
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(json["SunEvents"].toObject()["Rise"].toString(), QStringLiteral("06:11"));
        QCOMPARE(json["MoonEvents"].toObject()["Set"].toString(), QStringLiteral("00:57"));
    }
};

QTEST_GUILESS_MAIN(SunMoonCommandTest)
#include "sunmoon_command_test.moc"
