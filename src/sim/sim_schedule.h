#pragma once

// How the simulated controller turns its schedule into channel levels, and the rows it starts
// with. Pure functions of their arguments.

#include "cfg/records.h"

#include <QtGlobal>

#include <array>
#include <vector>

namespace zel {

using Levels = std::array<int, ChannelCount>;

// A day a user recognises: night, dawn, sunrise, morning, noon, afternoon, sunset, dusk and
// night again. With fewer than nine rows the most telling of these points are kept (noon,
// night, sunrise, sunset first); with more, the longest gaps are split. Rows are in time
// order; their altitudes, those of an equinox sun at 50.1° N with noon at 13:00, rise from
// the first row to the noon row and fall from it to the last, as the geo mode reads them.
std::vector<ScheduleRow> DefaultSchedule(int rowCount);

struct ScheduleLevels {
    Levels levels{};
    int activeRow = -1; // the row whose time (or altitude) was passed last; -1 without rows
};

// Linear interpolation between the rows around `minute` of the day (0 to 1440), wrapping at
// midnight. Rows whose time is no time of day (hour outside 0..24, minute above 59, after
// 24:00) are not used.
ScheduleLevels LevelsAtMinute(const std::vector<ScheduleRow>& rows, double minute);

// The same by sun altitude (sin(altitude) × 10000): the rows up to the one with the highest
// altitude serve the rising sun, the rows from it on the setting sun.
ScheduleLevels LevelsAtAltitude(const std::vector<ScheduleRow>& rows, int altitude, bool rising);

struct SunNow {
    int altitude = 0; // sin(altitude) × 10000
    bool rising = false;
};

// A simple sun (no equation of time, no refraction) for a local time given as milliseconds
// since 1970 in local clock terms, the offset local = UTC + bias minutes, and a place in
// tenths of a degree.
SunNow SunAt(qint64 localMs, int biasMinutes, int latTenths, int lonTenths);

} // namespace zel
