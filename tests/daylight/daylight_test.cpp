// SPDX-License-Identifier: GPL-3.0-or-later
#include "daylight/daylight.h"

#include "sunmoon/rise_set.h"

#include <QTest>

#include <cmath>
#include <cstring>

using namespace zel;

Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(zel::ScheduleRow)

namespace {

struct Lit {
    int First = -1; // first minute the curve is above zero
    int Last = -1;  // last such minute
    int Span() const { return First < 0 ? 0 : Last - First + 1; }
};

template <typename LevelAt> Lit LitMinutes(LevelAt levelAt) {
    Lit lit;
    for (int minute = 0; minute <= MinutesPerDay; ++minute) {
        if (levelAt(minute) > 0) {
            lit.First = lit.First < 0 ? minute : lit.First;
            lit.Last = minute;
        }
    }
    return lit;
}

DaylightRequest Request(double lat, double lon, const QDate& date, int offsetMinutes) {
    DaylightRequest request;
    request.Latitude = lat;
    request.Longitude = lon;
    request.Year = date.year();
    request.Month = date.month();
    request.Day = date.day();
    request.UtcOffsetMinutes = offsetMinutes;
    return request;
}

ScheduleRow Row(int hour, int minute, ChannelValues levels) {
    ScheduleRow row{};
    row.Hour = int8_t(hour);
    row.Minute = int8_t(minute);
    for (int channel = 0; channel < ChannelCount; ++channel)
        row.Color16[channel] = int16_t(levels[size_t(channel)]);
    return row;
}

} // namespace

class DaylightTest : public QObject {
    Q_OBJECT
private slots:
    void FollowsTheSun_data() {
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("lon");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<std::optional<double>>("noon");
        const QDate june(2024, 6, 21), december(2024, 12, 21), march(2024, 3, 20);
        for (const auto& [name, date] : {std::pair{"June", june}, std::pair{"December", december},
                                         std::pair{"March", march}}) {
            QTest::addRow("equator %s", name) << 0.0 << 0.0 << date << std::optional<double>();
            QTest::addRow("60N %s", name) << 60.0 << 15.0 << date << std::optional<double>();
        }
        QTest::addRow("equator March, noon at 15:00")
            << 0.0 << 0.0 << march << std::optional<double>(15 * 60);
        QTest::addRow("60N December, noon at 14:30")
            << 60.0 << 15.0 << december << std::optional<double>(14 * 60 + 30);
    }

    // Within 2 % at every minute, lit exactly as long as the Geo page's day, peak at the noon.
    void FollowsTheSun() {
        QFETCH(double, lat);
        QFETCH(double, lon);
        QFETCH(QDate, date);
        QFETCH(std::optional<double>, noon);
        const int offset = int(lon / 15) * 60;
        DaylightRequest request = Request(lat, lon, date, offset);
        request.NoonMinutes = noon;
        const DaylightCurve curve = DesignDaylight(request);
        const DaylightFit fit = FitScheduleRows(curve, DefaultDesignRows);
        QCOMPARE(int(fit.Rows.size()), DefaultDesignRows);

        for (int channel = 0; channel < ChannelCount; ++channel)
            for (int minute = 0; minute <= MinutesPerDay; ++minute)
                QVERIFY2(
                    std::fabs(ScheduleLevelAt(fit.Rows, channel, minute) -
                              curve.Levels[size_t(channel)][size_t(minute)]) <= FitTolerance,
                    qPrintable(QStringLiteral("channel %1 at minute %2").arg(channel).arg(minute)));
        for (size_t k = 1; k < fit.Rows.size(); ++k)
            QVERIFY(fit.Rows[k].Hour * 60 + fit.Rows[k].Minute >=
                    fit.Rows[k - 1].Hour * 60 + fit.Rows[k - 1].Minute);
        QCOMPARE(
            std::memcmp(&fit.Rows.back(), &fit.Rows[size_t(fit.UsedRows - 1)], sizeof(ScheduleRow)),
            0);

        const TRiseSetTimes sun =
            SunEvents(false, offset / 60.0, lat * RadiansPerDegree, lon * RadiansPerDegree, DeltaT,
                      JulianDay(date.day(), date.month(), date.year()));
        const double dayLength = std::fmod(sun.Set - sun.Rise + 24, 24) * 60;
        const Lit lit = LitMinutes([&](int m) { return ScheduleLevelAt(fit.Rows, 0, m); });
        QVERIFY2(
            std::fabs(lit.Span() - dayLength) <= 3,
            qPrintable(QStringLiteral("lit %1 min, day %2 min").arg(lit.Span()).arg(dayLength)));
        if (!noon)
            QVERIFY(std::fabs(lit.First - std::fmod(sun.Rise, 24) * 60) <= 3);

        const std::vector<double>& white = curve.Levels[0];
        const int peak = int(std::max_element(white.begin(), white.end()) - white.begin());
        QVERIFY(std::fabs(peak - noon.value_or(std::fmod(sun.Transit, 24) * 60)) <= 2);
        QVERIFY(white[size_t(peak)] > FullLevel - 1); // the noon is full level
    }

    void PolarDayIsLitAroundTheClockAndPolarNightNever() {
        const DaylightFit day =
            FitScheduleRows(DesignDaylight(Request(70, 20, QDate(2024, 6, 21), 120)), 32);
        QCOMPARE(LitMinutes([&](int m) { return ScheduleLevelAt(day.Rows, 0, m); }).Span(),
                 MinutesPerDay + 1);
        QCOMPARE(day.Rows.front().Hour * 60 + day.Rows.front().Minute, 0);
        QCOMPARE(int(day.Rows.back().Hour), 24);
        QVERIFY(day.MaxDeviation <= FitTolerance);

        const DaylightCurve night = DesignDaylight(Request(75, 20, QDate(2024, 12, 21), 60));
        QVERIFY(night.PolarNight);
        QVERIFY(FitScheduleRows(night, 32).Rows.empty());
    }

    // Blue starts 30 min earlier and ends 60 min later; white keeps the sun's span.
    void DawnAndDuskStretchAChannel() {
        DaylightRequest request = Request(50, 8.5, QDate(2024, 3, 20), 60);
        request.DawnMinutes[3] = 30;
        request.DuskMinutes[3] = 60;
        request.MaxLevel[3] = 2048;
        const DaylightFit fit = FitScheduleRows(DesignDaylight(request), 32);
        const Lit white = LitMinutes([&](int m) { return ScheduleLevelAt(fit.Rows, 0, m); });
        const Lit blue = LitMinutes([&](int m) { return ScheduleLevelAt(fit.Rows, 3, m); });
        QVERIFY2(std::abs(white.First - blue.First - 30) <= 1,
                 qPrintable(QString::number(blue.First)));
        QVERIFY2(std::abs(blue.Last - white.Last - 60) <= 1,
                 qPrintable(QString::number(blue.Last)));
        QVERIFY(fit.MaxDeviation <= FitTolerance);
    }

    void TooFewRowsAreRefused() {
        QVERIFY_THROWS_EXCEPTION(
            std::invalid_argument,
            FitScheduleRows(DesignDaylight(Request(0, 0, QDate(2024, 3, 20), 0)), 4));
    }

    // W rises to full at noon and falls back; R ends the day full, so the morning starts full;
    // G holds half; B stays dark.
    void DoseOfAHandMadeDay() {
        const std::vector<ScheduleRow> rows = {Row(6, 0, {0, 0, 2048, 0}),
                                               Row(12, 0, {4096, 4096, 2048, 0}),
                                               Row(18, 0, {0, 4096, 2048, 0})};
        const auto dose = DailyDoseHours(rows);
        QVERIFY(dose);
        QCOMPARE(*dose, (std::array<double, ChannelCount>{6, 18, 12, 0}));
        QCOMPARE(DailyLightIntegral((*dose)[0], 500), 10.8);
        QVERIFY(!DailyDoseHours({rows[1], rows[0]}));
    }

    void RowsThatAreNoDay_data() {
        QTest::addColumn<ScheduleRow>("row");
        QTest::addColumn<QString>("problem");
        QTest::addRow("out of order")
            << Row(5, 0, {}) << "row 1: 05:00 comes before the row above it";
        QTest::addRow("minute 60") << Row(7, 60, {}) << "row 1: 07:60 is not a time of the day";
        QTest::addRow("after midnight")
            << Row(24, 1, {}) << "row 1: 24:01 is not a time of the day";
        QTest::addRow("above full") << Row(7, 0, {0, 4097, 0, 0})
                                    << "row 1: the level 4097 of channel 1 is outside 0..4096";
        QTest::addRow("fine") << Row(24, 0, {4096, 0, 0, 0}) << QString();
    }

    void RowsThatAreNoDay() {
        QFETCH(ScheduleRow, row);
        QFETCH(QString, problem);
        QCOMPARE(ScheduleRowsProblem({Row(6, 0, {}), row}), problem);
    }

    void AcclimationFactor_data() {
        QTest::addColumn<int>("day");
        QTest::addColumn<double>("factor");
        QTest::addColumn<int>("level"); // of a baseline level 4096
        QTest::addRow("before the start") << -3 << 0.3 << 1229;
        QTest::addRow("at the start") << 0 << 0.3 << 1229;
        QTest::addRow("midway") << 7 << 0.65 << 2662;
        QTest::addRow("last day") << 14 << 1.0 << 4096;
        QTest::addRow("after the end") << 40 << 1.0 << 4096;
    }

    void AcclimationFactor() {
        QFETCH(int, day);
        QFETCH(double, factor);
        QFETCH(int, level);
        const double f = zel::AcclimationFactor(day, 14, 30, 100);
        QCOMPARE(f, factor);
        const ScheduleRow scaled = ScaleLevels({Row(6, 30, {4096, 0, 2048, 1})}, f).front();
        QCOMPARE(int(scaled.Color16[0]), level);
        QCOMPARE(int(scaled.Color16[1]), 0);
        QCOMPARE(scaled.Hour * 60 + scaled.Minute, 6 * 60 + 30);
    }
};

QTEST_GUILESS_MAIN(DaylightTest)
#include "daylight_test.moc"
