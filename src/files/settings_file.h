// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The settings file: export of configuration and schedule, the two imports and the automatic
// backup. Everything here runs on the host thread, which owns the records; the window's menu
// handlers and the command-line program call these same functions.

#include "cfg/device_state.h"

#include <QString>

namespace zel {

// Writes the sections "Config", "Weather", "Names", "RC5", "TimeZone" and one section per row of
// the current schedule from a copy of the records taken under RequestLock. An existing file is
// updated in place: what it holds beyond these keys (older rows, comments) stays. Throws
// FileError; the file is then as it was.
void WriteSettingsFile(const QString& path, DeviceState& state);
// The bytes of a new such file, for a caller that writes them elsewhere (stdout).
QByteArray SettingsFileBytes(DeviceState& state);

// Reads the five configuration sections (never the rows) into Config, Expert and
// ExpertWeather; a missing or malformed key leaves its field alone, a number too wide is cut.
// Then raises rqSetConfig, rqSetExpert and rqSetExpertWeather, also when the sections held none
// of the keys. The caller refreshes the window. Throws FileError, before any field changes,
// when the file cannot be read or has none of the five sections.
void ImportConfiguration(const QString& path, DeviceState& state);

// Reads the sections of rows 0 to the current last row (the row count never changes), marks
// every row dirty and raises rqSetSchedule. Returns false, changing nothing, while a schedule
// download is pending. Throws FileError, before any row changes, when the file cannot be read
// or has no section of those rows.
bool ImportSchedule(const QString& path, DeviceState& state);

// Rows 0 to count - 1 of a settings file, for a schedule that is read as a plan, not imported:
// every row key must be there and hold a value within its field's range. Throws FileError
// naming the first row and key that is missing or out of range.
std::vector<ScheduleRow> ReadScheduleRows(const QString& path, size_t count);

// The port part of a connection entry as it may appear in a file name: the entry up to its
// first blank, reduced to its last path component. Empty when nothing usable is left.
QString BackupPortName(const QString& entry);

// The program directory when it is writable and not a folder of installed programs (one on
// PATH or any bin folder: an installed program run as root must not write into /usr/bin),
// else the per-user data directory (created). Backups go there and the settings file
// dialogs open there.
QString SettingsDirectory(const QString& programDir);
QString SettingsDirectory(); // for this program

struct BackupResult {
    QString Path;  // the backup file; empty when the entry names no port
    QString Error; // why it could not be written; empty on success
};

// Writes "Backup_" + port + ".ini" into directory; the backup it replaces, when different, is
// kept as "Backup_" + port + ".ini.1". The caller decides whether a controller is
// connected and logs Error when it is not empty.
BackupResult WriteBackup(const QString& entry, DeviceState& state,
                         const QString& directory = SettingsDirectory());

} // namespace zel
