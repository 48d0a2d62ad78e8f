// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/settings_keys.h"

#include "files/ini_document.h"

#include <QtGlobal>

#include <cstring>
#include <limits>

namespace zel {

namespace {

template <class T> constexpr FieldType TypeOf() {
    static_assert(std::is_integral_v<T> && sizeof(T) <= 2);
    if (sizeof(T) == 1)
        return std::is_signed_v<T> ? FieldType::I8 : FieldType::U8;
    return std::is_signed_v<T> ? FieldType::I16 : FieldType::U16;
}

int Width(FieldType type) {
    return type == FieldType::U8 || type == FieldType::I8 ? 1 : 2;
}

// The INI key is the field's name; a per-channel field adds the channel index to it. Min and
// Max are what the field means, proven at compile time to lie within what its type holds.
template <class T, int Min, int Max> constexpr FieldRange CheckedRange() {
    static_assert(std::numeric_limits<T>::min() <= Min && Min <= Max &&
                  Max <= std::numeric_limits<T>::max());
    return {Min, Max};
}
#define ZEL_KEY(section, Record, block, field, min, max)                                           \
    SettingsKey {                                                                                  \
        QStringLiteral(section), QStringLiteral(#field), block, offsetof(Record, field),           \
            TypeOf<decltype(Record::field)>(), CheckedRange<decltype(Record::field), min, max>()   \
    }
#define ZEL_CHANNEL_KEY(section, Record, block, field, channel, min, max)                          \
    SettingsKey {                                                                                  \
        QStringLiteral(section), QStringLiteral(#field) + QString::number(channel), block,         \
            offsetof(Record, field) + size_t(channel) * sizeof(Record::field[0]),                  \
            TypeOf<std::remove_extent_t<decltype(Record::field)>>(),                               \
            CheckedRange<std::remove_extent_t<decltype(Record::field)>, min, max>()                \
    }

constexpr int LevelMax = LevelRange.Max;
// Temperature thresholds in tenths of a degree: every value the field holds is one (a threshold
// above any water temperature never triggers), so they keep their type's range.
constexpr int TempMin = std::numeric_limits<int16_t>::min();
constexpr int TempMax = std::numeric_limits<int16_t>::max();

// The five configuration sections, in the order they are written.
std::vector<SettingsKey> MakeConfigurationKeys() {
    constexpr FieldBlock C = FieldBlock::Config;
    constexpr FieldBlock E = FieldBlock::Expert;
    constexpr FieldBlock W = FieldBlock::ExpertWeather;
    std::vector<SettingsKey> keys = {
        ZEL_KEY("Config", ConfigBlock, C, Mode, 0, 4),
        ZEL_KEY("Config", ConfigBlock, C, Flag, 0, 255),
        ZEL_KEY("Config", ConfigBlock, C, FanLow, 0, 100),
        ZEL_KEY("Config", ConfigBlock, C, FanHigh, 0, 100),
        ZEL_KEY("Config", ExpertBlock, E, FanOff, 0, 100),
        ZEL_KEY("Config", ExpertBlock, E, FanMode, 0, 1),
        ZEL_KEY("Config", ExpertBlock, E, TempWaterLow, TempMin, TempMax),
        ZEL_KEY("Config", ExpertBlock, E, TempWaterHigh, TempMin, TempMax),
        ZEL_KEY("Config", ConfigBlock, C, LCDBLMin, 0, 100),
        ZEL_KEY("Config", ConfigBlock, C, LCDBLMax, 0, 100),
        ZEL_KEY("Config", ConfigBlock, C, TimeLapse, 0, 250),
        ZEL_KEY("Config", ConfigBlock, C, Lat, -900, 900),
        ZEL_KEY("Config", ConfigBlock, C, Lon, -1800, 1800),
        ZEL_KEY("Config", ExpertBlock, E, JMPMode, 0, 8),
        ZEL_KEY("Config", ExpertBlock, E, TempCoolLow, TempMin, TempMax),
        ZEL_KEY("Config", ExpertBlock, E, TempCoolHigh, TempMin, TempMax),
        ZEL_KEY("Config", ExpertBlock, E, TempHeatLow, TempMin, TempMax),
        ZEL_KEY("Config", ExpertBlock, E, TempHeatHigh, TempMin, TempMax),
        ZEL_KEY("Config", ExpertBlock, E, ChartMode, 0, 3),
        ZEL_KEY("Config", ExpertBlock, E, ChartInterval, 1, 65535),
        ZEL_KEY("Config", ExpertBlock, E, ChartScale, 1, 255),
        ZEL_KEY("Config", ExpertBlock, E, PWMPrescaler, 3, 255),
        ZEL_KEY("Config", ExpertBlock, E, TWIBitrate, 10, 255),
        ZEL_KEY("Config", ExpertBlock, E, RandomInit, 0, 255),
        ZEL_KEY("Config", ExpertBlock, E, LCDBLNight, 0, 100),
        ZEL_KEY("Config", ExpertBlock, E, Language, 0, 1),
        ZEL_KEY("Config", ExpertBlock, E, TempOffset, -128, 127),
        ZEL_KEY("Config", ExpertBlock, E, CloudTempWater, TempMin, TempMax),
        ZEL_KEY("Config", ExpertBlock, E, CloudTempBoard, TempMin, TempMax),
        ZEL_KEY("Config", ExpertBlock, E, BalanceSumRamp, -100, 100),

        ZEL_KEY("Weather", ConfigBlock, C, CloudP, 0, 65535),
        ZEL_KEY("Weather", ConfigBlock, C, CloudD, 0, 65535),
        ZEL_KEY("Weather", ConfigBlock, C, StormP, 0, 65535),
        ZEL_KEY("Weather", ConfigBlock, C, StormD, 0, 65535),
        ZEL_KEY("Weather", ExpertWeatherBlock, W, CloudStep, 1, 5000),
        ZEL_KEY("Weather", ExpertWeatherBlock, W, StormStep, 1, 5000),
        ZEL_KEY("Weather", ExpertWeatherBlock, W, CloudAlpha, 0, 100),
        ZEL_KEY("Weather", ExpertWeatherBlock, W, StormAlpha, 0, 100),
        ZEL_KEY("Weather", ExpertWeatherBlock, W, LightningP, 0, 5000),
    };
    for (int n = 0; n < ChannelCount; ++n) {
        keys.push_back(ZEL_CHANNEL_KEY("Weather", ExpertWeatherBlock, W, Balance, n, 0, 100));
        keys.push_back(
            ZEL_CHANNEL_KEY("Weather", ExpertWeatherBlock, W, MoonColor16, n, 0, LevelMax));
        keys.push_back(ZEL_CHANNEL_KEY("Weather", ExpertWeatherBlock, W, WeatherDelay, n, 0, 255));
        keys.push_back(ZEL_CHANNEL_KEY("Weather", ExpertWeatherBlock, W, LightningMask, n, 0, 255));
    }
    keys.push_back(ZEL_KEY("Weather", ExpertWeatherBlock, W, BalanceSum, 0, 100));
    for (int n = 0; n < ChannelCount; ++n)
        keys.push_back(ZEL_CHANNEL_KEY("Names", ConfigBlock, C, ColorName, n, 0, 15));
    keys.insert(keys.end(), {
                                ZEL_KEY("RC5", ExpertBlock, E, Up, 0, 65535),
                                ZEL_KEY("RC5", ExpertBlock, E, Down, 0, 65535),
                                ZEL_KEY("RC5", ExpertBlock, E, Left, 0, 65535),
                                ZEL_KEY("RC5", ExpertBlock, E, Right, 0, 65535),
                                ZEL_KEY("RC5", ExpertBlock, E, Previous, 0, 65535),
                                ZEL_KEY("RC5", ExpertBlock, E, Next, 0, 65535),
                                ZEL_KEY("RC5", ExpertBlock, E, Settings, 0, 65535),
                                ZEL_KEY("RC5", ExpertBlock, E, Step, 0, 65535),

                                ZEL_KEY("TimeZone", ExpertBlock, E, StandardMonth, 0, 12),
                                ZEL_KEY("TimeZone", ExpertBlock, E, StandardDay, 0, 31),
                                ZEL_KEY("TimeZone", ExpertBlock, E, StandardHour, 0, 23),
                                ZEL_KEY("TimeZone", ExpertBlock, E, StandardDayOfWeek, 0, 6),
                                ZEL_KEY("TimeZone", ExpertBlock, E, DaylightMonth, 0, 12),
                                ZEL_KEY("TimeZone", ExpertBlock, E, DaylightDay, 0, 31),
                                ZEL_KEY("TimeZone", ExpertBlock, E, DaylightHour, 0, 23),
                                ZEL_KEY("TimeZone", ExpertBlock, E, DaylightDayOfWeek, 0, 6),
                                ZEL_KEY("TimeZone", ExpertBlock, E, Bias, -720, 840),
                            });
    return keys;
}

std::vector<SettingsKey> MakeRowKeys() {
    constexpr FieldBlock R = FieldBlock::Row;
    std::vector<SettingsKey> keys = {
        ZEL_KEY("", ScheduleRow, R, Hour, 0, 24),
        ZEL_KEY("", ScheduleRow, R, Minute, 0, 59),
        ZEL_KEY("", ScheduleRow, R, Alt, -10000, 10000),
    };
    for (int n = 0; n < ChannelCount; ++n)
        keys.push_back(ZEL_CHANNEL_KEY("", ScheduleRow, R, Color16, n, 0, LevelMax));
    keys.push_back(ZEL_KEY("", ScheduleRow, R, Timer, 0, 32767));
    keys.push_back(ZEL_KEY("", ScheduleRow, R, Switch, 0, 255));
    return keys;
}

#undef ZEL_KEY
#undef ZEL_CHANNEL_KEY

const SettingsKey* FindKey(const std::vector<SettingsKey>& keys, QStringView section,
                           QStringView key) {
    for (const SettingsKey& entry : keys)
        if (entry.Section.compare(section, Qt::CaseInsensitive) == 0 &&
            entry.Key.compare(key, Qt::CaseInsensitive) == 0)
            return &entry;
    return nullptr;
}

template <class T> T Load(const unsigned char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// The value a field of that type holds when its bits are the low bits of `bits`.
int64_t ValueOfBits(FieldType type, uint64_t bits) {
    switch (type) {
    case FieldType::U8:
        return uint8_t(bits);
    case FieldType::I8:
        return int8_t(bits);
    case FieldType::U16:
        return uint16_t(bits);
    case FieldType::I16:
        return int16_t(bits);
    }
    Q_UNREACHABLE();
}

QString Shortened(QStringView text) {
    constexpr qsizetype Shown = 24;
    return text.size() <= Shown ? text.toString()
                                : text.left(Shown).toString() + QStringLiteral("...");
}

} // namespace

const std::vector<SettingsKey>& ConfigurationKeys() {
    static const std::vector<SettingsKey> keys = MakeConfigurationKeys();
    return keys;
}

const std::vector<SettingsKey>& RowKeys() {
    static const std::vector<SettingsKey> keys = MakeRowKeys();
    return keys;
}

const SettingsKey* FindConfigurationKey(QStringView section, QStringView key) {
    return FindKey(ConfigurationKeys(), section, key);
}

const SettingsKey* FindRowKey(QStringView key) {
    return FindKey(RowKeys(), QStringView(), key);
}

SettingsRecords CopyRecords(DeviceState& state) {
    std::lock_guard<std::mutex> guard(state.RequestLock);
    return {state.Config, state.Expert, state.ExpertWeather, state.Schedule};
}

int64_t FieldValue(const unsigned char* block, const SettingsKey& key) {
    const unsigned char* at = block + key.Offset;
    switch (key.Type) {
    case FieldType::U8:
        return Load<uint8_t>(at);
    case FieldType::I8:
        return Load<int8_t>(at);
    case FieldType::U16:
        return Load<uint16_t>(at);
    case FieldType::I16:
        return Load<int16_t>(at);
    }
    Q_UNREACHABLE();
}

// The records are little-endian (records.h proves the host is), so the first bytes of the
// 64-bit value are its low bits: storing them cuts the number to the field's width.
void StoreField(unsigned char* block, const SettingsKey& key, uint64_t value) {
    std::memcpy(block + key.Offset, &value, size_t(Width(key.Type)));
}

std::vector<SettingsEntry> SettingsEntries(const SettingsRecords& records) {
    std::vector<SettingsEntry> entries;
    entries.reserve(ConfigurationKeys().size() + records.Schedule.size() * RowKeys().size());
    for (const SettingsKey& key : ConfigurationKeys())
        entries.push_back({key.Section, key.Key, FieldValue(BlockBytes(records, key.Block), key)});
    for (size_t row = 0; row < records.Schedule.size(); ++row) {
        const QString section = QString::number(row);
        const auto* bytes = reinterpret_cast<const unsigned char*>(&records.Schedule[row]);
        for (const SettingsKey& key : RowKeys())
            entries.push_back({section, key.Key, FieldValue(bytes, key)});
    }
    return entries;
}

bool InRange(const SettingsKey& key, int64_t value) {
    return key.Range.Min <= value && value <= key.Range.Max;
}

QString RangeText(const SettingsKey& key) {
    return QStringLiteral("%1 to %2").arg(key.Range.Min).arg(key.Range.Max);
}

TypedValue JudgeTyped(const FieldRange& range, int64_t value) {
    if (range.Min <= value && value <= range.Max)
        return TypedValue::Taken;
    if (value >= 0 && value < range.Min)
        return TypedValue::Unfinished;
    return TypedValue::Refused;
}

std::optional<uint64_t> ParseSettingValue(const SettingsKey& key, QStringView text,
                                          QString& error) {
    if (text.isEmpty()) {
        error = QStringLiteral("no value given");
        return std::nullopt;
    }
    const std::optional<IniInteger> number = ReadIniInteger(text);
    if (!number) {
        error =
            QStringLiteral("\"%1\" is not a whole number (decimal, or hexadecimal after 0x or $)")
                .arg(Shortened(text));
        return std::nullopt;
    }
    // A hexadecimal value gives the field's bits, so it must fit the field's width; a decimal
    // one its value: beyond 32 bits it is out of every field's range.
    const uint64_t widthMax = (uint64_t(1) << (8 * Width(key.Type))) - 1;
    const uint64_t limit = number->Hexadecimal ? widthMax : uint64_t(1) << 32;
    int64_t value = key.Range.Max + int64_t(1);
    if (!number->Overflow && number->Magnitude <= limit)
        value = number->Hexadecimal ? ValueOfBits(key.Type, number->Magnitude)
                : number->Negative  ? -int64_t(number->Magnitude)
                                    : int64_t(number->Magnitude);
    if (!InRange(key, value)) {
        error = QStringLiteral("%1 is out of range: %2").arg(Shortened(text), RangeText(key));
        return std::nullopt;
    }
    return uint64_t(value);
}

} // namespace zel
