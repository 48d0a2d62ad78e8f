// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/record_command.h"

#include <memory>

namespace zel {

// schedule [--json]: the rows as a table (or one JSON object).
// schedule set N FIELD=VALUE...: changes row N (0-based, as the settings file numbers it) with
// the row keys of the settings file, and raises the upload of that row alone.
// schedule design ...: see daylight_command.h.
// Throws std::invalid_argument with one line for bad input.
std::unique_ptr<RecordCommand> ParseScheduleCommand(const QStringList& arguments, bool json,
                                                    QTextStream& err);

} // namespace zel

namespace zel {

// The rows as `schedule` prints them (a table, or one JSON object), with the daily dose.
void PrintSchedule(const std::vector<ScheduleRow>& rows, bool geo, bool json, QTextStream& out);

} // namespace zel
