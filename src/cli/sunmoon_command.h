// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QStringList>
#include <QTextStream>

namespace zel {

// `zelphorin-cli sunmoon`: what the Geo page computes for a place and local moment.
// arguments: the program's arguments, in which the command word "sunmoon" is skipped:
//   sunmoon --lat DEG --lon DEG --date YYYY-MM-DD --time HH:MM [--tz HOURS] [--json]
//   [--english|--german]
// Without --tz the offset is the system zone's for that moment; without a language switch the
// language in use stays. Numbers are written with "." whatever the locale, so scripts can read
// them. Returns 0, 64 for a malformed command line or 4 for a value that cannot be used (one
// line on err), 1 when the computation failed.
int RunSunMoonCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);

// The place and date options the astronomy takes, shared by the commands that compute with
// them. Each throws std::invalid_argument with one line naming the option.
double ParseDegreesArgument(const QString& option, const QString& text, int limit);
// An existing date YYYY-MM-DD within the astronomy's range (1900-03-01 to 2100-02-28).
QDate ParseDateArgument(const QString& option, const QString& text);

} // namespace zel
