#pragma once

#include "cli/record_command.h"

#include <memory>

namespace zel {

// schedule [--json]: the rows as a table (or one JSON object).
// schedule set N FIELD=VALUE...: changes row N (0-based, as the settings file numbers it) with
// the row keys of the settings file, and raises the upload of that row alone.
// Throws std::invalid_argument with one line for bad input.
std::unique_ptr<RecordCommand> ParseScheduleCommand(const QStringList& arguments, bool json,
                                                    QTextStream& err);

} // namespace zel
