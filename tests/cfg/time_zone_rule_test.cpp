// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's time zone rule taken from real zones of the time zone database.

#include "cfg/time_zone_rule.h"

#include <QTest>

#include <tuple>

using namespace zel;

namespace {
TimeZoneRule RuleOf(const char* zone, int year) {
    const std::optional<TimeZoneRule> rule = TimeZoneRuleOf(QTimeZone(zone), year);
    if (!rule)
        qFatal("no rule for %s", zone);
    return *rule;
}

bool Same(const ZoneChange& change, int month, int day, int hour, int dayOfWeek) {
    return change.Month == month && change.Day == day && change.Hour == hour &&
           change.DayOfWeek == dayOfWeek;
}
} // namespace

class TimeZoneRuleTest : public QObject {
    Q_OBJECT
private slots:
    // Summer time from the last Sunday of March to the last Sunday of October (the clock's hour
    // just before each change). Dublin's tz entry calls winter a negative daylight saving time
    // and summer its standard time; the controller knows only summer time, as for London.
    void LastSundayOfMarch() {
        const std::tuple<const char*, int, int, int> zones[] = {
            {"Europe/Berlin", 60, 2, 3}, {"Europe/London", 0, 1, 2}, {"Europe/Dublin", 0, 1, 2}};
        for (const auto& [zone, bias, daylightHour, standardHour] : zones) {
            for (int year : {2024, 2026}) {
                const TimeZoneRule rule = RuleOf(zone, year);
                QCOMPARE(rule.Bias, int16_t(bias));
                QVERIFY2(Same(rule.Daylight, 3, 31, daylightHour, 0), zone);
                QVERIFY2(Same(rule.Standard, 10, 31, standardHour, 0), zone);
            }
        }
    }

    void SecondAndFirstSunday() {
        const TimeZoneRule rule = RuleOf("America/New_York", 2026);
        QCOMPARE(rule.Bias, int16_t(-300));
        QVERIFY(Same(rule.Daylight, 3, 14, 2, 0));
        QVERIFY(Same(rule.Standard, 11, 7, 2, 0));
    }

    void SouthernSummerSpansTheNewYear() {
        const TimeZoneRule rule = RuleOf("Australia/Sydney", 2026);
        QCOMPARE(rule.Bias, int16_t(600));
        QVERIFY(Same(rule.Standard, 4, 7, 3, 0));
        QVERIFY(Same(rule.Daylight, 10, 7, 2, 0));
        // A change at midnight, and one on the third Sunday of February.
        const TimeZoneRule saoPaulo = RuleOf("America/Sao_Paulo", 2018);
        QCOMPARE(saoPaulo.Bias, int16_t(-180));
        QVERIFY(Same(saoPaulo.Standard, 2, 21, 0, 0));
        QVERIFY(Same(saoPaulo.Daylight, 11, 7, 0, 0));
    }

    void ZonesWithoutSummerTimeStoreMonthsZero() {
        for (const auto& [zone, bias] :
             {std::pair{"Asia/Kolkata", 330}, std::pair{"UTC", 0}, std::pair{"Asia/Tokyo", 540}}) {
            const TimeZoneRule rule = RuleOf(zone, 2026);
            QCOMPARE(rule.Bias, int16_t(bias));
            QVERIFY(Same(rule.Standard, 0, 0, 0, 0));
            QVERIFY(Same(rule.Daylight, 0, 0, 0, 0));
        }
        // Gave up summer time for good in 2019: that year still had its end of summer time.
        QVERIFY(Same(RuleOf("America/Sao_Paulo", 2019).Daylight, 0, 0, 0, 0));
        QVERIFY(!TimeZoneRuleOf(QTimeZone(), 2026));
    }

    void LatestDayOfAChange() {
        QCOMPARE(LatestChangeDay(2, 5), int8_t(28));
        QCOMPARE(LatestChangeDay(4, 5), int8_t(30));
        QCOMPARE(LatestChangeDay(12, 5), int8_t(31));
        for (int month = 1; month <= 12; ++month)
            QCOMPARE(LatestChangeDay(month, 2), int8_t(14));
    }
};

QTEST_GUILESS_MAIN(TimeZoneRuleTest)
#include "time_zone_rule_test.moc"
