#include "files/settings_file.h"

#include "files/ini_document.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>

namespace zel {

namespace {

// Keys are described by where their bytes lie in the record rather than by reference: the
// records are packed, and a 16-bit field at an odd offset cannot be bound to an int16_t&.
enum class FieldBlock : uint8_t { Config, Expert, ExpertWeather, Row };
enum class FieldType : uint8_t { U8, I8, U16, I16 };

struct SettingsKey {
    QString Section; // empty for the row keys: a row's section is its index
    QString Key;
    FieldBlock Block;
    size_t Offset;
    FieldType Type;
};

template <class T> constexpr FieldType TypeOf() {
    static_assert(std::is_integral_v<T> && sizeof(T) <= 2);
    if (sizeof(T) == 1)
        return std::is_signed_v<T> ? FieldType::I8 : FieldType::U8;
    return std::is_signed_v<T> ? FieldType::I16 : FieldType::U16;
}

int Width(FieldType type) {
    return type == FieldType::U8 || type == FieldType::I8 ? 1 : 2;
}

// The INI key is the field's name; a per-channel field adds the channel index to it.
#define ZEL_KEY(section, Record, block, field)                                                     \
    SettingsKey {                                                                                  \
        QStringLiteral(section), QStringLiteral(#field), block, offsetof(Record, field),           \
            TypeOf<decltype(Record::field)>()                                                      \
    }
#define ZEL_CHANNEL_KEY(section, Record, block, field, channel)                                    \
    SettingsKey {                                                                                  \
        QStringLiteral(section), QStringLiteral(#field) + QString::number(channel), block,         \
            offsetof(Record, field) + size_t(channel) * sizeof(Record::field[0]),                  \
            TypeOf<std::remove_extent_t<decltype(Record::field)>>()                                \
    }

// The five configuration sections, in the order they are written.
std::vector<SettingsKey> MakeConfigurationKeys() {
    constexpr FieldBlock C = FieldBlock::Config;
    constexpr FieldBlock E = FieldBlock::Expert;
    constexpr FieldBlock W = FieldBlock::ExpertWeather;
    std::vector<SettingsKey> keys = {
        ZEL_KEY("Config", ConfigBlock, C, Mode),
        ZEL_KEY("Config", ConfigBlock, C, Flag),
        ZEL_KEY("Config", ConfigBlock, C, FanLow),
        ZEL_KEY("Config", ConfigBlock, C, FanHigh),
        ZEL_KEY("Config", ExpertBlock, E, FanOff),
        ZEL_KEY("Config", ExpertBlock, E, FanMode),
        ZEL_KEY("Config", ExpertBlock, E, TempWaterLow),
        ZEL_KEY("Config", ExpertBlock, E, TempWaterHigh),
        ZEL_KEY("Config", ConfigBlock, C, LCDBLMin),
        ZEL_KEY("Config", ConfigBlock, C, LCDBLMax),
        ZEL_KEY("Config", ConfigBlock, C, TimeLapse),
        ZEL_KEY("Config", ConfigBlock, C, Lat),
        ZEL_KEY("Config", ConfigBlock, C, Lon),
        ZEL_KEY("Config", ExpertBlock, E, JMPMode),
        ZEL_KEY("Config", ExpertBlock, E, TempCoolLow),
        ZEL_KEY("Config", ExpertBlock, E, TempCoolHigh),
        ZEL_KEY("Config", ExpertBlock, E, TempHeatLow),
        ZEL_KEY("Config", ExpertBlock, E, TempHeatHigh),
        ZEL_KEY("Config", ExpertBlock, E, ChartMode),
        ZEL_KEY("Config", ExpertBlock, E, ChartInterval),
        ZEL_KEY("Config", ExpertBlock, E, ChartScale),
        ZEL_KEY("Config", ExpertBlock, E, PWMPrescaler),
        ZEL_KEY("Config", ExpertBlock, E, TWIBitrate),
        ZEL_KEY("Config", ExpertBlock, E, RandomInit),
        ZEL_KEY("Config", ExpertBlock, E, LCDBLNight),
        ZEL_KEY("Config", ExpertBlock, E, Language),
        ZEL_KEY("Config", ExpertBlock, E, TempOffset),
        ZEL_KEY("Config", ExpertBlock, E, CloudTempWater),
        ZEL_KEY("Config", ExpertBlock, E, CloudTempBoard),
        ZEL_KEY("Config", ExpertBlock, E, BalanceSumRamp),

        ZEL_KEY("Weather", ConfigBlock, C, CloudP),
        ZEL_KEY("Weather", ConfigBlock, C, CloudD),
        ZEL_KEY("Weather", ConfigBlock, C, StormP),
        ZEL_KEY("Weather", ConfigBlock, C, StormD),
        ZEL_KEY("Weather", ExpertWeatherBlock, W, CloudStep),
        ZEL_KEY("Weather", ExpertWeatherBlock, W, StormStep),
        ZEL_KEY("Weather", ExpertWeatherBlock, W, CloudAlpha),
        ZEL_KEY("Weather", ExpertWeatherBlock, W, StormAlpha),
        ZEL_KEY("Weather", ExpertWeatherBlock, W, LightningP),
    };
    for (int n = 0; n < ChannelCount; ++n) {
        keys.push_back(ZEL_CHANNEL_KEY("Weather", ExpertWeatherBlock, W, Balance, n));
        keys.push_back(ZEL_CHANNEL_KEY("Weather", ExpertWeatherBlock, W, MoonColor16, n));
        keys.push_back(ZEL_CHANNEL_KEY("Weather", ExpertWeatherBlock, W, WeatherDelay, n));
        keys.push_back(ZEL_CHANNEL_KEY("Weather", ExpertWeatherBlock, W, LightningMask, n));
    }
    keys.push_back(ZEL_KEY("Weather", ExpertWeatherBlock, W, BalanceSum));
    for (int n = 0; n < ChannelCount; ++n)
        keys.push_back(ZEL_CHANNEL_KEY("Names", ConfigBlock, C, ColorName, n));
    keys.insert(keys.end(), {
                                ZEL_KEY("RC5", ExpertBlock, E, Up),
                                ZEL_KEY("RC5", ExpertBlock, E, Down),
                                ZEL_KEY("RC5", ExpertBlock, E, Left),
                                ZEL_KEY("RC5", ExpertBlock, E, Right),
                                ZEL_KEY("RC5", ExpertBlock, E, Previous),
                                ZEL_KEY("RC5", ExpertBlock, E, Next),
                                ZEL_KEY("RC5", ExpertBlock, E, Settings),
                                ZEL_KEY("RC5", ExpertBlock, E, Step),

                                ZEL_KEY("TimeZone", ExpertBlock, E, StandardMonth),
                                ZEL_KEY("TimeZone", ExpertBlock, E, StandardDay),
                                ZEL_KEY("TimeZone", ExpertBlock, E, StandardHour),
                                ZEL_KEY("TimeZone", ExpertBlock, E, StandardDayOfWeek),
                                ZEL_KEY("TimeZone", ExpertBlock, E, DaylightMonth),
                                ZEL_KEY("TimeZone", ExpertBlock, E, DaylightDay),
                                ZEL_KEY("TimeZone", ExpertBlock, E, DaylightHour),
                                ZEL_KEY("TimeZone", ExpertBlock, E, DaylightDayOfWeek),
                                ZEL_KEY("TimeZone", ExpertBlock, E, Bias),
                            });
    return keys;
}

std::vector<SettingsKey> MakeRowKeys() {
    constexpr FieldBlock R = FieldBlock::Row;
    std::vector<SettingsKey> keys = {
        ZEL_KEY("", ScheduleRow, R, Hour),
        ZEL_KEY("", ScheduleRow, R, Minute),
        ZEL_KEY("", ScheduleRow, R, Alt),
    };
    for (int n = 0; n < ChannelCount; ++n)
        keys.push_back(ZEL_CHANNEL_KEY("", ScheduleRow, R, Color16, n));
    keys.push_back(ZEL_KEY("", ScheduleRow, R, Timer));
    keys.push_back(ZEL_KEY("", ScheduleRow, R, Switch));
    return keys;
}

#undef ZEL_KEY
#undef ZEL_CHANNEL_KEY

const std::vector<SettingsKey>& ConfigurationKeys() {
    static const std::vector<SettingsKey> keys = MakeConfigurationKeys();
    return keys;
}

const std::vector<SettingsKey>& RowKeys() {
    static const std::vector<SettingsKey> keys = MakeRowKeys();
    return keys;
}

// The records a settings file holds, copied out of the shared state in one locked step.
struct SettingsRecords {
    ConfigBlock Config;
    ExpertBlock Expert;
    ExpertWeatherBlock ExpertWeather;
    std::vector<ScheduleRow> Schedule;
};

// The bytes of a configuration block, of DeviceState or of a SettingsRecords copy.
template <class Records> auto* BlockBytes(Records& records, FieldBlock block) {
    using Byte = std::conditional_t<std::is_const_v<Records>, const unsigned char, unsigned char>;
    switch (block) {
    case FieldBlock::Config:
        return reinterpret_cast<Byte*>(&records.Config);
    case FieldBlock::Expert:
        return reinterpret_cast<Byte*>(&records.Expert);
    case FieldBlock::ExpertWeather:
        return reinterpret_cast<Byte*>(&records.ExpertWeather);
    case FieldBlock::Row:
        break;
    }
    Q_UNREACHABLE();
}

template <class T> T Load(const unsigned char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Signed fields are written with their sign, unsigned ones as their unsigned value.
QString FieldText(const unsigned char* block, const SettingsKey& key) {
    const unsigned char* at = block + key.Offset;
    switch (key.Type) {
    case FieldType::U8:
        return QString::number(Load<uint8_t>(at));
    case FieldType::I8:
        return QString::number(Load<int8_t>(at));
    case FieldType::U16:
        return QString::number(Load<uint16_t>(at));
    case FieldType::I16:
        return QString::number(Load<int16_t>(at));
    }
    Q_UNREACHABLE();
}

// The records are little-endian (records.h proves the host is), so the first bytes of the
// 64-bit value are its low bits: storing them cuts the number to the field's width.
void StoreField(unsigned char* block, const SettingsKey& key, uint64_t value) {
    std::memcpy(block + key.Offset, &value, size_t(Width(key.Type)));
}

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

SettingsRecords CopyRecords(DeviceState& state) {
    std::lock_guard<std::mutex> guard(state.RequestLock);
    return {state.Config, state.Expert, state.ExpertWeather, state.Schedule};
}

// The document WriteSettingsFile writes: the file at path, if any, updated from the records.
IniDocument SettingsDocument(const QString& path, DeviceState& state) {
    IniDocument document = QFileInfo::exists(path) ? IniDocument::FromFile(path) : IniDocument();
    const SettingsRecords records = CopyRecords(state);
    for (const SettingsKey& key : ConfigurationKeys())
        document.SetValue(key.Section, key.Key, FieldText(BlockBytes(records, key.Block), key));
    for (size_t row = 0; row < records.Schedule.size(); ++row) {
        const QString section = QString::number(row);
        const auto* bytes = reinterpret_cast<const unsigned char*>(&records.Schedule[row]);
        for (const SettingsKey& key : RowKeys())
            document.SetValue(section, key.Key, FieldText(bytes, key));
    }
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

QString SettingsDirectory() {
    const QString programDir = QCoreApplication::applicationDirPath();
    if (!programDir.isEmpty() && QFileInfo(programDir).isWritable())
        return programDir;
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // A failure to create it shows when the backup is written, which reports it.
    QDir().mkpath(dataDir);
    return dataDir;
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
