#include "sim/sim_schedule.h"

#include "cfg/conversions.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace zel {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int MinutesPerDay = 1440;
constexpr int FullLevel = 4096;

struct KeyPoint {
    int minute;
    std::array<double, ChannelCount> percent; // W, R, G, B
    uint8_t switches;
    int priority; // 0 = kept first when rows are few
};

constexpr uint8_t Day = SwitchDisplay | SwitchClouds;
constexpr uint8_t DayAndStorms = SwitchDisplay | SwitchClouds | SwitchStorms;

// Night keeps a faint blue; dawn and dusk are red-heavy; noon is the brightest and the only
// time with thunderstorms enabled, morning and afternoon have clouds.
constexpr KeyPoint DayCurve[] = {
    {0, {0, 0, 0, 2}, 0, 1},                   // night
    {390, {0, 0, 0, 2}, 0, 7},                 // 06:30 before dawn
    {450, {5, 40, 10, 10}, SwitchDisplay, 2},  // 07:30 sunrise
    {540, {45, 65, 50, 45}, Day, 4},           // 09:00 morning
    {780, {100, 80, 90, 95}, DayAndStorms, 0}, // 13:00 noon
    {1020, {70, 70, 60, 65}, DayAndStorms, 5}, // 17:00 afternoon
    {1170, {8, 55, 15, 20}, SwitchDisplay, 3}, // 19:30 sunset
    {1260, {0, 5, 0, 12}, SwitchDisplay, 6},   // 21:00 dusk
    {1320, {0, 0, 0, 2}, 0, 8},                // 22:00 night
};
constexpr int KeyCount = int(sizeof(DayCurve) / sizeof(DayCurve[0]));

// The curve's key point in effect at a minute (the last one at or before it).
int KeyBefore(int minute) {
    int key = KeyCount - 1;
    for (int i = 0; i < KeyCount; ++i)
        if (DayCurve[i].minute <= minute)
            key = i;
    return key;
}

double CurvePercent(int channel, int minute) {
    const int a = KeyBefore(minute);
    const int b = (a + 1) % KeyCount;
    const int start = DayCurve[a].minute;
    int end = DayCurve[b].minute;
    if (end <= start)
        end += MinutesPerDay;
    const int at = minute < start ? minute + MinutesPerDay : minute;
    const double fraction = double(at - start) / (end - start);
    return DayCurve[a].percent[size_t(channel)] +
           (DayCurve[b].percent[size_t(channel)] - DayCurve[a].percent[size_t(channel)]) * fraction;
}

std::vector<int> RowMinutes(int rowCount) {
    std::vector<int> minutes;
    std::vector<int> order(KeyCount);
    for (int i = 0; i < KeyCount; ++i)
        order[size_t(DayCurve[i].priority)] = i;
    for (int i = 0; i < std::min(rowCount, KeyCount); ++i)
        minutes.push_back(DayCurve[order[size_t(i)]].minute);
    std::sort(minutes.begin(), minutes.end());
    while (int(minutes.size()) < rowCount) {
        // Split the longest gap, counting the one across midnight.
        size_t widest = 0;
        int widestSize = -1;
        for (size_t i = 0; i < minutes.size(); ++i) {
            const int next = i + 1 < minutes.size() ? minutes[i + 1] : minutes[0] + MinutesPerDay;
            if (next - minutes[i] > widestSize) {
                widestSize = next - minutes[i];
                widest = i;
            }
        }
        const int middle = (minutes[widest] + widestSize / 2) % MinutesPerDay;
        minutes.insert(std::upper_bound(minutes.begin(), minutes.end(), middle), middle);
    }
    return minutes;
}

// sin(altitude) × 10000 of an equinox sun at 50.1° N for a row's time. The geo mode reads the
// rows as one rise and one fall, so the day's rows run from the sun's lowest point at midnight
// up to its highest at 13:00 and down again to the next midnight: the morning's thirteen hours
// take the half circle before noon, the afternoon's eleven the half after it.
int RowAltitude(int minute) {
    constexpr int Noon = 780;
    const double halfDay = minute <= Noon ? Noon : MinutesPerDay - Noon;
    const double hourAngle = Pi * (minute - Noon) / halfDay;
    return int(Nearest(std::cos(50.1 * Pi / 180) * std::cos(hourAngle) * 10000));
}

int16_t ClampLevel(double level) {
    return int16_t(std::clamp<int64_t>(Nearest(level), 0, FullLevel));
}

int RowMinute(const ScheduleRow& row) {
    return row.Hour * 60 + row.Minute;
}

bool IsTimeOfDay(const ScheduleRow& row) {
    return row.Hour >= 0 && row.Hour <= 24 && row.Minute >= 0 && row.Minute <= 59 &&
           RowMinute(row) <= MinutesPerDay;
}

// Indexes of the rows that hold a time of day, earliest first (equal times in index order).
std::vector<int> RowsInTimeOrder(const std::vector<ScheduleRow>& rows) {
    std::vector<int> order;
    for (int i = 0; i < int(rows.size()); ++i)
        if (IsTimeOfDay(rows[size_t(i)]))
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return RowMinute(rows[size_t(a)]) < RowMinute(rows[size_t(b)]);
    });
    return order;
}

ScheduleLevels Blend(const ScheduleRow& from, const ScheduleRow& to, double fraction,
                     int activeRow) {
    ScheduleLevels result;
    result.activeRow = activeRow;
    for (int c = 0; c < ChannelCount; ++c)
        result.levels[size_t(c)] =
            ClampLevel(from.Color16[c] + (to.Color16[c] - from.Color16[c]) * fraction);
    return result;
}

} // namespace

std::vector<ScheduleRow> DefaultSchedule(int rowCount) {
    std::vector<ScheduleRow> rows;
    for (const int minute : RowMinutes(rowCount)) {
        ScheduleRow row{};
        row.Hour = int8_t(minute / 60);
        row.Minute = int8_t(minute % 60);
        row.Alt = int16_t(RowAltitude(minute));
        for (int c = 0; c < ChannelCount; ++c)
            row.Color16[c] = int16_t(LevelFromPercent(CurvePercent(c, minute)));
        row.Switch = DayCurve[KeyBefore(minute)].switches;
        rows.push_back(row);
    }
    return rows;
}

ScheduleLevels LevelsAtMinute(const std::vector<ScheduleRow>& rows, double minute) {
    const std::vector<int> order = RowsInTimeOrder(rows);
    if (order.empty())
        return {};
    // The last row at or before the minute; before the first row, yesterday's last one.
    size_t before = order.size() - 1;
    double start = RowMinute(rows[size_t(order.back())]) - MinutesPerDay;
    for (size_t i = 0; i < order.size(); ++i) {
        if (RowMinute(rows[size_t(order[i])]) <= minute) {
            before = i;
            start = RowMinute(rows[size_t(order[i])]);
        }
    }
    const size_t after = (before + 1) % order.size();
    double end = RowMinute(rows[size_t(order[after])]);
    if (end <= start)
        end += MinutesPerDay;
    const double fraction = end > start ? (minute - start) / (end - start) : 0.0;
    return Blend(rows[size_t(order[before])], rows[size_t(order[after])],
                 std::clamp(fraction, 0.0, 1.0), order[before]);
}

ScheduleLevels LevelsAtAltitude(const std::vector<ScheduleRow>& rows, int altitude, bool rising) {
    const std::vector<int> order = RowsInTimeOrder(rows);
    if (order.empty())
        return {};
    const auto highest = std::max_element(order.begin(), order.end(), [&](int a, int b) {
        return rows[size_t(a)].Alt < rows[size_t(b)].Alt;
    });
    const std::vector<int> half = rising ? std::vector<int>(order.begin(), highest + 1)
                                         : std::vector<int>(highest, order.end());
    for (size_t i = 0; i + 1 < half.size(); ++i) {
        const ScheduleRow& a = rows[size_t(half[i])];
        const ScheduleRow& b = rows[size_t(half[i + 1])];
        // Fields of a packed row are read by value: no reference may bind to them.
        if (altitude >= std::min<int>(a.Alt, b.Alt) && altitude <= std::max<int>(a.Alt, b.Alt)) {
            const double fraction =
                a.Alt == b.Alt ? 0.0 : double(altitude - a.Alt) / (b.Alt - a.Alt);
            return Blend(a, b, fraction, half[i]);
        }
    }
    // Beyond every row of the half: the row nearest in altitude holds.
    const int nearest = *std::min_element(half.begin(), half.end(), [&](int a, int b) {
        return std::abs(rows[size_t(a)].Alt - altitude) < std::abs(rows[size_t(b)].Alt - altitude);
    });
    return Blend(rows[size_t(nearest)], rows[size_t(nearest)], 0.0, nearest);
}

SunNow SunAt(qint64 localMs, int biasMinutes, int latTenths, int lonTenths) {
    const QDateTime utc =
        QDateTime::fromMSecsSinceEpoch(localMs - qint64(biasMinutes) * 60000, Qt::UTC);
    const double dayOfYear = utc.date().dayOfYear();
    const double declination = -23.44 * Pi / 180 * std::cos(2 * Pi * (dayOfYear + 10) / 365.0);
    const double utcHours = utc.time().msecsSinceStartOfDay() / 3600000.0;
    double hourAngle = std::fmod((utcHours - 12) * 15 + lonTenths / 10.0, 360.0);
    if (hourAngle > 180)
        hourAngle -= 360;
    else if (hourAngle <= -180)
        hourAngle += 360;
    const double latitude = latTenths / 10.0 * Pi / 180;
    const double sinAltitude =
        std::sin(latitude) * std::sin(declination) +
        std::cos(latitude) * std::cos(declination) * std::cos(hourAngle * Pi / 180);
    return {int(Nearest(sinAltitude * 10000)), hourAngle < 0};
}

} // namespace zel
