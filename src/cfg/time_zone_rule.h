// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The controller keeps its own clock in local time and changes it to and from daylight saving
// time by a yearly rule: on the last given weekday on or before a given day of a month.

#include <QTimeZone>

#include <cstdint>
#include <optional>

namespace zel {

struct ZoneChange {
    int8_t Month = 0;     // 1..12; 0 when the zone has no such change
    int8_t Day = 0;       // 7, 14, 21, 28, or the month's last day for "the last weekday"
    int8_t Hour = 0;      // as the clock shows it just before the change
    int8_t DayOfWeek = 0; // 0 = Sunday
};

struct TimeZoneRule {
    int16_t Bias = 0; // local standard time = UTC + Bias minutes
    ZoneChange Standard;
    ZoneChange Daylight;
};

// The day of `month` a change on the `occurrence`-th weekday of its kind falls on at the latest:
// 7 for the first, 14 for the second, ..., the month's end for the last (occurrence 5; February
// counted at 28 days, since the rule serves every year).
int8_t LatestChangeDay(int month, int occurrence);

// The rule of `zone` as its changes in `year` show it; a zone that keeps one offset all year
// gives months 0. None for a zone the system cannot describe.
std::optional<TimeZoneRule> TimeZoneRuleOf(const QTimeZone& zone, int year);

} // namespace zel
