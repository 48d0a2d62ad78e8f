// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Rise, set, transit and twilight times by the two-position interpolation of the same
// low-precision method as sunmoon.h. Floating-point failures throw zel::MathError, except in
// the vertical-shift correction, which falls back to no correction.

#include "sunmoon/sunmoon.h"

namespace zel {

// Times of day in hours: local and in [0, 24) for a local date; −1 in a moon field means the
// event does not happen on that local date.
struct TRiseSetTimes {
    double Rise = 0;
    double Set = 0;
    double Transit = 0;
    double LowerTransit = 0;
    double AstroDawn = 0;
    double AstroDusk = 0;
    double NauticalDawn = 0;
    double NauticalDusk = 0;
    double CivilDawn = 0;
    double CivilDusk = 0;
};

constexpr double CivilTwilightAltitude = -0.10471975511965978;
constexpr double NauticalTwilightAltitude = -0.20943951023931956;
constexpr double AstronomicalTwilightAltitude = -0.3141592653589793;

// Greenwich sidereal times in [0, 24) in the first four fields. A body that never sets gets
// the hour angle π, one that never rises 0; nothing else marks these cases.
TRiseSetTimes RiseSetSidereal(const TBodyPosition& body, double eventAltitude, double latitude,
                              double eastLongitude);
// t00: Greenwich sidereal time at 0h universal time; k: days between the two positions.
double InterpolateEvent(double t00, double st1, double st2, double k);
// Universal times, not reduced, of the four body events between positions p1 (at jd0) and p2
// (k days later).
TRiseSetTimes EventTimes(const TBodyPosition& p1, const TBodyPosition& p2, double eventAltitude,
                         double k, double latitude, double eastLongitude, double jd0);

// tz: hours east of universal time; deltaT in seconds. With nested false the result is local
// time of the local date; nested true (the routines' own look at a neighbouring date) leaves
// the four body events in universal time and fills nothing else.
TRiseSetTimes SunEvents(bool nested, double tz, double latitude, double eastLongitude,
                        double deltaT, double jd);
// Fills only Rise, Set, Transit and LowerTransit.
TRiseSetTimes MoonEvents(bool nested, double tz, double latitude, double eastLongitude,
                         double deltaT, double jd);

} // namespace zel
