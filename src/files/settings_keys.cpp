#include "files/settings_keys.h"

#include "files/ini_document.h"

#include <QtGlobal>

#include <cstring>

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

bool IsSigned(FieldType type) {
    return type == FieldType::I8 || type == FieldType::I16;
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
    const int bits = 8 * Width(key.Type);
    const uint64_t widthMax = (uint64_t(1) << bits) - 1;
    // A hexadecimal value gives the field's bits; a decimal one its value.
    const int64_t min =
        IsSigned(key.Type) && !number->Hexadecimal ? -(int64_t(1) << (bits - 1)) : 0;
    const uint64_t max = IsSigned(key.Type) && !number->Hexadecimal ? widthMax >> 1 : widthMax;
    const uint64_t limit = number->Negative ? uint64_t(-min) : max;
    if (number->Overflow || number->Magnitude > limit) {
        error =
            QStringLiteral("%1 is out of range: %2 to %3").arg(Shortened(text)).arg(min).arg(max);
        return std::nullopt;
    }
    return number->Negative ? uint64_t(0) - number->Magnitude : number->Magnitude;
}

} // namespace zel
