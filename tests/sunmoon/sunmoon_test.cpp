// SPDX-License-Identifier: GPL-3.0-or-later
#include "sunmoon/sunmoon.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace zel;

namespace {

double Degrees(double radians) {
    return radians * DegreesPerRadian;
}
double Radians(double degrees) {
    return degrees * RadiansPerDegree;
}
double Hours(double radians) {
    return radians * DegreesPerRadian / 15;
}

// The worked moment: 2000 January 1 12:00 UT, observer at 50° N, 10° E, height 0.
struct WorkedMoon {
    double lst = 0;
    TBodyPosition observer;
    TBodyPosition sun;
    TBodyPosition moon;
};

WorkedMoon ComputeWorkedMoon() {
    WorkedMoon w;
    const double jd = 2451545.0;
    w.lst = LocalSiderealTime(GreenwichSiderealTime(jd), Radians(10));
    const double theta = w.lst * 15 * RadiansPerDegree;
    w.observer = ObserverPosition(Radians(10), Radians(50), 0);
    SunPosition(w.sun, jd + DeltaTDays, Radians(50), theta);
    MoonPosition(w.sun, w.observer, w.moon, jd + DeltaTDays, theta);
    return w;
}

} // namespace

class SunMoonTest : public QObject {
    Q_OBJECT
private slots:
    void ModRealReducesIntoTheInterval() {
        QCOMPARE(ModReal(-1, 24), 23.0);
        QCOMPARE(ModReal(48.5, 24), 0.5);
        QCOMPARE(ModReal(24, 24), 0.0);
        const double angle = Mod2Pi(-0.1);
        QVERIFY(angle >= 0 && angle < TwoPi);
        QCOMPARE(angle, TwoPi - 0.1);
    }

    void ModRealBeyondTheThirtyTwoBitFloorThrows() {
        QVERIFY_THROWS_EXCEPTION(MathError, ModReal(24.0 * 3e9, 24));
        QVERIFY_THROWS_EXCEPTION(MathError, ModReal(std::nan(""), 24));
        QVERIFY_THROWS_EXCEPTION(MathError, ModReal(std::numeric_limits<double>::infinity(), 24));
    }

    void FormatHHMM_data() {
        QTest::addColumn<double>("hours");
        QTest::addColumn<QString>("text");
        QTest::newRow("missing event") << -1.0 << "--:--";
        QTest::newRow("midnight") << 0.0 << "00:00";
        QTest::newRow("quarter past seven") << 7.25 << "07:15";
        QTest::newRow("rounds up into the hour") << 12.9999 << "13:00";
        QTest::newRow("end of day") << 23.995 << "24:00";
        QTest::newRow("just below the carry") << 5.0 + 59.49 / 60 << "05:59";
        QTest::newRow("22.5 minutes tie to even") << 0.375 << "00:22";
        QTest::newRow("37.5 minutes tie to even") << 0.625 << "00:38";
        QTest::newRow("day length over a day") << 27.5 << "27:30";
    }
    void FormatHHMM() {
        QFETCH(double, hours);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(zel::FormatHHMM(hours)), text);
    }

    void FormatHHMMRefusesNaNInsteadOfPrintingIt() {
        QVERIFY_THROWS_EXCEPTION(MathError, zel::FormatHHMM(std::nan("")));
        QVERIFY_THROWS_EXCEPTION(MathError,
                                 zel::FormatHHMM(std::numeric_limits<double>::infinity()));
    }

    void SignNamesCoverThirtyDegreesEach() {
        QCOMPARE(SignNameOf(0), std::string("Widder"));
        QCOMPARE(SignNameOf(Radians(29.9)), std::string("Widder"));
        QCOMPARE(SignNameOf(Radians(30.1)), std::string("Stier"));
        QCOMPARE(SignNameOf(Radians(125)), std::string("Löwe"));
        QCOMPARE(SignNameOf(Radians(359.9)), std::string("Fische"));
        // Mod2Pi of a tiny negative angle rounds to exactly 2π, which is 0°.
        QCOMPARE(SignNameOf(TwoPi), std::string("Widder"));
    }

    void PhaseNamesByAge_data() {
        QTest::addColumn<double>("ageDegrees");
        QTest::addColumn<QString>("name");
        QTest::newRow("12") << 12.0 << "Neumond";
        QTest::newRow("13") << 13.0 << "Zunehmende Sichel";
        QTest::newRow("77") << 77.0 << "Zunehmende Sichel";
        QTest::newRow("78") << 78.0 << "Erstes Viertel";
        QTest::newRow("90") << 90.0 << "Erstes Viertel";
        QTest::newRow("102") << 102.0 << "Erstes Viertel";
        QTest::newRow("103") << 103.0 << "Zunehmender Mond";
        QTest::newRow("180") << 180.0 << "Vollmond";
        QTest::newRow("200") << 200.0 << "Abnehmender Mond";
        QTest::newRow("270") << 270.0 << "Letztes Viertel";
        QTest::newRow("300") << 300.0 << "Abnehmende Sichel";
        QTest::newRow("350") << 350.0 << "Neumond";
    }
    void PhaseNamesByAge() {
        QFETCH(double, ageDegrees);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(PhaseNameOf(Radians(ageDegrees))), name);
    }

    void NewMoonHasTwoIndicesAtEitherEndOfTheCircle() {
        QCOMPARE(PhaseIndexOf(Radians(0.5)), 0);
        QCOMPARE(PhaseIndexOf(TwoPi - Radians(0.5)), 8);
        QCOMPARE(PhaseNameOf(TwoPi - Radians(0.5)), PhaseNameOf(Radians(0.5)));
    }

    void JulianDayOfDates() {
        QCOMPARE(JulianDay(1, 1, 2000), 2451544.5);
        QCOMPARE(JulianDay(1, 3, 2000), 2451604.5); // the leap day counts
        QCOMPARE(JulianDay(28, 2, 2000), 2451602.5);
        QCOMPARE(JulianDay(1, 3, 1900), 2415079.5);
        QCOMPARE(JulianDay(21, 6, 2024), 2460482.5);
    }

    void SiderealTimes() {
        // jd0 = 2451544.5, 12 h after it.
        QCOMPARE(GreenwichSiderealTime(2451545.0), 18.697374553802718);
        QVERIFY(std::fabs(LocalSiderealTime(18.7, Radians(-90)) - 12.7) < 1e-12);
        QVERIFY(std::fabs(LocalSiderealTime(23.0, Radians(30)) - 1.0) < 1e-12);
    }

    void SiderealToUniversalIsNotReduced() {
        const double jd = 2451545.0;
        const double t0 = std::fmod(6.697374558 + (-0.5 / 36525.0) * 2400.051336, 24);
        QVERIFY(SiderealToUniversal(jd, t0 - 2) < 0);
        QVERIFY(SiderealToUniversal(jd, t0 + 30) > 24);
        QVERIFY(std::fabs(SiderealToUniversal(jd, t0 + 10) - 9.972695663) < 1e-6);
    }

    void SunAtJ2000() {
        TBodyPosition sun;
        SunPosition(sun, 2451545.0, 0, 0);
        QVERIFY(std::fabs(Degrees(sun.EclipticLongitude) - 280.38898) < 5e-6);
        QCOMPARE(sun.EclipticLatitude, 0.0);
        QVERIFY(std::fabs(Hours(sun.RightAscension) - 18.75335) < 5e-6);
        QVERIFY(std::fabs(Degrees(sun.Declination) - -23.03268) < 5e-6);
        QVERIFY(std::fabs(sun.Distance - 147100345) < 0.5);
        QCOMPARE(sun.SignName, std::string("Steinbock"));
        QVERIFY(std::fabs(sun.Parallax - 6378.137 / sun.Distance) < 1e-18);
    }

    void HorizontalCoordinatesAndRising() {
        TBodyPosition body;
        body.RightAscension = 0;
        body.Declination = 0;
        // An equatorial star on the meridian at the equator stands in the zenith.
        EquatorialToHorizontal(body, 0, 0);
        QVERIFY(std::fabs(body.Altitude - HalfPi) < 1e-12);
        // Six hours before transit it rises due east, six after it sets due west.
        EquatorialToHorizontal(body, 0, -HalfPi);
        QVERIFY(body.Rising);
        QVERIFY(std::fabs(Degrees(body.Azimuth) - 90) < 1e-9);
        EquatorialToHorizontal(body, 0, HalfPi);
        QVERIFY(!body.Rising);
        QVERIFY(std::fabs(Degrees(body.Azimuth) - 270) < 1e-9);
    }

    void ObserverRadiusOnTheEllipsoid() {
        QCOMPARE(ObserverPosition(0, 0, 0).GeocentricRadius, 6378.137);
        QVERIFY(std::fabs(ObserverPosition(0, HalfPi, 0).GeocentricRadius - 6356.752314) < 1e-6);
        QVERIFY(std::fabs(ObserverPosition(0, -HalfPi, 0).GeocentricRadius - 6356.752314) < 1e-6);
        const TBodyPosition observer = ObserverPosition(Radians(10), Radians(50), 0.5);
        QCOMPARE(observer.EclipticLongitude, Radians(10));
        QCOMPARE(observer.EclipticLatitude, Radians(50));
        QCOMPARE(observer.Azimuth, 0.0);
    }

    void MoonWorkedExample() {
        const WorkedMoon w = ComputeWorkedMoon();
        QVERIFY(std::fabs(w.lst - 19.364041) < 5e-7);
        QVERIFY(std::fabs(w.observer.GeocentricRadius - 6365.6315) < 5e-5);
        const TBodyPosition& m = w.moon;
        QVERIFY(std::fabs(Degrees(m.EclipticLongitude) - 223.14797) < 5e-6);
        QVERIFY(std::fabs(Degrees(m.EclipticLatitude) - 5.09435) < 5e-6);
        QVERIFY(std::fabs(Hours(m.GeoRightAscension) - 14.817242) < 5e-7);
        QVERIFY(std::fabs(Degrees(m.GeoDeclination) - -10.923043) < 5e-7);
        QVERIFY(std::fabs(Hours(m.RightAscension) - 14.780171) < 5e-7);
        QVERIFY(std::fabs(Degrees(m.Declination) - -11.650176) < 5e-7);
        QCOMPARE(m.RightAscension, m.TopoRightAscension);
        QVERIFY(std::fabs(m.Distance - 400219.36) < 5e-3);
        QVERIFY(std::fabs(m.TopoDistance - 399701.79) < 5e-3);
        QVERIFY(std::fabs(Degrees(m.Azimuth) - 246.2521) < 5e-5);
        QVERIFY(std::fabs(Degrees(m.Altitude) - 4.2091) < 5e-5);
        QVERIFY(std::fabs(Degrees(m.Age) - 302.726) < 5e-4);
        QVERIFY(std::fabs(m.Illumination - 0.229689) < 5e-7);
        QCOMPARE(m.PhaseName, std::string("Abnehmende Sichel"));
        QCOMPARE(m.SignName, std::string("Skorpion"));
    }

    void MoonWithoutSiderealTimeStaysGeocentric() {
        const WorkedMoon w = ComputeWorkedMoon();
        TBodyPosition moon;
        moon.Azimuth = 1.25; // must survive untouched
        MoonPosition(w.sun, TBodyPosition(), moon, 2451545.0 + DeltaTDays, 0);
        QCOMPARE(moon.RightAscension, w.moon.GeoRightAscension);
        QCOMPARE(moon.Declination, w.moon.GeoDeclination);
        QCOMPARE(moon.Azimuth, 1.25);
        QCOMPARE(moon.Altitude, 0.0);
        QCOMPARE(moon.TopoDistance, 0.0);
        QCOMPARE(moon.GeoRightAscension, 0.0);
        QCOMPARE(moon.Age, w.moon.Age);
    }

    void CheckedArcSineThrowsInsteadOfNaN() {
        QCOMPARE(ArcSin(1.0), HalfPi);
        QVERIFY_THROWS_EXCEPTION(MathError, ArcSin(1.0000000000000002));
        QVERIFY_THROWS_EXCEPTION(MathError, ArcCos(-1.5));
        QVERIFY_THROWS_EXCEPTION(MathError, ArcSin(std::nan("")));
        // A NaN handed in never comes back out as a number.
        TBodyPosition body;
        body.EclipticLatitude = std::nan("");
        QVERIFY_THROWS_EXCEPTION(MathError, EclipticToEquatorial(body, 2451545.0));
    }
};

QTEST_GUILESS_MAIN(SunMoonTest)
#include "sunmoon_test.moc"
