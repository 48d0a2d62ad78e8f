// SPDX-License-Identifier: GPL-3.0-or-later
#include "sunmoon/geo_report.h"

#include "lang/translate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace zel {
namespace {

// Rise and set closer than 30 seconds mean the body did not cross the horizon that day.
constexpr double NoCrossingHours = 0.008333333333333333;

struct GeoScales {
    double Jd0;           // 0h universal time of the local date
    double Jde;           // the moment with DeltaT, for positions
    double SiderealAngle; // local sidereal time in radians
};

GeoScales ScalesOf(double longitude, const GeoMoment& local, int tz) {
    GeoScales scales;
    scales.Jd0 = JulianDay(local.Day, local.Month, local.Year);
    const double jd = scales.Jd0 + ((local.Hour - tz) + local.Minute / 60.0) / 24;
    scales.Jde = jd + DeltaTDays;
    const double lst = LocalSiderealTime(GreenwichSiderealTime(jd), longitude * RadiansPerDegree);
    scales.SiderealAngle = lst * 15 * RadiansPerDegree;
    return scales;
}

QString Hhmm(double hours) {
    return QString::fromStdString(FormatHHMM(hours));
}

QString Degrees(double radians, const QLocale& numbers) {
    return FormatOneDecimal(radians * DegreesPerRadian, numbers);
}

// Piece by piece, so that a failing value leaves the text just before it.
void AppendPosition(const QString& bodyKey, const TBodyPosition& body, const QLocale& numbers,
                    QString& text) {
    text += Translate(bodyKey) + QLatin1String(": ") + Translate(QStringLiteral("Azimuth")) +
            QLatin1String(": ");
    text += Degrees(body.Azimuth, numbers);
    text += QStringLiteral("°, ") + Translate(QStringLiteral("Altitude")) + QLatin1String(": ");
    text += Degrees(body.Altitude, numbers);
    text += QStringLiteral("°");
}

void AppendRiseSet(const TRiseSetTimes& times, QString& text) {
    text += QLatin1String(", ") + Translate(QStringLiteral("Rise")) + QLatin1String(": ");
    text += Hhmm(times.Rise);
    text += QLatin1String(", ") + Translate(QStringLiteral("Set")) + QLatin1String(": ");
    text += Hhmm(times.Set);
}

bool CrossesHorizon(const TRiseSetTimes& times) {
    return std::fabs(times.Rise - times.Set) > NoCrossingHours;
}

// Names for scripts, in no language of the window: the signs from Aries on, the phases from
// the new moon on.
const char* const SignKeys[SignCount] = {"Aries",       "Taurus",    "Gemini",   "Cancer",
                                         "Leo",         "Virgo",     "Libra",    "Scorpio",
                                         "Sagittarius", "Capricorn", "Aquarius", "Pisces"};
const char* const PhaseKeys[PhaseCount] = {"NewMoon",       "WaxingCrescent", "FirstQuarter",
                                           "WaxingGibbous", "FullMoon",       "WaningGibbous",
                                           "LastQuarter",   "WaningCrescent", "NewMoon"};

QJsonObject BodyJson(const TBodyPosition& body) {
    QJsonObject object;
    object.insert(QStringLiteral("AzimuthDeg"), body.Azimuth * DegreesPerRadian);
    object.insert(QStringLiteral("AltitudeDeg"), body.Altitude * DegreesPerRadian);
    object.insert(QStringLiteral("RightAscensionH"), body.RightAscension * DegreesPerRadian / 15);
    object.insert(QStringLiteral("DeclinationDeg"), body.Declination * DegreesPerRadian);
    object.insert(QStringLiteral("EclipticLongitudeDeg"),
                  body.EclipticLongitude * DegreesPerRadian);
    object.insert(QStringLiteral("EclipticLatitudeDeg"), body.EclipticLatitude * DegreesPerRadian);
    object.insert(QStringLiteral("DistanceKm"), body.Distance);
    const auto* sign = std::find(SignAndPhaseNames, SignAndPhaseNames + SignCount, body.SignName);
    object.insert(QStringLiteral("Sign"),
                  sign == SignAndPhaseNames + SignCount
                      ? QJsonValue(QJsonValue::Null)
                      : QJsonValue(QLatin1String(SignKeys[sign - SignAndPhaseNames])));
    return object;
}

QJsonObject BodyEventsJson(const TRiseSetTimes& times) {
    QJsonObject object;
    object.insert(QStringLiteral("Rise"), Hhmm(times.Rise));
    object.insert(QStringLiteral("Set"), Hhmm(times.Set));
    object.insert(QStringLiteral("Transit"), Hhmm(times.Transit));
    object.insert(QStringLiteral("LowerTransit"), Hhmm(times.LowerTransit));
    return object;
}

} // namespace

int UtcOffsetMinutes(const QDateTime& local) {
    return UtcOffsetMinutes(local, QTimeZone::systemTimeZone());
}

int UtcOffsetMinutes(const QDateTime& local, const QTimeZone& zone) {
    if (!local.date().isValid() || !local.time().isValid())
        throw std::invalid_argument("No such local date and time");
    const QDateTime inZone(local.date(), local.time(), zone);
    if (inZone.isValid())
        return inZone.offsetFromUtc() / 60;
    // A wall-clock time the zone skips when it springs forward still names a moment for the
    // controller: take the offset in force just before the skipped hours. The wall clock is
    // read as if it were universal time; the change that skips it lies within a day of that.
    const QDateTime wall(local.date(), local.time(), Qt::UTC);
    for (const QTimeZone::OffsetData& change :
         zone.transitions(wall.addDays(-1), wall.addDays(1))) {
        const int before = zone.offsetFromUtc(change.atUtc.addSecs(-1));
        const QDateTime skippedFrom = change.atUtc.addSecs(before);
        const QDateTime skippedUntil = change.atUtc.addSecs(change.offsetFromUtc);
        if (skippedFrom <= wall && wall < skippedUntil)
            return before / 60;
    }
    throw std::invalid_argument("No such local date and time");
}

int TimeZoneHours(const GeoMoment& local, const QTimeZone& zone) {
    // Checked here: QDateTime would take an invalid time such as a typed 25:99 for midnight.
    const QTime time(local.Hour, local.Minute);
    if (!time.isValid())
        throw std::invalid_argument("No such local date and time");
    // Only the fields count; universal time keeps the PC's own zone rules out of them.
    const QDateTime fields(QDate(local.Year, local.Month, local.Day), time, Qt::UTC);
    return UtcOffsetMinutes(fields, zone) / 60;
}

TBodyPosition GeoSunPosition(double latitude, double longitude, const GeoMoment& local, int tz) {
    const GeoScales scales = ScalesOf(longitude, local, tz);
    TBodyPosition sun;
    SunPosition(sun, scales.Jde, latitude * RadiansPerDegree, scales.SiderealAngle);
    return sun;
}

GeoSky ComputeGeoSky(double latitude, double longitude, const GeoMoment& local, int tz) {
    const GeoScales scales = ScalesOf(longitude, local, tz);
    const double lat = latitude * RadiansPerDegree;
    const double lon = longitude * RadiansPerDegree;
    const TBodyPosition observer = ObserverPosition(lon, lat, 0);
    GeoSky sky;
    SunPosition(sky.Sun, scales.Jde, lat, scales.SiderealAngle);
    MoonPosition(sky.Sun, observer, sky.Moon, scales.Jde, scales.SiderealAngle);
    sky.SunTimes = SunEvents(false, tz, lat, lon, DeltaT, scales.Jd0);
    sky.MoonTimes = MoonEvents(false, tz, lat, lon, DeltaT, scales.Jd0);
    return sky;
}

void AppendGeoLabelText(const GeoSky& sky, const QLocale& numbers, QString& text) {
    const QLatin1String lineBreak("\r\n");
    AppendPosition(QStringLiteral("Sun"), sky.Sun, numbers, text);
    if (CrossesHorizon(sky.SunTimes)) {
        double dayLength = sky.SunTimes.Set - sky.SunTimes.Rise;
        if (dayLength < 0)
            dayLength += 24;
        AppendRiseSet(sky.SunTimes, text);
        text += QLatin1String(", ") + Translate(QStringLiteral("DayLength")) + QLatin1String(": ");
        text += Hhmm(dayLength);
        text += QLatin1Char(' ') + Translate(QStringLiteral("Hours"));
    }
    text += lineBreak;
    AppendPosition(QStringLiteral("Moon"), sky.Moon, numbers, text);
    if (CrossesHorizon(sky.MoonTimes))
        AppendRiseSet(sky.MoonTimes, text);
    text += QLatin1String(", ") + Translate(QStringLiteral("Phase")) + QLatin1String(": ");
    text += FormatOneDecimal(sky.Moon.Illumination * 100, numbers);
    text += QLatin1Char('%') + lineBreak;
}

GeoReport BuildGeoReport(double latitude, double longitude, const GeoMoment& local, int tz,
                         const QLocale& numbers) {
    GeoReport report;
    try {
        report.Sky = ComputeGeoSky(latitude, longitude, local, tz);
        AppendGeoLabelText(report.Sky, numbers, report.Text);
        report.Complete = true;
    } catch (const MathError&) {
        // The page shows what was reached; the caller learns of the stop through Complete.
    }
    return report;
}

QJsonObject GeoSkyJson(const GeoSky& sky) {
    QJsonObject moon = BodyJson(sky.Moon);
    moon.insert(QStringLiteral("AgeDeg"), sky.Moon.Age * DegreesPerRadian);
    moon.insert(QStringLiteral("Illumination"), sky.Moon.Illumination);
    const int phase = PhaseIndexOf(sky.Moon.Age);
    if (phase < 0 || phase >= PhaseCount)
        throw MathError("Invalid floating point operation: moon age " +
                        std::to_string(sky.Moon.Age));
    moon.insert(QStringLiteral("PhaseIndex"), phase);
    moon.insert(QStringLiteral("Phase"), QLatin1String(PhaseKeys[phase]));

    QJsonObject sunEvents = BodyEventsJson(sky.SunTimes);
    sunEvents.insert(QStringLiteral("CivilDawn"), Hhmm(sky.SunTimes.CivilDawn));
    sunEvents.insert(QStringLiteral("CivilDusk"), Hhmm(sky.SunTimes.CivilDusk));
    sunEvents.insert(QStringLiteral("NauticalDawn"), Hhmm(sky.SunTimes.NauticalDawn));
    sunEvents.insert(QStringLiteral("NauticalDusk"), Hhmm(sky.SunTimes.NauticalDusk));
    sunEvents.insert(QStringLiteral("AstroDawn"), Hhmm(sky.SunTimes.AstroDawn));
    sunEvents.insert(QStringLiteral("AstroDusk"), Hhmm(sky.SunTimes.AstroDusk));

    QJsonObject object;
    object.insert(QStringLiteral("Sun"), BodyJson(sky.Sun));
    object.insert(QStringLiteral("Moon"), moon);
    object.insert(QStringLiteral("SunEvents"), sunEvents);
    object.insert(QStringLiteral("MoonEvents"), BodyEventsJson(sky.MoonTimes));
    return object;
}

QString FormatOneDecimal(double value, const QLocale& numbers) {
    if (!std::isfinite(value))
        throw MathError("Invalid floating point operation: cannot format " + std::to_string(value));
    constexpr int Significant = 15;
    // d.dddddddddddddde±x: the 15 significant digits the value is shown from.
    char scientific[32];
    std::snprintf(scientific, sizeof scientific, "%.*e", Significant - 1, std::fabs(value));
    const std::string digits = scientific[0] + std::string(scientific + 2, Significant - 1);
    const int exponent = std::atoi(scientific + Significant + 2);
    // Digits up to and including the first decimal, i.e. the value in tenths.
    const int kept = exponent + 2;
    std::string tenths;
    if (kept <= 0) {
        tenths = kept == 0 && digits[0] >= '5' ? "1" : "0";
    } else if (kept >= Significant) {
        tenths = digits + std::string(kept - Significant, '0');
    } else {
        tenths = std::to_string(std::stoll(digits.substr(0, kept)) + (digits[kept] >= '5'));
    }
    const std::string whole = tenths.size() > 1 ? tenths.substr(0, tenths.size() - 1) : "0";
    const char decimal = tenths.back();
    QString text = QString::fromStdString(whole);
    if (decimal != '0')
        text += numbers.decimalPoint() + QLatin1Char(decimal);
    if (value < 0 && text != QLatin1String("0"))
        text.prepend(QLatin1Char('-'));
    return text;
}

} // namespace zel
