// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// zelphorin-cli's designed days and acclimation:
//   schedule design --lat D --lon D --date YYYY-MM-DD [--tz ZONE] [--noon HH:MM]
//                   [--max W=P,R=P,G=P,B=P] [--dawn W=MIN,...] [--dusk W=MIN,...] [--rows N]
//                   [--apply]
//   acclimate --baseline FILE --start YYYY-MM-DD --days N --from P [--to P]
//             [--today YYYY-MM-DD]
// Bad input throws std::invalid_argument with one line, before the link starts.

#include "cli/settings_command.h"

namespace zel {

// With a controller: its rows (capped by --rows) and, when --lat and --lon are left out, its
// place; --apply sends the rows that differ from the controller's.
std::unique_ptr<RecordCommand> ParseDesignCommand(const QStringList& arguments, bool json);

// `schedule design` without a port: --rows N (32 when not given) stands for the controller's
// rows. Prints the
// rows and returns the exit code; bad input is one line on err and ExitBadFile.
int RunOfflineDesign(const QStringList& arguments, bool json, QTextStream& out, QTextStream& err);

// Today's share of the baseline's levels; sends only the rows that differ from the
// controller's, so a second run on one day sends nothing.
std::unique_ptr<RecordCommand> ParseAcclimateCommand(const QStringList& arguments);

} // namespace zel
