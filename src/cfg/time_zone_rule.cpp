// SPDX-License-Identifier: GPL-3.0-or-later
#include "cfg/time_zone_rule.h"

#include <algorithm>

namespace zel {

namespace {
constexpr int LastOccurrence = 5;

ZoneChange ChangeAt(const QTimeZone& zone, const QDateTime& atUtc) {
    // The wall clock just before the change: the date and hour the rule names.
    const int offsetBefore = zone.offsetFromUtc(atUtc.addSecs(-1));
    const QDateTime wall = atUtc.toUTC().addSecs(offsetBefore);
    const QDate date = wall.date();
    const bool last = date.day() + 7 > date.daysInMonth();
    const int occurrence = last ? LastOccurrence : (date.day() - 1) / 7 + 1;
    ZoneChange change;
    change.Month = int8_t(date.month());
    change.Day = LatestChangeDay(date.month(), occurrence);
    change.Hour = int8_t(wall.time().hour());
    change.DayOfWeek = int8_t(date.dayOfWeek() % 7); // Qt counts Monday 1 .. Sunday 7
    return change;
}
} // namespace

int8_t LatestChangeDay(int month, int occurrence) {
    int day = std::min(occurrence * 7, 31);
    if (month == 4 || month == 6 || month == 9 || month == 11)
        day = std::min(day, 30);
    else if (month == 2)
        day = std::min(day, 28);
    return int8_t(day);
}

std::optional<TimeZoneRule> TimeZoneRuleOf(const QTimeZone& zone, int year) {
    if (!zone.isValid())
        return std::nullopt;
    const QDateTime start(QDate(year, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime end(QDate(year + 1, 1, 1), QTime(0, 0), Qt::UTC);
    TimeZoneRule rule;
    rule.Bias = int16_t(zone.standardTimeOffset(start) / 60);
    // The change to the higher offset is the controller's daylight saving time, whatever the
    // zone calls it: some zones keep a negative daylight saving time in winter.
    std::optional<QTimeZone::OffsetData> toDaylight;
    std::optional<QTimeZone::OffsetData> toStandard;
    for (const QTimeZone::OffsetData& transition : zone.transitions(start, end.addSecs(-1))) {
        const bool higher =
            transition.offsetFromUtc > zone.offsetFromUtc(transition.atUtc.addSecs(-1));
        std::optional<QTimeZone::OffsetData>& first = higher ? toDaylight : toStandard;
        if (!first)
            first = transition;
    }
    // Both changes or none: a zone that gave up daylight saving this year keeps one offset.
    if (toDaylight && toStandard) {
        rule.Bias = int16_t(toStandard->offsetFromUtc / 60);
        rule.Daylight = ChangeAt(zone, toDaylight->atUtc);
        rule.Standard = ChangeAt(zone, toStandard->atUtc);
    }
    return rule;
}

} // namespace zel
