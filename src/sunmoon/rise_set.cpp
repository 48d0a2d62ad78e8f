// SPDX-License-Identifier: GPL-3.0-or-later
#include "sunmoon/rise_set.h"

#include <cmath>

namespace zel {
namespace {

constexpr double HorizonRefraction = 0.009890199094634534; // 34′
constexpr double HoursPerRadian = 3.819718634205488;
constexpr double TimeSecondsPerRadian = 13750.987083139757;
constexpr double InterpolationConstant = 24.07;
constexpr double SiderealPerLongitude = 1.002738;
constexpr double DayWrapHours = 18;

// The order in which the body events are processed.
constexpr double TRiseSetTimes::*const BodyEvents[] = {&TRiseSetTimes::Transit,
                                                       &TRiseSetTimes::LowerTransit,
                                                       &TRiseSetTimes::Rise, &TRiseSetTimes::Set};

template <typename Predicate> bool AnyBodyEvent(const TRiseSetTimes& times, Predicate predicate) {
    for (const auto field : BodyEvents) {
        if (predicate(times.*field))
            return true;
    }
    return false;
}

double StartOfDate(double jd) {
    return std::floor(jd - 0.5) + 0.5;
}

// Time in hours by which rise and set move for the vertical shift (semi-diameter, parallax,
// refraction) of the twilight altitudes.
double VerticalShiftCorrection(const TBodyPosition& p1, const TBodyPosition& p2, double shift,
                               double latitude) {
    try {
        const double meanDeclination = (p1.Declination + p2.Declination) / 2;
        const double psi = ArcCos(std::sin(latitude) / std::cos(meanDeclination));
        const double y = ArcSin(std::sin(shift) / std::sin(psi));
        return TimeSecondsPerRadian * y / std::cos(meanDeclination) / 3600;
    } catch (const MathError&) {
        // Near the poles the correction has no solution; the events stay uncorrected.
        return 0;
    }
}

} // namespace

TRiseSetTimes RiseSetSidereal(const TBodyPosition& body, double eventAltitude, double latitude,
                              double eastLongitude) {
    const double alpha = body.RightAscension;
    const double delta = body.Declination;
    double c = (std::sin(eventAltitude) - std::sin(latitude) * std::sin(delta)) /
               (std::cos(latitude) * std::cos(delta));
    if (c < -1)
        c = -1;
    else if (c > 1)
        c = 1;
    const double hourAngle = ArcCos(c);
    TRiseSetTimes times;
    times.Transit = ModReal((alpha - eastLongitude) * HoursPerRadian, 24);
    times.LowerTransit = ModReal((alpha - eastLongitude) * HoursPerRadian + 12, 24);
    times.Rise = ModReal((alpha - hourAngle - eastLongitude) * HoursPerRadian + 24, 24);
    times.Set = ModReal((alpha + hourAngle - eastLongitude) * HoursPerRadian, 24);
    return times;
}

double InterpolateEvent(double t00, double st1, double st2, double k) {
    return (InterpolationConstant * k * st1 - (st2 - st1) * t00) /
           (InterpolationConstant * k + st1 - st2);
}

TRiseSetTimes EventTimes(const TBodyPosition& p1, const TBodyPosition& p2, double eventAltitude,
                         double k, double latitude, double eastLongitude, double jd0) {
    // Rise and set at altitude 0 are for the geometric horizon; only the twilights are shifted.
    const double shift = eventAltitude == 0 ? 0 : p1.Diameter / 2 - p1.Parallax + HorizonRefraction;
    TRiseSetTimes s1 = RiseSetSidereal(p1, eventAltitude, latitude, eastLongitude);
    TRiseSetTimes s2 = RiseSetSidereal(p2, eventAltitude, latitude, eastLongitude);
    const double t00 = GreenwichSiderealTime(jd0);
    double t00Local = t00 - eastLongitude * DegreesPerRadian / 15 * SiderealPerLongitude;
    if (t00Local < 0)
        t00Local += 24;
    for (const auto field : BodyEvents) {
        double& first = s1.*field;
        double& second = s2.*field;
        if (first > second && std::fabs(first - second) > DayWrapHours)
            second += 24;
        if (first < t00Local) {
            first += 24;
            second += 24;
        }
    }
    const double dt = VerticalShiftCorrection(p1, p2, shift, latitude);
    TRiseSetTimes times;
    times.Transit = SiderealToUniversal(jd0, InterpolateEvent(t00, s1.Transit, s2.Transit, k));
    times.LowerTransit =
        SiderealToUniversal(jd0, InterpolateEvent(t00, s1.LowerTransit, s2.LowerTransit, k));
    times.Rise = SiderealToUniversal(jd0, InterpolateEvent(t00, s1.Rise, s2.Rise, k) - dt);
    times.Set = SiderealToUniversal(jd0, InterpolateEvent(t00, s1.Set, s2.Set, k) + dt);
    return times;
}

TRiseSetTimes SunEvents(bool nested, double tz, double latitude, double eastLongitude,
                        double deltaT, double jd) {
    const double jd0 = StartOfDate(jd);
    TBodyPosition p1;
    TBodyPosition p2;
    SunPosition(p1, jd0 + deltaT / 24 / 3600, 0, 0);
    SunPosition(p2, jd0 + 1 + deltaT / 24 / 3600, 0, 0);
    TRiseSetTimes times = EventTimes(p1, p2, 0, 1, latitude, eastLongitude, jd0);
    if (nested)
        return times;

    // East of Greenwich the local date ends before the universal one: late events are taken
    // from the next date. West of it the local date starts later: early events come from the
    // previous date.
    const bool east = tz >= 0;
    const double w = east ? 24 - tz : -tz;
    const auto outsideDate = [east, w](double t) { return east ? t >= w : t < w; };
    if (AnyBodyEvent(times, outsideDate)) {
        const TRiseSetTimes neighbour =
            SunEvents(true, tz, latitude, eastLongitude, deltaT, east ? jd + 1 : jd - 1);
        for (const auto field : BodyEvents) {
            if (outsideDate(times.*field))
                times.*field = neighbour.*field;
        }
    }
    for (const auto field : BodyEvents)
        times.*field = ModReal(times.*field + tz, 24);

    const struct {
        double altitude;
        double TRiseSetTimes::*dawn;
        double TRiseSetTimes::*dusk;
    } twilights[] = {
        {CivilTwilightAltitude, &TRiseSetTimes::CivilDawn, &TRiseSetTimes::CivilDusk},
        {NauticalTwilightAltitude, &TRiseSetTimes::NauticalDawn, &TRiseSetTimes::NauticalDusk},
        {AstronomicalTwilightAltitude, &TRiseSetTimes::AstroDawn, &TRiseSetTimes::AstroDusk}};
    for (const auto& twilight : twilights) {
        const TRiseSetTimes events =
            EventTimes(p1, p2, twilight.altitude, 1, latitude, eastLongitude, jd0);
        times.*twilight.dawn = ModReal(events.Rise + tz, 24);
        times.*twilight.dusk = ModReal(events.Set + tz, 24);
    }
    return times;
}

TRiseSetTimes MoonEvents(bool nested, double tz, double latitude, double eastLongitude,
                         double deltaT, double jd) {
    const double k = 0.5;
    const double jd0 = StartOfDate(jd);
    const TBodyPosition noObserver;
    TBodyPosition sun1;
    TBodyPosition sun2;
    TBodyPosition m1;
    TBodyPosition m2;
    SunPosition(sun1, jd0 + deltaT / 24 / 3600, 0, 0);
    MoonPosition(sun1, noObserver, m1, jd0 + deltaT / 24 / 3600, 0);
    SunPosition(sun2, jd0 + k + deltaT / 24 / 3600, 0, 0);
    MoonPosition(sun2, noObserver, m2, jd0 + k + deltaT / 24 / 3600, 0);
    TRiseSetTimes times = EventTimes(m1, m2, 0, k, latitude, eastLongitude, jd0);
    if (nested)
        return times;

    // The moon rises about 50 minutes later each day, so an event outside the local date may
    // have no counterpart inside it: that is reported as −1.
    if (tz >= 0) {
        const TRiseSetTimes previous =
            MoonEvents(true, tz, latitude, eastLongitude, deltaT, jd - 1);
        const double w = 24 - tz;
        for (const auto field : BodyEvents) {
            double& t = times.*field;
            if (t >= w || t < -tz)
                t = previous.*field >= w ? previous.*field : -1;
        }
    } else {
        const double w = -tz;
        if (AnyBodyEvent(times, [w](double t) { return t < w; })) {
            const TRiseSetTimes next =
                MoonEvents(true, tz, latitude, eastLongitude, deltaT, jd + 1);
            for (const auto field : BodyEvents) {
                double& t = times.*field;
                if (t < w)
                    t = next.*field <= w ? next.*field : -1;
            }
        }
    }
    for (const auto field : BodyEvents) {
        if (times.*field != -1)
            times.*field = ModReal(times.*field + tz, 24);
    }
    return times;
}

} // namespace zel
