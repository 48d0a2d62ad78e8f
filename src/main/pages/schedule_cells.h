// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The texts of a schedule row's cells in the schedule grid, and the row that typed texts
// make of them.

#include "cfg/records.h"

#include <QString>

#include <array>

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

// `row` with every cell that parses taken over, each on its own; a cell that does not parse,
// or still shows what the row holds, leaves its field as it was. Numbers are stored cut to
// the field's width (hour 25 stays 25, 150 % is 6144); a number beyond any integer is no
// number at all. A time without a colon is the minute alone, and "12:" keeps the minute. A
// switch cell that shows neither word (a line not filled yet) leaves its bit.
ScheduleRow ParseScheduleRow(ScheduleRow row, const ScheduleCells& cells, bool geo,
                             const SwitchWords& words);

} // namespace zel
