// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/settings_file.h"

#include "files/ini_document.h"
#include "files/settings_keys.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

namespace zel {

namespace {

// Stores every key of keys that the document holds as an integer; the rest stay as they are.
// block(FieldBlock) gives the bytes the keys point into.
template <class BlockOf>
void ImportKeys(const IniDocument& document, const std::vector<SettingsKey>& keys,
                const QString& rowSection, BlockOf block) {
    for (const SettingsKey& key : keys) {
        const QString& section = key.Section.isEmpty() ? rowSection : key.Section;
        if (const std::optional<uint64_t> value = document.Integer(section, key.Key))
            StoreField(block(key.Block), key, *value);
    }
}

// An import that finds none of its sections refuses the file rather than send the controller
// its own settings back as if they were the file's.
void RequireSection(const IniDocument& document, const QStringList& sections, const QString& path,
                    const QString& wanted) {
    for (const QString& section : sections)
        if (document.HasSection(section))
            return;
    throw FileError(
        QStringLiteral("Cannot import %1: %2").arg(QDir::toNativeSeparators(path), wanted));
}

// The document WriteSettingsFile writes: the file at path, if any, updated from the records.
IniDocument SettingsDocument(const QString& path, DeviceState& state) {
    IniDocument document = QFileInfo::exists(path) ? IniDocument::FromFile(path) : IniDocument();
    for (const SettingsEntry& entry : SettingsEntries(CopyRecords(state)))
        document.SetValue(entry.Section, entry.Key, QString::number(entry.Value));
    return document;
}

// The backup about to be replaced becomes path + ".1", unless the new one says the same: so
// the last different backup survives a bad one. Throws FileError, leaving both as they were.
void KeepPreviousBackup(const QString& path, const QByteArray& next) {
    if (!QFileInfo::exists(path))
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("Cannot read %1: %2")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
    // The document was read from this file a moment ago, within the size limit.
    const QByteArray previous = file.read(MaxIniFileSize + 1);
    if (previous != next)
        SaveFileAtomically(path + QStringLiteral(".1"), previous);
}

} // namespace

void WriteSettingsFile(const QString& path, DeviceState& state) {
    SettingsDocument(path, state).Save(path);
}

QByteArray SettingsFileBytes(DeviceState& state) {
    return SettingsDocument(QString(), state).ToBytes();
}

void ImportConfiguration(const QString& path, DeviceState& state) {
    const IniDocument document = IniDocument::FromFile(path);
    static const QStringList sections = {QStringLiteral("Config"), QStringLiteral("Weather"),
                                         QStringLiteral("Names"), QStringLiteral("RC5"),
                                         QStringLiteral("TimeZone")};
    RequireSection(document, sections, path,
                   QStringLiteral("no section Config, Weather, Names, RC5 or TimeZone"));
    {
        std::lock_guard<std::mutex> guard(state.RequestLock);
        ImportKeys(document, ConfigurationKeys(), QString(),
                   [&state](FieldBlock block) { return BlockBytes(state, block); });
    }
    state.Raise(rqImportConfig);
}

bool ImportSchedule(const QString& path, DeviceState& state) {
    const IniDocument document = IniDocument::FromFile(path);
    // Refused while rows are coming in: the download would overwrite what is imported. Tested
    // after the file is read, since the link thread may have asked for the rows meanwhile.
    if (state.ScheduleDownloadPending())
        return false;
    const size_t rows = state.Schedule.size();
    if (rows > 0) {
        QStringList sections;
        for (size_t row = 0; row < rows; ++row)
            sections.append(QString::number(row));
        RequireSection(document, sections, path,
                       QStringLiteral("no section of the rows 0 to %1").arg(rows - 1));
    }
    {
        std::lock_guard<std::mutex> guard(state.RequestLock);
        for (size_t row = 0; row < state.Schedule.size(); ++row) {
            auto* bytes = reinterpret_cast<unsigned char*>(&state.Schedule[row]);
            ImportKeys(document, RowKeys(), QString::number(row),
                       [bytes](FieldBlock) { return bytes; });
        }
    }
    state.MarkAllRows();
    return true;
}

std::vector<ScheduleRow> ReadScheduleRows(const QString& path, size_t count) {
    const IniDocument document = IniDocument::FromFile(path);
    std::vector<ScheduleRow> rows(count, ScheduleRow{});
    for (size_t row = 0; row < count; ++row) {
        const QString section = QString::number(row);
        auto* bytes = reinterpret_cast<unsigned char*>(&rows[row]);
        for (const SettingsKey& key : RowKeys()) {
            const std::optional<QString> text = document.Value(section, key.Key);
            QString error = QStringLiteral("missing");
            const std::optional<uint64_t> value =
                text ? ParseSettingValue(key, *text, error) : std::nullopt;
            if (!value)
                throw FileError(QStringLiteral("%1: row %2, %3: %4")
                                    .arg(QDir::toNativeSeparators(path), section, key.Key, error));
            StoreField(bytes, key, *value);
        }
    }
    return rows;
}

QString BackupPortName(const QString& entry) {
    const QString port = entry.section(QLatin1Char(' '), 0, 0);
    // Only a bare name may reach the path: "/dev/ttyUSB0" gives "ttyUSB0", "../../x" gives "x".
    // A backslash counts as a separator as well, for entries written on Windows.
    const qsizetype separator =
        std::max(port.lastIndexOf(QLatin1Char('/')), port.lastIndexOf(QLatin1Char('\\')));
    const QString name = port.mid(separator + 1);
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QString();
    return name;
}

namespace {
// A folder of installed programs: one on PATH, or a prefix's bin folder (~/.local/bin whether
// on PATH or not). Decided where the program runs, as one build may be installed anywhere.
bool IsProgramsFolder(const QString& canonical) {
    const QString name = QFileInfo(canonical).fileName();
    if (name == QLatin1String("bin") || name == QLatin1String("sbin"))
        return true;
    const QStringList path =
        qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    return std::any_of(path.begin(), path.end(), [&](const QString& folder) {
        return QFileInfo(folder).canonicalFilePath() == canonical;
    });
}
} // namespace

QString SettingsDirectory(const QString& programDir) {
    const QString canonical = QFileInfo(programDir).canonicalFilePath();
    if (!canonical.isEmpty() && !IsProgramsFolder(canonical) && QFileInfo(programDir).isWritable())
        return programDir;
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // A failure to create it shows when the backup is written, which reports it.
    QDir().mkpath(dataDir);
    return dataDir;
}

QString SettingsDirectory() {
    return SettingsDirectory(QCoreApplication::applicationDirPath());
}

BackupResult WriteBackup(const QString& entry, DeviceState& state, const QString& directory) {
    BackupResult result;
    const QString port = BackupPortName(entry);
    if (port.isEmpty())
        return result;
    result.Path =
        QDir(directory).filePath(QStringLiteral("Backup_") + port + QStringLiteral(".ini"));
    try {
        const QByteArray bytes = SettingsDocument(result.Path, state).ToBytes();
        KeepPreviousBackup(result.Path, bytes);
        SaveFileAtomically(result.Path, bytes);
    } catch (const FileError& error) {
        result.Error = error.Message(); // the caller logs it; a lost backup must not be silent
    }
    return result;
}

} // namespace zel
