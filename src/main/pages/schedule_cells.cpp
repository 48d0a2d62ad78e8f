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

// Cut to the low bytes, as the controller's field holds it.
int8_t Cut8(int64_t value) {
    return int8_t(uint8_t(uint64_t(value)));
}
int16_t Cut16(int64_t value) {
    return int16_t(uint16_t(uint64_t(value)));
}

QString TwoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

void ParseTime(ScheduleRow& row, const QString& text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        if (const auto hour = WholeNumber(text.left(colon)))
            row.Hour = Cut8(*hour);
    }
    if (const auto minute = WholeNumber(colon >= 0 ? text.mid(colon + 1) : text))
        row.Minute = Cut8(*minute);
}

void ParseAltitude(ScheduleRow& row, const QString& text) {
    if (const auto degrees = RealNumber(text))
        row.Alt = Cut16(AltitudeFromDegrees(*degrees));
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
    cells[ColTime] = geo ? AltitudeText(row.Alt)
                         : TwoDigits(row.Hour) + QLatin1Char(':') + TwoDigits(row.Minute);
    for (int channel = 0; channel < ChannelCount; ++channel)
        cells[size_t(ColFirstChannel + channel)] = LevelText(row.Color16[channel]);
    for (int column = ColDisplay; column <= ColStorms; ++column)
        cells[size_t(column)] = (row.Switch & SwitchBitOf(column)) ? words.On : words.Off;
    cells[ColTimer] = QString::number(row.Timer);
    return cells;
}

ScheduleRow ParseScheduleRow(ScheduleRow row, const ScheduleCells& cells, bool geo,
                             const SwitchWords& words) {
    // A cell that still shows its field keeps the field: taking a rounded text back would
    // move an altitude by a step whenever another cell of the row is edited.
    const ScheduleCells shown = FormatScheduleRow(0, row, geo, words);
    const auto changed = [&](int column) { return cells[size_t(column)] != shown[size_t(column)]; };
    if (changed(ColTime)) {
        if (geo)
            ParseAltitude(row, cells[ColTime]);
        else
            ParseTime(row, cells[ColTime]);
    }
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const int column = ColFirstChannel + channel;
        if (!changed(column))
            continue;
        if (const auto percent = RealNumber(cells[size_t(column)]))
            row.Color16[channel] = Cut16(LevelFromPercent(*percent));
    }
    for (int column = ColDisplay; column <= ColStorms; ++column) {
        if (cells[size_t(column)] == words.Off)
            row.Switch &= uint8_t(~SwitchBitOf(column));
        else if (cells[size_t(column)] == words.On)
            row.Switch |= SwitchBitOf(column);
    }
    if (changed(ColTimer)) {
        if (const auto timer = WholeNumber(cells[ColTimer]))
            row.Timer = Cut16(*timer);
    }
    return row;
}

} // namespace zel
