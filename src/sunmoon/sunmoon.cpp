// SPDX-License-Identifier: GPL-3.0-or-later
#include "sunmoon/sunmoon.h"

#include <cmath>
#include <cstdio>

namespace zel {
namespace {

constexpr double EpochJD = 2447891.5; // 1990 January 0.0

// Sun
constexpr double SunLongitudeAtEpoch = 4.876507578297351;
constexpr double SunPerigeeLongitude = 4.935239984568769;
constexpr double SunEccentricity = 0.016713;
constexpr double SunSemiMajorAxis = 1.495985e8;
constexpr double SunAngularDiameter = 0.009304838934572329;
constexpr double SunDailyMotion = 0.017202791632524146;
constexpr double EarthEquatorialRadius = 6378.137;

// Moon
constexpr double MoonMeanLongitudeAtEpoch = 5.556284436750021;
constexpr double MoonPerigeeAtEpoch = 0.6342598060246726;
constexpr double MoonNodeAtEpoch = 5.559050068029439;
constexpr double MoonInclination = 0.08980410151894616;
constexpr double MoonEccentricity = 0.0549;
constexpr double MoonSemiMajorAxis = 384401;
constexpr double MoonAngularDiameter = 0.009042550854582622;
constexpr double MoonParallax = 0.016592845198710092;
constexpr double MoonDailyMotion = 0.22997150421858628;
constexpr double MoonPerigeeDailyMotion = 0.0019443683452210149;
constexpr double MoonNodeDailyMotion = 0.0009242199067718253;
constexpr double Evection = 0.022233749341155764;
constexpr double AnnualEquation = 0.0032428217502054645;
constexpr double ThirdCorrection = 0.006457718232379019;
constexpr double EquationOfCentre = 0.10975677534091541;
constexpr double FourthCorrection = 0.0037350045992678655;
constexpr double Variation = 0.011489502465878671;
constexpr double NodeCorrection = 0.0027925268031909274;

constexpr double PolarToEquatorialRatio = 0.9966471893352525;
// The angle the moon's age advances in one day: principal phases hold for a day either side.
constexpr double PhaseTolerance = 0.2127729531723531;

// Mean sidereal time at 0h universal time of the date of jd, not reduced.
double SiderealTimeAtMidnight(double jd) {
    const double jd0 = std::floor(jd - 0.5) + 0.5;
    const double t = (jd0 - 2451545.0) / 36525.0;
    return 6.697374558 + t * (2400.051336 + t * 2.5862e-5);
}

} // namespace

const char* const SignAndPhaseNames[SignCount + PhaseCount] = {"Widder",
                                                               "Stier",
                                                               "Zwillinge",
                                                               "Krebs",
                                                               "Löwe",
                                                               "Jungfrau",
                                                               "Waage",
                                                               "Skorpion",
                                                               "Schütze",
                                                               "Steinbock",
                                                               "Wassermann",
                                                               "Fische",
                                                               "Neumond",
                                                               "Zunehmende Sichel",
                                                               "Erstes Viertel",
                                                               "Zunehmender Mond",
                                                               "Vollmond",
                                                               "Abnehmender Mond",
                                                               "Letztes Viertel",
                                                               "Abnehmende Sichel",
                                                               "Neumond"};

double ModReal(double x, double m) {
    return x - Floor32(x / m) * m;
}

double Mod2Pi(double x) {
    return ModReal(x, TwoPi);
}

std::string FormatHHMM(double hours) {
    if (hours < 0)
        return "--:--";
    if (!(hours < 9.0e15))
        throw MathError("Invalid floating point operation: time of " + std::to_string(hours));
    double whole = std::trunc(hours);
    double minutes = (hours - whole) * 60;
    if (minutes >= 59.5) {
        whole += 1;
        minutes -= 60;
    }
    minutes = std::nearbyint(minutes); // ties to even under the default rounding mode
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(whole),
                  static_cast<long long>(minutes));
    return text;
}

std::string SignNameOf(double eclipticLongitude) {
    // A longitude of exactly 2π (Mod2Pi of a tiny negative angle) is 0°, not a thirteenth sign.
    const int index = Floor32(eclipticLongitude * DegreesPerRadian / 30);
    return SignAndPhaseNames[((index % SignCount) + SignCount) % SignCount];
}

int PhaseIndexOf(double age) {
    const double r = ModReal(age, HalfPi);
    if (r < PhaseTolerance || r > HalfPi - PhaseTolerance)
        return 2 * static_cast<int>(std::nearbyint(age / HalfPi));
    return 2 * Floor32(age / HalfPi) + 1;
}

std::string PhaseNameOf(double age) {
    const int index = PhaseIndexOf(age);
    if (index < 0 || index >= PhaseCount)
        throw MathError("Invalid floating point operation: moon age " + std::to_string(age));
    return SignAndPhaseNames[SignCount + index];
}

double JulianDay(int day, int month, int year) {
    if (month <= 2) {
        year -= 1;
        month += 12;
    }
    const int y = year - 1900;
    return 2414956.5 + std::trunc(y * 365.25) + std::trunc((month + 1) * 30.6001) + day;
}

double GreenwichSiderealTime(double jd) {
    const double ut = (jd - 0.5 - std::trunc(jd - 0.5)) * 24;
    return ModReal(SiderealTimeAtMidnight(jd) + 1.002737909 * ut, 24);
}

double SiderealToUniversal(double jd, double gst) {
    const double t0 = ModReal(SiderealTimeAtMidnight(jd), 24);
    return (gst - t0) * 0.9972695663;
}

double LocalSiderealTime(double gst, double eastLongitude) {
    return ModReal(gst + eastLongitude * DegreesPerRadian / 15, 24);
}

void EclipticToEquatorial(TBodyPosition& body, double jd) {
    const double t = (jd - 2451545.0) / 36525.0;
    const double obliquity =
        (23.439291666666666667 + t * (-46.815 + t * (-0.0006 + t * 0.00181)) / 3600) *
        RadiansPerDegree;
    const double beta = body.EclipticLatitude;
    const double lambda = body.EclipticLongitude;
    body.RightAscension = Mod2Pi(
        std::atan2(std::sin(lambda) * std::cos(obliquity) - std::tan(beta) * std::sin(obliquity),
                   std::cos(lambda)));
    body.Declination = ArcSin(std::sin(beta) * std::cos(obliquity) +
                              std::cos(beta) * std::sin(obliquity) * std::sin(lambda));
}

void EquatorialToHorizontal(TBodyPosition& body, double latitude, double lst) {
    const double hourAngle = lst - body.RightAscension;
    const double delta = body.Declination;
    const double y = -std::cos(delta) * std::sin(hourAngle);
    const double x = std::sin(delta) * std::cos(latitude) -
                     std::cos(delta) * std::cos(hourAngle) * std::sin(latitude);
    body.Rising = y >= 0;
    body.Azimuth = Mod2Pi(std::atan2(y, x));
    body.Altitude = ArcSin(std::sin(delta) * std::sin(latitude) +
                           std::cos(delta) * std::cos(hourAngle) * std::cos(latitude));
}

void SunPosition(TBodyPosition& body, double jd, double latitude, double lst) {
    const double d = jd - EpochJD;
    const double meanAnomaly = SunDailyMotion * d + SunLongitudeAtEpoch - SunPerigeeLongitude;
    body.MeanAnomaly = meanAnomaly;
    const double trueAnomaly = meanAnomaly + 2 * SunEccentricity * std::sin(meanAnomaly);
    body.EclipticLongitude = Mod2Pi(trueAnomaly + SunPerigeeLongitude);
    body.EclipticLatitude = 0;
    const double f =
        (1 - SunEccentricity * SunEccentricity) / (1 + SunEccentricity * std::cos(trueAnomaly));
    body.Diameter = SunAngularDiameter / f;
    body.Distance = f * SunSemiMajorAxis;
    body.Parallax = EarthEquatorialRadius / body.Distance;
    EclipticToEquatorial(body, jd);
    EquatorialToHorizontal(body, latitude, lst);
    body.SignName = SignNameOf(body.EclipticLongitude);
}

TBodyPosition ObserverPosition(double eastLongitude, double latitude, double height) {
    const double k = PolarToEquatorialRatio * PolarToEquatorialRatio;
    const double cosPhi = std::cos(latitude);
    const double sinPhi = std::sin(latitude);
    const double c = 1 / std::sqrt(cosPhi * cosPhi + k * sinPhi * sinPhi);
    const double rhoC = EarthEquatorialRadius * c + height;
    const double rhoS = EarthEquatorialRadius * k * c + height;
    TBodyPosition observer;
    observer.EclipticLatitude = latitude;
    observer.EclipticLongitude = eastLongitude;
    observer.GeocentricRadius =
        std::sqrt(rhoC * rhoC * cosPhi * cosPhi + rhoS * rhoS * sinPhi * sinPhi);
    return observer;
}

void TopocentricCorrection(TBodyPosition& moon, const TBodyPosition& observer, double lst) {
    const double alpha = moon.RightAscension;
    const double delta = moon.Declination;
    const double distance = moon.Distance;
    const double phi = observer.EclipticLatitude;
    const double rho = observer.GeocentricRadius;
    const double x =
        std::cos(alpha) * (distance * std::cos(delta)) - rho * std::cos(phi) * std::cos(lst);
    const double y =
        std::sin(alpha) * (distance * std::cos(delta)) - rho * std::cos(phi) * std::sin(lst);
    const double z = distance * std::sin(delta) - rho * std::sin(phi);
    moon.TopoDistance = std::sqrt(x * x + y * y + z * z);
    moon.TopoDeclination = ArcSin(z / moon.TopoDistance);
    moon.TopoRightAscension = Mod2Pi(std::atan2(y, x));
}

void MoonPosition(const TBodyPosition& sun, const TBodyPosition& observer, TBodyPosition& moon,
                  double jd, double lst) {
    const double sunLongitude = sun.EclipticLongitude;
    const double sunAnomaly = sun.MeanAnomaly;
    const double d = jd - EpochJD;
    const double l = MoonDailyMotion * d + MoonMeanLongitudeAtEpoch;
    const double mm = l - MoonPerigeeDailyMotion * d - MoonPerigeeAtEpoch;
    const double node = MoonNodeAtEpoch - MoonNodeDailyMotion * d;
    const double ev = Evection * std::sin(2 * (l - sunLongitude) - mm);
    const double ae = AnnualEquation * std::sin(sunAnomaly);
    const double a3 = ThirdCorrection * std::sin(sunAnomaly);
    const double mmCorrected = mm + ev - ae - a3;
    const double ec = EquationOfCentre * std::sin(mmCorrected);
    const double a4 = FourthCorrection * std::sin(2 * mmCorrected);
    const double lCorrected = l + ev + ec - ae + a4;
    const double v = Variation * std::sin(2 * (lCorrected - sunLongitude));
    const double trueLongitude = lCorrected + v;
    const double nodeCorrected = node - NodeCorrection * std::sin(sunAnomaly);

    const double fromNode = trueLongitude - nodeCorrected;
    moon.EclipticLongitude =
        Mod2Pi(std::atan2(std::sin(fromNode) * std::cos(MoonInclination), std::cos(fromNode)) +
               nodeCorrected);
    moon.EclipticLatitude = ArcSin(std::sin(fromNode) * std::sin(MoonInclination));
    EclipticToEquatorial(moon, jd);

    const double f = (1 - MoonEccentricity * MoonEccentricity) /
                     (1 + MoonEccentricity * std::cos(mmCorrected + ec));
    moon.Diameter = MoonAngularDiameter / f;
    moon.Parallax = MoonParallax / f;
    moon.Distance = f * MoonSemiMajorAxis;

    if (lst != 0) {
        TopocentricCorrection(moon, observer, lst);
        moon.GeoRightAscension = moon.RightAscension;
        moon.GeoDeclination = moon.Declination;
        moon.RightAscension = moon.TopoRightAscension;
        moon.Declination = moon.TopoDeclination;
        EquatorialToHorizontal(moon, observer.EclipticLatitude, lst);
    }

    moon.Age = Mod2Pi(trueLongitude - sunLongitude);
    moon.Illumination = (1 - std::cos(moon.Age)) * 0.5;
    moon.PhaseName = PhaseNameOf(moon.Age);
    moon.SignName = SignNameOf(moon.EclipticLongitude);
}

} // namespace zel
