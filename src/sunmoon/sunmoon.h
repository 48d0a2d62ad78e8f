// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Positions of sun and moon by the low-precision method of the 1990 January 0.0 epoch.
// Every constant is the method's own value; do not replace them by modern, more precise ones:
// the controller computes with the same numbers and the tool must agree with it.
//
// Angles are radians (latitude north, longitude east positive), times of day hours, moments
// Julian days. Pure functions: no state, no I/O. A step that would yield NaN (an arcsine
// beyond ±1, a floor out of the 32-bit range) throws zel::MathError instead (checked_math.h).

#include "sunmoon/checked_math.h"

#include <string>

namespace zel {

constexpr double TwoPi = 6.283185307179586;
constexpr double HalfPi = 1.5707963267948966;
constexpr double DegreesPerRadian = 57.29577951308232;
constexpr double RadiansPerDegree = 0.017453292519943295;

// Seconds between terrestrial and universal time used wherever the window computes a position.
constexpr double DeltaT = 65.0;
constexpr double DeltaTDays = 0.0007523148148148148;

// One record serves the sun, the moon and the observer; each routine fills only its fields.
struct TBodyPosition {
    double EclipticLatitude = 0;  // observer: geodetic latitude
    double EclipticLongitude = 0; // observer: east longitude
    double RightAscension = 0;    // moon with an observer: topocentric
    double Declination = 0;       // moon with an observer: topocentric
    double Azimuth = 0;           // from north through east
    double Altitude = 0;          // no refraction
    double TopoDistance = 0;      // km
    double TopoDeclination = 0;
    double TopoRightAscension = 0;
    double Distance = 0;    // from the Earth's centre, km
    double MeanAnomaly = 0; // sun, not reduced
    double Parallax = 0;    // horizontal parallax
    double Age = 0;         // moon: elongation from the sun, 0..2π
    double Illumination = 0;
    double GeocentricRadius = 0; // observer, km
    double Diameter = 0;         // apparent angular diameter
    double GeoRightAscension = 0;
    double GeoDeclination = 0;
    std::string SignName;  // UTF-8
    std::string PhaseName; // UTF-8
    bool Rising = false;   // east of the meridian
};

// x − m·Floor(x/m) with a 32-bit floor, so the result lies in [0, m) for positive m.
double ModReal(double x, double m);
double Mod2Pi(double x);
// "HH:MM" with minutes rounded (23.995 gives "24:00"); "--:--" for a negative time, which
// marks an event that does not happen on the date.
std::string FormatHHMM(double hours);

// The twelve zodiac signs followed by the nine moon phases, German and never translated.
constexpr int SignCount = 12;
constexpr int PhaseCount = 9;
extern const char* const SignAndPhaseNames[SignCount + PhaseCount];

std::string SignNameOf(double eclipticLongitude);
// Index 0..8 of the phase: even within a day of a principal phase, odd between them.
int PhaseIndexOf(double age);
std::string PhaseNameOf(double age);

// Julian day of 0h universal time; true Julian days from 1900 March 1 to 2100 February 28.
double JulianDay(int day, int month, int year);
double GreenwichSiderealTime(double jd);
// Not reduced to [0, 24): the rise and set computation relies on values outside it.
double SiderealToUniversal(double jd, double gst);
double LocalSiderealTime(double gst, double eastLongitude);

void EclipticToEquatorial(TBodyPosition& body, double jd);
// lst: local sidereal time in radians.
void EquatorialToHorizontal(TBodyPosition& body, double latitude, double lst);
void SunPosition(TBodyPosition& body, double jd, double latitude, double lst);

// The observer for the topocentric moon; height in km above the ellipsoid.
TBodyPosition ObserverPosition(double eastLongitude, double latitude, double height);
void TopocentricCorrection(TBodyPosition& moon, const TBodyPosition& observer, double lst);
// Needs the sun of the same moment. lst == 0 means geocentric only: the observer is not read
// and the horizontal and topocentric fields keep their values.
void MoonPosition(const TBodyPosition& sun, const TBodyPosition& observer, TBodyPosition& moon,
                  double jd, double lst);

} // namespace zel
