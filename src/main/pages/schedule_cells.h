// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The texts of a schedule row's cells in the schedule grid, and the row that typed texts
// make of them.

#include "cfg/records.h"
#include "files/settings_keys.h"

#include <QString>

#include <array>
#include <optional>

namespace zel {

enum ScheduleColumn : int {
    ColLine = 0,
    ColTime = 1, // time of day, or the sun's altitude in the mode Geo
    ColFirstChannel = 2,
    ColDisplay = ColFirstChannel + ChannelCount,
    ColClouds,
    ColStorms,
    ColTimer,
    ScheduleColumnCount
};

// One text per column, the line number included.
using ScheduleCells = std::array<QString, ScheduleColumnCount>;

// The translated words of the switch columns.
struct SwitchWords {
    QString On;
    QString Off;
};

bool IsSwitchColumn(int column);
// The Switch bit a switch column shows.
uint8_t SwitchBitOf(int column);

ScheduleCells FormatScheduleRow(int index, const ScheduleRow& row, bool geo,
                                const SwitchWords& words);

// A number typed into a text cell: what it is to its field, the row with it taken over, and
// the range in the cell's own terms ("00:00" to "24:00", "0" to "100").
struct TypedCell {
    TypedValue Verdict;
    ScheduleRow Row;
    QString Min;
    QString Max;
};

// Empty when the text is no number (yet). A time without a colon is the minute alone, and
// "12:" keeps the minute; a time is taken from 00:00 to 24:00, an altitude from -90 to 90
// degrees, a level from 0 to 100 %.
std::optional<TypedCell> TypeScheduleCell(const ScheduleRow& row, int column, const QString& text,
                                          bool geo);

// `row` with every text cell whose number is taken (TypeScheduleCell) taken over, each on its
// own; a cell that does not parse, is not taken, or still shows what the row holds, leaves its
// field as it was. A switch cell that shows neither word (a line not filled yet) leaves its
// bit.
ScheduleRow ParseScheduleRow(ScheduleRow row, const ScheduleCells& cells, bool geo,
                             const SwitchWords& words);

} // namespace zel
