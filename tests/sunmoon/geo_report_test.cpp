// SPDX-License-Identifier: GPL-3.0-or-later
#include "sunmoon/geo_report.h"

#include "lang/translate.h"

#include <QJsonObject>
#include <QTest>

#include <cmath>
#include <stdexcept>

using namespace zel;

namespace {

// The page's default place and the worked moment, in a zone at +120 minutes.
const GeoMoment Midsummer{2024, 6, 21, 12, 0};
constexpr double DefaultLatitude = 50.1;
constexpr double DefaultLongitude = 8.5;

QDateTime Local(int year, int month, int day, int hour, int minute) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

} // namespace

class GeoReportTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QLocale::setDefault(QLocale::c());
        SelectLanguage(LanguageEnglish);
    }
    void cleanupTestCase() { SelectLanguage(LanguageEnglish); }

    void LabelTextOfTheWorkedExample() {
        const GeoReport report =
            BuildGeoReport(DefaultLatitude, DefaultLongitude, Midsummer, 2, QLocale::c());
        QVERIFY(report.Complete);
        QCOMPARE(report.Text, QStringLiteral("Sun: Azimuth: 139.2°, Alt: 58.3°, Rise: 05:23, "
                                             "Set: 21:33, Length of day: 16:10 hours\r\n"
                                             "Moon: Azimuth: 331°, Alt: -66.2°, Rise: 21:58, "
                                             "Set: 03:59, Phase: 99.5%\r\n"));
        // Nearly full and waxing: the picture is lit on the right.
        QVERIFY(std::fabs(report.Sky.Moon.Age * DegreesPerRadian - 172.1) < 0.05);
        // The visualisation's sun is the page's sun.
        const TBodyPosition sun = GeoSunPosition(DefaultLatitude, DefaultLongitude, Midsummer, 2);
        QCOMPARE(sun.Altitude, report.Sky.Sun.Altitude);
        QCOMPARE(sun.Rising, report.Sky.Sun.Rising);
    }

    void LabelTextInGermanWithADecimalComma() {
        SelectLanguage(LanguageGerman);
        const GeoReport report = BuildGeoReport(DefaultLatitude, DefaultLongitude, Midsummer, 2,
                                                QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(report.Text,
                 QStringLiteral("Sonne: Richtung: 139,2°, Höhe: 58,3°, Aufgang: 05:23, "
                                "Untergang: 21:33, Tageslänge: 16:10 Stunden\r\n"
                                "Mond: Richtung: 331°, Höhe: -66,2°, Aufgang: 21:58, "
                                "Untergang: 03:59, Phase: 99,5%\r\n"));
    }

    void PolarDayAndNightLeaveOutRiseAndSet() {
        const GeoReport day = BuildGeoReport(70, 20, Midsummer, 2, QLocale::c());
        QCOMPARE(day.Text, QStringLiteral("Sun: Azimuth: 166.8°, Alt: 43°\r\n"
                                          "Moon: Azimuth: 358°, Alt: -48.7°, Phase: 99.5%\r\n"));
        const GeoReport night = BuildGeoReport(70, 20, {2024, 12, 21, 12, 0}, 1, QLocale::c());
        QCOMPARE(night.Text.section(QStringLiteral("\r\n"), 0, 0),
                 QStringLiteral("Sun: Azimuth: 185°, Alt: -3.5°"));
        QVERIFY(night.Text.section(QStringLiteral("\r\n"), 1, 1).contains(QStringLiteral("Rise")));
    }

    void MissingMoonEventShowsDashes() {
        // On 2024 January 2 the moon rises only after the local midnight.
        const GeoReport report =
            BuildGeoReport(DefaultLatitude, DefaultLongitude, {2024, 1, 2, 12, 0}, 2, QLocale::c());
        QCOMPARE(report.Sky.MoonTimes.Rise, -1.0);
        QVERIFY(report.Text.contains(QStringLiteral(", Rise: --:--, Set: 12:42, Phase: ")));
    }

    void TextStopsWhereAValueCannotBeFormatted() {
        GeoSky sky = ComputeGeoSky(DefaultLatitude, DefaultLongitude, Midsummer, 2);
        sky.Moon.Azimuth = std::nan("");
        QString text;
        QVERIFY_THROWS_EXCEPTION(MathError, AppendGeoLabelText(sky, QLocale::c(), text));
        QVERIFY(text.endsWith(QStringLiteral("hours\r\nMoon: Azimuth: ")));
        QVERIFY(!text.contains(QStringLiteral("nan"), Qt::CaseInsensitive));
    }

    void AstronomyErrorGivesAnIncompleteEmptyReport() {
        const GeoReport report = BuildGeoReport(std::nan(""), 0, Midsummer, 2, QLocale::c());
        QVERIFY(!report.Complete);
        QVERIFY(report.Text.isEmpty());
    }

    void FormatOneDecimal_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 331.0 << "331";
        QTest::newRow("trailing zero dropped") << 42.96 << "43";
        QTest::newRow("negative") << -66.244 << "-66.2";
        QTest::newRow("negative rounding to zero has no sign") << -0.04 << "0";
        QTest::newRow("half rounds away from zero") << -66.25 << "-66.3";
        QTest::newRow("decimal half of a binary fraction") << 1.45 << "1.5";
        QTest::newRow("below one") << 0.05 << "0.1";
        QTest::newRow("tiny") << 1e-20 << "0";
        QTest::newRow("carry into the units") << 9.96 << "10";
        QTest::newRow("no grouping") << 1234567.89 << "1234567.9";
    }
    void FormatOneDecimal() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(zel::FormatOneDecimal(value, QLocale::c()), text);
        QCOMPARE(zel::FormatOneDecimal(value, QLocale(QLocale::German, QLocale::Germany)),
                 QString(text).replace(QLatin1Char('.'), QLatin1Char(',')));
    }

    void FormatOneDecimalRefusesNaN() {
        QVERIFY_THROWS_EXCEPTION(MathError, zel::FormatOneDecimal(std::nan(""), QLocale::c()));
        QVERIFY_THROWS_EXCEPTION(MathError, zel::FormatOneDecimal(-INFINITY, QLocale::c()));
    }

    void JsonHoldsPositionsAndEvents() {
        const GeoSky sky = ComputeGeoSky(DefaultLatitude, DefaultLongitude, Midsummer, 2);
        const QJsonObject json = GeoSkyJson(sky);
        QCOMPARE(json.keys(), QStringList({"Moon", "MoonEvents", "Sun", "SunEvents"}));
        const QJsonObject sun = json.value("Sun").toObject();
        QCOMPARE(sun.value("AzimuthDeg").toDouble(), sky.Sun.Azimuth * DegreesPerRadian);
        QCOMPARE(sun.value("RightAscensionH").toDouble(),
                 sky.Sun.RightAscension * DegreesPerRadian / 15);
        QCOMPARE(sun.value("Sign").toString(), QStringLiteral("Cancer"));
        const QJsonObject moon = json.value("Moon").toObject();
        QCOMPARE(moon.value("DeclinationDeg").toDouble(), sky.Moon.Declination * DegreesPerRadian);
        QCOMPARE(moon.value("DistanceKm").toDouble(), sky.Moon.Distance);
        QVERIFY(std::fabs(moon.value("AgeDeg").toDouble() - 172.1) < 0.05);
        // The names do not follow the language: the label's "Vollmond" is FullMoon, index 4.
        QCOMPARE(moon.value("Phase").toString(), QStringLiteral("FullMoon"));
        QCOMPARE(moon.value("PhaseIndex").toInt(), 4);
        QCOMPARE(moon.value("Sign").toString(), QStringLiteral("Sagittarius"));
        QCOMPARE(moon.keys().size(), 12);
        const QJsonObject sunEvents = json.value("SunEvents").toObject();
        QCOMPARE(sunEvents.keys().size(), 10);
        QCOMPARE(sunEvents.value("Rise").toString(), QStringLiteral("05:23"));
        QCOMPARE(sunEvents.value("CivilDawn").toString(), QStringLiteral("04:25"));
        QCOMPARE(sunEvents.value("AstroDusk").toString(), QStringLiteral("01:34"));
        const QJsonObject moonEvents = json.value("MoonEvents").toObject();
        QCOMPARE(moonEvents.keys(), QStringList({"LowerTransit", "Rise", "Set", "Transit"}));
        QCOMPARE(moonEvents.value("Set").toString(), QStringLiteral("03:59"));
    }

    void UtcOffsetFollowsTheZoneDatabase() {
        const QTimeZone berlin("Europe/Berlin");
        QCOMPARE(UtcOffsetMinutes(Local(2024, 6, 21, 12, 0), berlin), 120);
        QCOMPARE(UtcOffsetMinutes(Local(2024, 1, 15, 12, 0), berlin), 60);
        // The daylight period begins at 02:00 local standard time on the last Sunday of March.
        QCOMPARE(UtcOffsetMinutes(Local(2024, 3, 31, 1, 59), berlin), 60);
        QCOMPARE(UtcOffsetMinutes(Local(2024, 3, 31, 3, 0), berlin), 120);
        QCOMPARE(UtcOffsetMinutes(Local(2024, 6, 21, 12, 0), QTimeZone("America/New_York")), -240);
        // Half-hour zones: the astronomy takes whole hours, truncated toward zero.
        const QTimeZone kolkata("Asia/Kolkata");
        QCOMPARE(UtcOffsetMinutes(Local(2024, 6, 21, 12, 0), kolkata), 330);
        QCOMPARE(TimeZoneHours(Midsummer, kolkata), 5);
        const QTimeZone stJohns("America/St_Johns");
        QCOMPARE(UtcOffsetMinutes(Local(2024, 6, 21, 12, 0), stJohns), -150);
        QCOMPARE(TimeZoneHours(Midsummer, stJohns), -2);
        QCOMPARE(UtcOffsetMinutes(Local(2024, 6, 21, 12, 0), QTimeZone(-3 * 3600)), -180);
    }

    void SkippedLocalTimeTakesTheOffsetBeforeIt() {
        // The controller keeps its own clock: 02:30 on the morning Berlin springs forward is a
        // moment for it, an hour after standard time's 01:30.
        const QTimeZone berlin("Europe/Berlin");
        QCOMPARE(UtcOffsetMinutes(QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::UTC), berlin),
                 60);
        QCOMPARE(TimeZoneHours({2024, 3, 31, 2, 0}, berlin), 1);
        QCOMPARE(TimeZoneHours({2024, 3, 31, 2, 59}, berlin), 1);
        QCOMPARE(TimeZoneHours({2024, 3, 31, 3, 0}, berlin), 2);
        QCOMPARE(TimeZoneHours({2024, 3, 10, 2, 30}, QTimeZone("America/New_York")), -5);
        // Samoa skipped the whole of 30 December 2011, moving from UTC-10 to UTC+14.
        QCOMPARE(TimeZoneHours({2011, 12, 30, 12, 0}, QTimeZone("Pacific/Apia")), -10);
    }

    void DaylightPeriodAcrossTheNewYear() {
        const QTimeZone sydney("Australia/Sydney");
        QCOMPARE(UtcOffsetMinutes(Local(2023, 12, 31, 23, 30), sydney), 660);
        QCOMPARE(UtcOffsetMinutes(Local(2024, 1, 1, 0, 30), sydney), 660);
        QCOMPARE(UtcOffsetMinutes(Local(2024, 7, 1, 12, 0), sydney), 600);
    }

    void UtcOffsetOfAnImpossibleMomentThrows() {
        const QDateTime impossible(QDate(2024, 2, 30), QTime(12, 0));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 UtcOffsetMinutes(impossible, QTimeZone("Europe/Berlin")));
        // 25:99 can be typed into the page's time edit and is stored as typed.
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 TimeZoneHours({2024, 2, 3, 25, 99}, QTimeZone("Europe/Berlin")));
    }
};

QTEST_GUILESS_MAIN(GeoReportTest)
#include "geo_report_test.moc"
