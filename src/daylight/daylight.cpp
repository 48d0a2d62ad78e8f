// SPDX-License-Identifier: GPL-3.0-or-later
#include "daylight/daylight.h"

#include "cfg/conversions.h"
#include "sunmoon/sunmoon.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>

namespace zel {

namespace {

constexpr int HalfDay = MinutesPerDay / 2;

// The sun's altitude (radians) at a local moment in minutes after midnight of the date; the
// minutes may lie outside the day.
class SunAtPlace {
public:
    explicit SunAtPlace(const DaylightRequest& request)
        : latitude_(request.Latitude * RadiansPerDegree),
          longitude_(request.Longitude * RadiansPerDegree),
          jd0_(JulianDay(request.Day, request.Month, request.Year)),
          offsetHours_(request.UtcOffsetMinutes / 60.0) {}

    double Altitude(double minutes) const {
        const double jd = jd0_ + (minutes / 60 - offsetHours_) / 24;
        const double lst = LocalSiderealTime(GreenwichSiderealTime(jd), longitude_);
        TBodyPosition sun;
        SunPosition(sun, jd + DeltaTDays, latitude_, lst * 15 * RadiansPerDegree);
        return sun.Altitude;
    }

private:
    double latitude_;
    double longitude_;
    double jd0_;
    double offsetHours_;
};

// The culmination: the highest minute of the date, refined between its neighbours.
double SolarNoon(const SunAtPlace& sun) {
    int best = 0;
    double bestAltitude = sun.Altitude(0);
    for (int minute = 1; minute < MinutesPerDay; ++minute) {
        const double altitude = sun.Altitude(minute);
        if (altitude > bestAltitude) {
            best = minute;
            bestAltitude = altitude;
        }
    }
    const double before = sun.Altitude(best - 1);
    const double after = sun.Altitude(best + 1);
    const double bend = before - 2 * bestAltitude + after;
    return bend < 0 ? best + (before - after) / (2 * bend) : best;
}

// Minutes from noon to where the sun crosses the horizon, in one direction (-1 morning, +1
// evening); half a day when it stays up.
double HalfSpan(const std::vector<double>& relativeAltitude, int direction) {
    for (int step = 1; step <= HalfDay; ++step) {
        const double here = relativeAltitude[size_t(HalfDay + direction * step)];
        if (here <= 0) {
            const double inside = relativeAltitude[size_t(HalfDay + direction * (step - 1))];
            return step - 1 + inside / (inside - here);
        }
    }
    return HalfDay;
}

// Minutes from the designed noon, in (-720, 720].
double FromNoon(double minute, double noon) {
    double relative = std::fmod(minute - noon, double(MinutesPerDay));
    if (relative <= -HalfDay)
        relative += MinutesPerDay;
    else if (relative > HalfDay)
        relative -= MinutesPerDay;
    return relative;
}

void CheckRequest(const DaylightRequest& request) {
    if (!(std::fabs(request.Latitude) <= 90) || !(std::fabs(request.Longitude) <= 180))
        throw std::invalid_argument("the place must lie within ±90° latitude and ±180° longitude");
    for (int channel = 0; channel < ChannelCount; ++channel) {
        if (request.MaxLevel[size_t(channel)] < 0 || request.MaxLevel[size_t(channel)] > FullLevel)
            throw std::invalid_argument("a maximum level must lie within 0..4096");
        if (request.DawnMinutes[size_t(channel)] < 0 || request.DuskMinutes[size_t(channel)] < 0 ||
            request.DawnMinutes[size_t(channel)] > HalfDay ||
            request.DuskMinutes[size_t(channel)] > HalfDay)
            throw std::invalid_argument("dawn and dusk offsets must lie within 0..720 minutes");
    }
}

int RowMinutes(const ScheduleRow& row) {
    return row.Hour * 60 + row.Minute;
}

// A fit under construction: the minutes of its rows and, per channel, the rounded levels.
struct Knots {
    std::vector<int> Minutes;
    std::array<std::vector<int>, ChannelCount> Levels;
};

int RoundedLevel(const DaylightCurve& curve, int channel, int minute) {
    return int(Nearest(curve.Levels[size_t(channel)][size_t(minute)]));
}

// Whether the straight line between the rounded levels at `from` and `to` stays within
// tolerance of the curve at every minute between them, for every channel.
bool SegmentFits(const DaylightCurve& curve, int from, int to, double tolerance) {
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const double start = RoundedLevel(curve, channel, from);
        const double slope = (RoundedLevel(curve, channel, to) - start) / (to - from);
        const std::vector<double>& levels = curve.Levels[size_t(channel)];
        for (int minute = from + 1; minute < to; ++minute)
            if (std::fabs(start + slope * (minute - from) - levels[size_t(minute)]) > tolerance)
                return false;
    }
    return true;
}

// Minutes the fit must hold a row at: the last dark minute before and after every lit stretch
// of every channel, so the dark stays exactly dark and the lit span exactly as long; and
// midnight at both ends when the day starts or ends lit.
std::vector<int> FixedMinutes(const DaylightCurve& curve) {
    std::set<int> fixed;
    const auto lit = [&](int channel, int minute) {
        return curve.Levels[size_t(channel)][size_t(minute)] > 0;
    };
    for (int channel = 0; channel < ChannelCount; ++channel) {
        if (lit(channel, 0) || lit(channel, MinutesPerDay)) {
            fixed.insert(0);
            fixed.insert(MinutesPerDay);
        }
        for (int minute = 0; minute < MinutesPerDay; ++minute)
            if (lit(channel, minute) != lit(channel, minute + 1))
                fixed.insert(lit(channel, minute) ? minute + 1 : minute);
    }
    return {fixed.begin(), fixed.end()};
}

// Greedy: from each row the next one goes as far as the tolerance lets the line reach, never
// past a fixed minute.
std::vector<int> FitMinutes(const DaylightCurve& curve, const std::vector<int>& fixed,
                            double tolerance) {
    std::vector<int> minutes = {fixed.front()};
    for (size_t next = 1; next < fixed.size(); ++next) {
        const int end = fixed[next];
        int from = minutes.back();
        while (from < end) {
            int to = from + 1;
            while (to < end && SegmentFits(curve, from, to + 1, tolerance))
                ++to;
            minutes.push_back(to);
            from = to;
        }
    }
    return minutes;
}

} // namespace

DaylightCurve DesignDaylight(const DaylightRequest& request) {
    CheckRequest(request);
    const SunAtPlace sun(request);
    DaylightCurve curve;
    curve.SolarNoonMinutes = SolarNoon(sun);
    curve.NoonMinutes = request.NoonMinutes.value_or(curve.SolarNoonMinutes);
    const double noonAltitude = sun.Altitude(curve.SolarNoonMinutes);
    curve.PolarNight = noonAltitude <= 0;

    // The sun at each minute from half a day before its noon to half a day after.
    std::vector<double> relativeAltitude(MinutesPerDay + 1);
    for (int step = 0; step <= MinutesPerDay; ++step)
        relativeAltitude[size_t(step)] = sun.Altitude(curve.SolarNoonMinutes + step - HalfDay);
    const double morning = HalfSpan(relativeAltitude, -1);
    const double evening = HalfSpan(relativeAltitude, +1);
    const auto sunAt = [&](double fromNoon) {
        return sun.Altitude(curve.SolarNoonMinutes + fromNoon);
    };

    curve.AltitudeDegrees.resize(MinutesPerDay + 1);
    for (int minute = 0; minute <= MinutesPerDay; ++minute)
        curve.AltitudeDegrees[size_t(minute)] =
            sunAt(FromNoon(minute, curve.NoonMinutes)) * DegreesPerRadian;

    for (int channel = 0; channel < ChannelCount; ++channel) {
        std::vector<double>& levels = curve.Levels[size_t(channel)];
        levels.assign(MinutesPerDay + 1, 0.0);
        const int maxLevel = request.MaxLevel[size_t(channel)];
        if (curve.PolarNight || maxLevel == 0)
            continue;
        // Dawn and dusk stretch the channel's morning and evening around the noon.
        const double morningScale = morning / (morning + request.DawnMinutes[size_t(channel)]);
        const double eveningScale = evening / (evening + request.DuskMinutes[size_t(channel)]);
        for (int minute = 0; minute <= MinutesPerDay; ++minute) {
            const double fromNoon = FromNoon(minute, curve.NoonMinutes);
            const double altitude =
                request.DawnMinutes[size_t(channel)] == 0 &&
                        request.DuskMinutes[size_t(channel)] == 0
                    ? curve.AltitudeDegrees[size_t(minute)] * RadiansPerDegree
                    : sunAt(fromNoon * (fromNoon <= 0 ? morningScale : eveningScale));
            levels[size_t(minute)] =
                maxLevel * std::max(0.0, std::sin(altitude)) / std::sin(noonAltitude);
        }
    }
    return curve;
}

DaylightFit FitScheduleRows(const DaylightCurve& curve, int rowCount,
                            const std::vector<ScheduleRow>& current) {
    DaylightFit fit;
    const std::vector<int> fixed = curve.PolarNight ? std::vector<int>() : FixedMinutes(curve);
    if (fixed.empty())
        return fit; // nothing is ever lit
    std::vector<int> minutes = FitMinutes(curve, fixed, FitTolerance);
    if (int(minutes.size()) > rowCount)
        throw std::invalid_argument(QStringLiteral("this day needs %1 rows to stay within 2 %; "
                                                   "the controller has %2")
                                        .arg(minutes.size())
                                        .arg(rowCount)
                                        .toStdString());
    // Rows to spare buy a closer fit: the smallest tolerance that still fits them.
    double fits = FitTolerance;
    double fails = 0.5;
    for (int halving = 0; halving < 16 && fits - fails > 0.25; ++halving) {
        const double tolerance = (fits + fails) / 2;
        std::vector<int> closer = FitMinutes(curve, fixed, tolerance);
        if (int(closer.size()) <= rowCount) {
            fits = tolerance;
            minutes = std::move(closer);
        } else {
            fails = tolerance;
        }
    }

    fit.UsedRows = int(minutes.size());
    fit.Rows.resize(size_t(rowCount));
    for (int index = 0; index < rowCount; ++index) {
        const int minute = minutes[size_t(std::min(index, fit.UsedRows - 1))];
        ScheduleRow& row = fit.Rows[size_t(index)];
        row = size_t(index) < current.size() ? current[size_t(index)] : ScheduleRow{};
        row.Hour = int8_t(minute / 60);
        row.Minute = int8_t(minute % 60);
        row.Alt = int16_t(
            Nearest(std::sin(curve.AltitudeDegrees[size_t(minute)] * RadiansPerDegree) * 10000));
        for (int channel = 0; channel < ChannelCount; ++channel)
            row.Color16[channel] = int16_t(RoundedLevel(curve, channel, minute));
    }
    for (int channel = 0; channel < ChannelCount; ++channel)
        for (int minute = 0; minute <= MinutesPerDay; ++minute)
            fit.MaxDeviation = std::max(fit.MaxDeviation,
                                        std::fabs(ScheduleLevelAt(fit.Rows, channel, minute) -
                                                  curve.Levels[size_t(channel)][size_t(minute)]));
    return fit;
}

double ScheduleLevelAt(const std::vector<ScheduleRow>& rows, int channel, double minute) {
    if (rows.empty())
        return 0;
    const double last = rows.back().Color16[channel];
    double fromMinute = 0;
    double fromLevel = last;
    for (const ScheduleRow& row : rows) {
        const double toMinute = RowMinutes(row);
        const double toLevel = row.Color16[channel];
        if (minute <= toMinute)
            return toMinute == fromMinute
                       ? toLevel
                       : fromLevel + (toLevel - fromLevel) * (minute - fromMinute) /
                                         (toMinute - fromMinute);
        fromMinute = toMinute;
        fromLevel = toLevel;
    }
    return last;
}

QString ScheduleRowsProblem(const std::vector<ScheduleRow>& rows) {
    int previous = 0;
    for (size_t index = 0; index < rows.size(); ++index) {
        const ScheduleRow& row = rows[index];
        const int minutes = RowMinutes(row);
        const QString time = QStringLiteral("%1:%2")
                                 .arg(int(row.Hour), 2, 10, QLatin1Char('0'))
                                 .arg(int(row.Minute), 2, 10, QLatin1Char('0'));
        if (row.Hour < 0 || row.Minute < 0 || row.Minute > 59 || minutes > MinutesPerDay)
            return QStringLiteral("row %1: %2 is not a time of the day").arg(index).arg(time);
        if (minutes < previous)
            return QStringLiteral("row %1: %2 comes before the row above it").arg(index).arg(time);
        for (int channel = 0; channel < ChannelCount; ++channel)
            if (row.Color16[channel] < 0 || row.Color16[channel] > FullLevel)
                return QStringLiteral("row %1: the level %2 of channel %3 is outside 0..4096")
                    .arg(index)
                    .arg(row.Color16[channel])
                    .arg(channel);
        previous = minutes;
    }
    return QString();
}

std::optional<std::array<double, ChannelCount>>
DailyDoseHours(const std::vector<ScheduleRow>& rows) {
    if (rows.empty() || !ScheduleRowsProblem(rows).isEmpty())
        return std::nullopt;
    std::array<double, ChannelCount> hours{};
    for (int channel = 0; channel < ChannelCount; ++channel) {
        // Trapezoids from midnight (at the day's last level) through every row, then the last
        // level held to the next midnight.
        double area = 0;
        double fromMinute = 0;
        double fromLevel = rows.back().Color16[channel];
        for (const ScheduleRow& row : rows) {
            area += (fromLevel + row.Color16[channel]) / 2 * (RowMinutes(row) - fromMinute);
            fromMinute = RowMinutes(row);
            fromLevel = row.Color16[channel];
        }
        area += fromLevel * (MinutesPerDay - fromMinute);
        hours[size_t(channel)] = area / FullLevel / 60;
    }
    return hours;
}

double DailyLightIntegral(double doseHours, double parAtFullLevel) {
    return doseHours * 3600 * parAtFullLevel / 1e6;
}

double AcclimationFactor(int daysSinceStart, int days, double fromPercent, double toPercent) {
    const double progress = std::clamp(double(daysSinceStart) / std::max(days, 1), 0.0, 1.0);
    return (fromPercent + (toPercent - fromPercent) * progress) / 100;
}

std::vector<ScheduleRow> ScaleLevels(const std::vector<ScheduleRow>& rows, double factor) {
    std::vector<ScheduleRow> scaled = rows;
    for (ScheduleRow& row : scaled)
        for (int channel = 0; channel < ChannelCount; ++channel)
            row.Color16[channel] = int16_t(
                std::clamp<int64_t>(Nearest(row.Color16[channel] * factor), INT16_MIN, INT16_MAX));
    return scaled;
}

} // namespace zel
