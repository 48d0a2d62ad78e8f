// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// zelphorin-cli's commands on the settings by name: get, set and schedule. Their arguments are
// checked before the link starts, so bad input never reaches the controller; they run once
// the first complete download has filled the records.

#include "cli/record_command.h"

#include <QStringList>
#include <QTextStream>

#include <memory>

namespace zel {

// The command object for get, set and schedule; nullptr for any other command. Throws
// std::invalid_argument with one line for bad input; warnings (a key given twice) go to err.
std::unique_ptr<RecordCommand> ParseRecordCommand(const QString& command,
                                                  const QStringList& arguments, bool json,
                                                  QTextStream& err);

// Every setting name, one a line: the configuration keys as Section.Key, then the row keys as
// N.Key (N standing for a row index). Shell completion reads this list.
QString SettingNamesText();

} // namespace zel
