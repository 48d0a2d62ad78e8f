// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the Geo page and `zelphorin-cli sunmoon` show for a place and a local moment: the sun
// and moon positions and events, the two-line label text and the JSON form of the same.

#include "sunmoon/rise_set.h"

#include <QDateTime>
#include <QJsonObject>
#include <QLocale>
#include <QString>
#include <QTimeZone>

namespace zel {

// Offset of the local wall-clock moment from universal time in minutes, east positive, from
// the zone database (so a zone whose daylight period spans the new year gets its daylight
// offset there too). Only the date and time of `local` are read. A time the zone skips when it
// springs forward takes the offset in force just before. Throws std::invalid_argument for a
// date or time that does not exist at all, such as 25:99.
int UtcOffsetMinutes(const QDateTime& local);
int UtcOffsetMinutes(const QDateTime& local, const QTimeZone& zone);

// A local date and time as the controller's clock fields hold them (full year), unchecked.
struct GeoMoment {
    int Year = 2000;
    int Month = 1;
    int Day = 1;
    int Hour = 0;
    int Minute = 0;
};

// tz for the astronomy: the whole hours of UtcOffsetMinutes, truncated toward zero (a +5:30
// zone gives 5). Throws std::invalid_argument when the moment does not exist.
int TimeZoneHours(const GeoMoment& local, const QTimeZone& zone = QTimeZone::systemTimeZone());

struct GeoSky {
    TBodyPosition Sun;  // geocentric
    TBodyPosition Moon; // horizontal and equatorial position topocentric
    TRiseSetTimes SunTimes;
    TRiseSetTimes MoonTimes;
};

// The sun for a place (degrees) and local moment, tz as TimeZoneHours gives it. Throws
// MathError.
TBodyPosition GeoSunPosition(double latitude, double longitude, const GeoMoment& local, int tz);
// Sun, moon and both event records likewise. Throws MathError.
GeoSky ComputeGeoSky(double latitude, double longitude, const GeoMoment& local, int tz);

// Appends the label text (two lines, each ending in CR LF) in the language in use, with the
// decimal separator of `numbers`. A value that cannot be formatted throws MathError and leaves
// the text where it stopped.
void AppendGeoLabelText(const GeoSky& sky, const QLocale& numbers, QString& text);

struct GeoReport {
    GeoSky Sky;
    QString Text;
    bool Complete = false; // false: a floating-point error stopped the text (maybe empty)
};

// ComputeGeoSky and AppendGeoLabelText without throwing: on an error the text stops where it
// arose, as the page's label does.
GeoReport BuildGeoReport(double latitude, double longitude, const GeoMoment& local, int tz,
                         const QLocale& numbers);

// "Sun", "Moon", "SunEvents", "MoonEvents", the unit ending each number's name: angles in
// degrees (Deg), right ascension in hours (H), distances in km (the moon's geocentric), events
// as "HH:MM" texts; sign and phase by English names ("Cancer", "FullMoon") and the phase also
// by its index 0..8. Nothing depends on the language. Throws MathError.
QJsonObject GeoSkyJson(const GeoSky& sky);

// value with at most one decimal, rounded half away from zero at 15 significant digits, no
// trailing zero, "-" for negatives. Throws MathError for NaN and infinity.
QString FormatOneDecimal(double value, const QLocale& numbers);

} // namespace zel
