// SPDX-License-Identifier: GPL-3.0-or-later
#include "sunmoon/rise_set.h"

#include <QTest>

#include <cmath>

using namespace zel;

namespace {

double Radians(double degrees) {
    return degrees * RadiansPerDegree;
}

QString Hhmm(double hours) {
    return QString::fromStdString(FormatHHMM(hours));
}

TRiseSetTimes Sun(int day, int month, int year, double lat, double lon, double tz) {
    return SunEvents(false, tz, Radians(lat), Radians(lon), DeltaT, JulianDay(day, month, year));
}

TRiseSetTimes Moon(int day, int month, int year, double lat, double lon, double tz) {
    return MoonEvents(false, tz, Radians(lat), Radians(lon), DeltaT, JulianDay(day, month, year));
}

// Rise, set, transit, lower transit.
QStringList BodyTimes(const TRiseSetTimes& t) {
    return {Hhmm(t.Rise), Hhmm(t.Set), Hhmm(t.Transit), Hhmm(t.LowerTransit)};
}

// Civil, nautical, astronomical: dawn then dusk.
QStringList Twilights(const TRiseSetTimes& t) {
    return {Hhmm(t.CivilDawn),    Hhmm(t.CivilDusk), Hhmm(t.NauticalDawn),
            Hhmm(t.NauticalDusk), Hhmm(t.AstroDawn), Hhmm(t.AstroDusk)};
}

} // namespace

class RiseSetTest : public QObject {
    Q_OBJECT
private slots:
    void MidsummerInCentralEurope() {
        const TRiseSetTimes sun = Sun(21, 6, 2024, 50, 10, 2);
        QCOMPARE(BodyTimes(sun), QStringList({"05:17", "21:26", "13:22", "01:22"}));
        // The sun stays above −18° all night: the clamped hour angle puts astronomical dawn and
        // dusk on either side of the lower transit.
        QCOMPARE(Twilights(sun),
                 QStringList({"04:20", "22:24", "03:14", "23:30", "01:15", "01:28"}));
        QCOMPARE(BodyTimes(Moon(21, 6, 2024, 50, 10, 2)),
                 QStringList({"21:51", "03:53", "00:18", "12:48"}));
    }

    void NewYear2000() {
        const QStringList sun = BodyTimes(Sun(1, 1, 2000, 50, 10, 1));
        QCOMPARE(sun.mid(0, 2), QStringList({"08:25", "16:22"}));
        const QStringList moon = BodyTimes(Moon(1, 1, 2000, 50, 10, 1));
        QCOMPARE(moon.mid(0, 2), QStringList({"02:54", "13:35"}));
    }

    void WestOfGreenwichLooksAtTheNextDate() {
        const TRiseSetTimes sun = Sun(15, 3, 2024, 40.7, -74, -5);
        QCOMPARE(Hhmm(sun.Rise), QString("06:11"));
        QCOMPARE(Hhmm(sun.Set), QString("17:59"));
        QCOMPARE(Hhmm(sun.CivilDawn), QString("05:35"));
        const TRiseSetTimes moon = Moon(15, 3, 2024, 40.7, -74, -5);
        QCOMPARE(Hhmm(moon.Rise), QString("08:59"));
        QCOMPARE(Hhmm(moon.Set), QString("00:57"));
    }

    void MidnightSunCollapsesRiseAndSetOntoTheLowerTransit() {
        const TRiseSetTimes sun = Sun(21, 6, 2024, 70, 20, 2);
        QCOMPARE(BodyTimes(sun), QStringList({"00:42", "00:42", "12:42", "00:42"}));
    }

    void PolarNightCollapsesRiseAndSetOntoTheTransit() {
        const TRiseSetTimes sun = Sun(21, 12, 2024, 70, 20, 1);
        QCOMPARE(BodyTimes(sun).mid(0, 3), QStringList({"11:38", "11:38", "11:38"}));
        const QStringList twilights = Twilights(sun);
        QCOMPARE(QSet<QString>(twilights.begin(), twilights.end()).size(), 6);
    }

    void MoonEventMissingOnTheLocalDateIsMinusOne() {
        // At 70° N around midsummer 2024 the moon, low in the south, neither rises nor sets
        // within the local date.
        const TRiseSetTimes moon = Moon(21, 6, 2024, 70, 20, 2);
        QCOMPARE(moon.Rise, -1.0);
        QCOMPARE(moon.Set, -1.0);
        QCOMPARE(Hhmm(moon.Rise), QString("--:--"));
        QVERIFY(moon.LowerTransit >= 0 && moon.LowerTransit < 24);
        // Only the four body events are filled.
        QCOMPARE(moon.CivilDawn, 0.0);
        QCOMPARE(moon.AstroDusk, 0.0);
    }

    void LocalTimesAreReducedIntoTheDay() {
        for (const double tz : {-12.0, -5.0, 0.0, 5.0, 14.0}) {
            const TRiseSetTimes sun = Sun(1, 10, 2024, -33.9, 151.2, tz);
            for (const double t :
                 {sun.Rise, sun.Set, sun.Transit, sun.LowerTransit, sun.CivilDawn, sun.AstroDusk})
                QVERIFY2(t >= 0 && t < 24, qPrintable(QString::number(tz)));
            const TRiseSetTimes moon = Moon(1, 10, 2024, -33.9, 151.2, tz);
            for (const double t : {moon.Rise, moon.Set, moon.Transit, moon.LowerTransit})
                QVERIFY2(t == -1 || (t >= 0 && t < 24), qPrintable(QString::number(tz)));
        }
    }

    void NestedCallStaysInUniversalTime() {
        const double jd = JulianDay(21, 6, 2024);
        const TRiseSetTimes local = SunEvents(false, 2, Radians(50), Radians(10), DeltaT, jd);
        const TRiseSetTimes nested = SunEvents(true, 2, Radians(50), Radians(10), DeltaT, jd);
        QVERIFY(std::fabs(nested.Rise + 2 - local.Rise) < 1e-12);
        QCOMPARE(nested.CivilDawn, 0.0);
    }

    void NeverSettingBodyGetsTheFullHourAngle() {
        TBodyPosition body;
        body.RightAscension = Radians(90);
        body.Declination = Radians(60);
        const TRiseSetTimes circumpolar = RiseSetSidereal(body, 0, Radians(70), 0);
        // Hour angle π: rise and set coincide with the lower transit.
        QVERIFY(std::fabs(circumpolar.Rise - circumpolar.LowerTransit) < 1e-9);
        QVERIFY(std::fabs(circumpolar.Set - circumpolar.LowerTransit) < 1e-9);
        body.Declination = Radians(-60);
        const TRiseSetTimes hidden = RiseSetSidereal(body, 0, Radians(70), 0);
        QVERIFY(std::fabs(hidden.Rise - hidden.Transit) < 1e-9);
        QVERIFY(std::fabs(hidden.Set - hidden.Transit) < 1e-9);
        QCOMPARE(circumpolar.Transit, 6.0);
        QCOMPARE(circumpolar.LowerTransit, 18.0);
    }

    void InterpolationBetweenTwoPositions() {
        // Same sidereal time at both positions: the event is at that sidereal time.
        QCOMPARE(InterpolateEvent(5.0, 8.0, 8.0, 1), 8.0);
        // st1 equal to T00: the event is at T00 whatever the drift.
        QVERIFY(std::fabs(InterpolateEvent(6.0, 6.0, 7.0, 0.5) - 6.0) < 1e-12);
    }

    void PolarCorrectionFallsBackToNone() {
        // At 89° N the twilight correction has no solution (arccosine beyond 1); the twilight
        // times must still come out as numbers.
        const TRiseSetTimes sun = Sun(21, 3, 2024, 89, 0, 0);
        for (const double t : {sun.CivilDawn, sun.CivilDusk, sun.NauticalDawn, sun.AstroDusk})
            QVERIFY(t >= 0 && t < 24);
    }
};

QTEST_GUILESS_MAIN(RiseSetTest)
#include "rise_set_test.moc"
