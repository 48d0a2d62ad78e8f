// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A day of light designed from the sun: the level of each channel follows the sun's altitude
// at a place and date, optionally shifted so that noon falls at a chosen time, and is then
// fitted to the controller's schedule rows. Widget-free; the astronomy is the one of the Geo
// page, so the designed day agrees with the rise and set times shown there.

#include "cfg/conversions.h"
#include "cfg/records.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace zel {

constexpr int MinutesPerDay = 1440;
// Without a controller the designer fits to this many rows.
constexpr int DefaultDesignRows = 32;
// How far the fitted curve may stray from the designed one at any minute: 2 % of full level.
constexpr double FitTolerance = 0.02 * FullLevel;

using ChannelValues = std::array<int, ChannelCount>;

struct DaylightRequest {
    double Latitude = 0;  // degrees, north positive
    double Longitude = 0; // degrees, east positive
    int Year = 2000;
    int Month = 1;
    int Day = 1;
    int UtcOffsetMinutes = 0; // of the local clock on that date, east positive
    // Local time (minutes after midnight) the day's noon is moved to; none keeps the sun's.
    std::optional<double> NoonMinutes;
    ChannelValues MaxLevel = {FullLevel, FullLevel, FullLevel, FullLevel};
    // Minutes by which a channel starts earlier and ends later than the sun (blue dawn, dusk).
    ChannelValues DawnMinutes{};
    ChannelValues DuskMinutes{};
};

// The designed levels at every minute 0..1440 of the day (1440 is the next midnight).
struct DaylightCurve {
    bool PolarNight = false;             // the sun never rises: every level is zero
    double SolarNoonMinutes = 0;         // when the sun culminates on the date, local time
    double NoonMinutes = 0;              // the designed noon (solar noon plus the shift)
    std::vector<double> AltitudeDegrees; // the sun of each minute's shifted moment
    std::array<std::vector<double>, ChannelCount> Levels;
};

// Throws MathError when the astronomy fails, std::invalid_argument for a request it cannot
// take (latitude beyond ±90°, a level beyond 0..4096, a negative offset).
DaylightCurve DesignDaylight(const DaylightRequest& request);

struct DaylightFit {
    std::vector<ScheduleRow> Rows; // rowCount rows, ascending; unused ones repeat the last
    int UsedRows = 0;
    double MaxDeviation = 0; // largest distance from the designed curve, in levels
};

// The rows whose drawn curve follows `curve` within FitTolerance at every minute, in as few
// rows as that takes and then as closely as rowCount rows allow. Each row's Alt is the sun of
// its moment; Timer and Switch are taken from `current` at the same index (zero beyond it).
// A polar night gives no rows. Throws std::invalid_argument when rowCount rows cannot hold
// the curve within the tolerance.
DaylightFit FitScheduleRows(const DaylightCurve& curve, int rowCount,
                            const std::vector<ScheduleRow>& current = {});

// The level the schedule gives a channel at a minute as the Visualization page draws it:
// straight lines between rows, the last row's level held until midnight and carried over into
// the morning. Rows must be ascending (see ScheduleRowsProblem).
double ScheduleLevelAt(const std::vector<ScheduleRow>& rows, int channel, double minute);

// Why rows cannot be read as a day: a time that is not one (24:00 is the end of the day), a
// time before the row above, or a level outside 0..4096. Empty when they can.
QString ScheduleRowsProblem(const std::vector<ScheduleRow>& rows);

// Per channel the hours at full level the schedule gives in a day: the area under the drawn
// curve over 24 h divided by 4096. None when the rows are not a day (ScheduleRowsProblem) or
// there are none.
std::optional<std::array<double, ChannelCount>>
DailyDoseHours(const std::vector<ScheduleRow>& rows);

// mol/m²/day from the hours at full level and the light (µmol/m²/s) at full level.
double DailyLightIntegral(double doseHours, double parAtFullLevel);

// The share of the baseline's levels (0..1) on day `daysSinceStart` of an acclimation from
// `fromPercent` to `toPercent` over `days` days (at least 1): from before and at the start,
// to from the last day on, straight between.
double AcclimationFactor(int daysSinceStart, int days, double fromPercent, double toPercent);

// The rows with every level scaled by factor and rounded to the nearest level; all other
// fields as they are.
std::vector<ScheduleRow> ScaleLevels(const std::vector<ScheduleRow>& rows, double factor);

} // namespace zel
