// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the get, set and schedule commands share: the command object they parse into and the
// parsing of KEY=VALUE arguments by the settings file's key names.

#include "cfg/device_state.h"
#include "files/settings_keys.h"

#include <QStringList>
#include <QTextStream>

#include <functional>
#include <vector>

namespace zel {

class RecordCommand {
public:
    virtual ~RecordCommand() = default;
    // Prints what was asked for, or changes the records and raises their writes. Throws
    // std::invalid_argument (one line) when the records make the input unusable, e.g. a row
    // the controller does not have; nothing has changed then.
    virtual void Run(DeviceState& state, QTextStream& out) = 0;
};

// One KEY=VALUE argument, checked and parsed for the key's field.
struct Assignment {
    QString Name; // as the settings file names it, e.g. "Config.FanHigh"
    const SettingsKey* Key;
    uint64_t Bits;
};

// Finds the key for the name of an assignment, or throws std::invalid_argument.
using KeyLookup = std::function<const SettingsKey&(const QString& name, QString& canonical)>;

// Parses KEY=VALUE arguments: an empty key or value, a value that is no whole number or out of
// the field's range, bytes that are not UTF-8 each throw std::invalid_argument. A key given
// twice keeps its last value and says so on err.
std::vector<Assignment> ParseAssignments(const QStringList& arguments, const KeyLookup& lookup,
                                         QTextStream& err);

// "unknown setting" with up to three names of candidates close to typed.
[[noreturn]] void RefuseUnknownSetting(const QString& typed, const QStringList& candidates);

// Shortens what a user typed for an error line.
QString Shown(const QString& typed);

// Rejects input with one line: throws std::invalid_argument.
[[noreturn]] void Refuse(const QString& message);

} // namespace zel
