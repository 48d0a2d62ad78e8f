// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/schedule_cells.h"

#include "cfg/conversions.h"

#include <cmath>
#include <optional>

namespace zel {

namespace {
// Beyond this a real number has no integer the fields could be cut from.
constexpr double LargestWhole = 9.0e18;

std::optional<int64_t> WholeNumber(const QString& text) {
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok, 10);
    return ok ? std::optional<int64_t>(value) : std::nullopt;
}

std::optional<double> RealNumber(const QString& text) {
    try {
        const double value = ParseNumber(text);
        if (std::fabs(value) < LargestWhole)
            return value;
    } catch (const ConversionError&) {
        // Not a number yet (the user is still typing): the field keeps its value.
    }
    return std::nullopt;
}

QString TwoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString ClockText(int hour, int minute) {
    return TwoDigits(hour) + QLatin1Char(':') + TwoDigits(minute);
}

const FieldRange& RangeOfRowKey(const char* key) {
    return FindRowKey(QString::fromLatin1(key))->Range;
}

// Hour 24 is the end of the day: only 24:00 is a time.
std::optional<TypedCell> TypeTime(ScheduleRow row, const QString& text) {
    const FieldRange& hours = RangeOfRowKey("Hour");
    const FieldRange& minutes = RangeOfRowKey("Minute");
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const std::optional<int64_t> hour = colon >= 0 ? WholeNumber(text.left(colon)) : std::nullopt;
    const std::optional<int64_t> minute = WholeNumber(colon >= 0 ? text.mid(colon + 1) : text);
    if (!hour && !minute)
        return std::nullopt;
    const int64_t newHour = hour.value_or(row.Hour);
    const int64_t newMinute = minute.value_or(row.Minute);
    const bool inDay = JudgeTyped(hours, newHour) == TypedValue::Taken &&
                       JudgeTyped(minutes, newMinute) == TypedValue::Taken &&
                       newHour * 60 + newMinute <= hours.Max * 60;
    // "24:" on the way to "24:00" still holds the old minute.
    const bool endOfDayComing = newHour == hours.Max && !minute;
    const TypedValue verdict = inDay            ? TypedValue::Taken
                               : endOfDayComing ? TypedValue::Unfinished
                                                : TypedValue::Refused;
    if (verdict == TypedValue::Taken) {
        row.Hour = int8_t(newHour);
        row.Minute = int8_t(newMinute);
    }
    return TypedCell{verdict, row, ClockText(hours.Min, 0), ClockText(hours.Max, 0)};
}

// Degrees beyond ±90 have a sine too, but name no altitude.
std::optional<TypedCell> TypeAltitude(ScheduleRow row, const QString& text) {
    const std::optional<double> degrees = RealNumber(text);
    if (!degrees)
        return std::nullopt;
    const FieldRange& range = RangeOfRowKey("Alt");
    const bool taken = std::fabs(*degrees) <= *AltitudeDegrees(range.Max);
    if (taken)
        row.Alt = int16_t(AltitudeFromDegrees(*degrees));
    return TypedCell{taken ? TypedValue::Taken : TypedValue::Refused, row, AltitudeText(range.Min),
                     AltitudeText(range.Max)};
}

std::optional<TypedCell> TypeLevel(ScheduleRow row, int channel, const QString& text) {
    const std::optional<double> percent = RealNumber(text);
    if (!percent)
        return std::nullopt;
    const FieldRange& range = LevelRange;
    const int64_t level = LevelFromPercent(*percent);
    const TypedValue verdict = JudgeTyped(range, level);
    if (verdict == TypedValue::Taken)
        row.Color16[channel] = int16_t(level);
    return TypedCell{verdict, row, LevelText(range.Min), LevelText(range.Max)};
}

std::optional<TypedCell> TypeTimer(ScheduleRow row, const QString& text) {
    const std::optional<int64_t> timer = WholeNumber(text);
    if (!timer)
        return std::nullopt;
    const FieldRange& range = RangeOfRowKey("Timer");
    const TypedValue verdict = JudgeTyped(range, *timer);
    if (verdict == TypedValue::Taken)
        row.Timer = int16_t(*timer);
    return TypedCell{verdict, row, QString::number(range.Min), QString::number(range.Max)};
}
} // namespace

bool IsSwitchColumn(int column) {
    return column >= ColDisplay && column <= ColStorms;
}

uint8_t SwitchBitOf(int column) {
    switch (column) {
    case ColDisplay:
        return SwitchDisplay;
    case ColClouds:
        return SwitchClouds;
    case ColStorms:
        return SwitchStorms;
    default:
        return 0;
    }
}

ScheduleCells FormatScheduleRow(int index, const ScheduleRow& row, bool geo,
                                const SwitchWords& words) {
    ScheduleCells cells;
    cells[ColLine] = QString::number(index);
    cells[ColTime] = geo ? AltitudeText(row.Alt) : ClockText(row.Hour, row.Minute);
    for (int channel = 0; channel < ChannelCount; ++channel)
        cells[size_t(ColFirstChannel + channel)] = LevelText(row.Color16[channel]);
    for (int column = ColDisplay; column <= ColStorms; ++column)
        cells[size_t(column)] = (row.Switch & SwitchBitOf(column)) ? words.On : words.Off;
    cells[ColTimer] = QString::number(row.Timer);
    return cells;
}

std::optional<TypedCell> TypeScheduleCell(const ScheduleRow& row, int column, const QString& text,
                                          bool geo) {
    if (column == ColTime)
        return geo ? TypeAltitude(row, text) : TypeTime(row, text);
    if (column >= ColFirstChannel && column < ColFirstChannel + ChannelCount)
        return TypeLevel(row, column - ColFirstChannel, text);
    if (column == ColTimer)
        return TypeTimer(row, text);
    return std::nullopt;
}

ScheduleRow ParseScheduleRow(ScheduleRow row, const ScheduleCells& cells, bool geo,
                             const SwitchWords& words) {
    // A cell that still shows its field keeps the field: taking a rounded text back would
    // move an altitude by a step whenever another cell of the row is edited.
    const ScheduleCells shown = FormatScheduleRow(0, row, geo, words);
    for (int column = ColTime; column < ScheduleColumnCount; ++column) {
        if (cells[size_t(column)] == shown[size_t(column)])
            continue;
        const std::optional<TypedCell> typed =
            TypeScheduleCell(row, column, cells[size_t(column)], geo);
        if (typed && typed->Verdict == TypedValue::Taken)
            row = typed->Row;
    }
    for (int column = ColDisplay; column <= ColStorms; ++column) {
        if (cells[size_t(column)] == words.Off)
            row.Switch &= uint8_t(~SwitchBitOf(column));
        else if (cells[size_t(column)] == words.On)
            row.Switch |= SwitchBitOf(column);
    }
    return row;
}

} // namespace zel
