// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The keys of the settings file: where each one's bytes lie in its record, its width and its
// signedness. The export, the two imports and zelphorin-cli's get, set and schedule commands
// all work from this one table, so a key reads and writes the same field everywhere.

#include "cfg/device_state.h"

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <vector>

namespace zel {

// Keys are described by where their bytes lie in the record rather than by reference: the
// records are packed, and a 16-bit field at an odd offset cannot be bound to an int16_t&.
enum class FieldBlock : uint8_t { Config, Expert, ExpertWeather, Row };
enum class FieldType : uint8_t { U8, I8, U16, I16 };

// The values a field may take, by what it means: levels 0 to 4096, percentages 0 to 100, a
// month 1 to 12 (0: no change of the time zone), Lat -900 to 900 tenths of a degree, and so on.
struct FieldRange {
    int Min;
    int Max;
};

// Channel, moon and schedule levels: 4096 is 100 %.
constexpr FieldRange LevelRange{0, 4096};

struct SettingsKey {
    QString Section; // empty for the row keys: a row's section is its index
    QString Key;
    FieldBlock Block;
    size_t Offset;
    FieldType Type;
    FieldRange Range;
};

// The five configuration sections ("Config", "Weather", "Names", "RC5", "TimeZone"), in the
// order they are written.
const std::vector<SettingsKey>& ConfigurationKeys();
// The keys of one schedule row section, in the order they are written.
const std::vector<SettingsKey>& RowKeys();

// Names are matched ASCII-case-blind, as the file reader matches them; nullptr when unknown.
const SettingsKey* FindConfigurationKey(QStringView section, QStringView key);
const SettingsKey* FindRowKey(QStringView key);

// The records a settings file holds, copied out of the shared state in one locked step.
struct SettingsRecords {
    ConfigBlock Config;
    ExpertBlock Expert;
    ExpertWeatherBlock ExpertWeather;
    std::vector<ScheduleRow> Schedule;
};
SettingsRecords CopyRecords(DeviceState& state);

// The bytes of a configuration block of DeviceState or of a SettingsRecords copy.
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

// The field as the file writes it: signed fields with their sign, unsigned ones as their
// unsigned value. block points at the record (or row) the key lies in.
int64_t FieldValue(const unsigned char* block, const SettingsKey& key);
// Stores the low bits of value: a number too wide for the field is cut to its width.
void StoreField(unsigned char* block, const SettingsKey& key, uint64_t value);

// One key line of a settings file.
struct SettingsEntry {
    QString Section;
    QString Key;
    int64_t Value;
};

// Every key as the file holds it, in the order written: the configuration sections, then one
// section per row of records.Schedule named by its index.
std::vector<SettingsEntry> SettingsEntries(const SettingsRecords& records);

// Whether a field's value lies in the key's range, and that range as text ("0 to 100") for a
// message. Every place a user types a value (set, schedule set, the window's edits, a remote
// command) checks it here; the settings files keep their own rule of cutting to the width.
bool InRange(const SettingsKey& key, int64_t value);
QString RangeText(const SettingsKey& key);

// What a number the user types is to the field it is meant for.
enum class TypedValue {
    Taken,      // within the field's range: store and send it
    Unfinished, // below a positive minimum: more digits may still bring it there ("1" of "12")
    Refused,    // no further typing makes it one of the field's values
};
TypedValue JudgeTyped(const FieldRange& range, int64_t value);

// A value given for a key from a script: decimal with an optional sign, or "0x"/"0X"/"$" and
// hexadecimal digits, as the file reader takes it, but nothing is cut: the number must lie in
// the key's range; a hexadecimal one gives the field's bits, so it must fit its width and the
// value those bits stand for must lie in the range ("0xFFFF" is -1 in a signed 16-bit field).
// Returns the bits to store, or empty with the reason ("... is out of range: 0 to 100") in
// error.
std::optional<uint64_t> ParseSettingValue(const SettingsKey& key, QStringView text, QString& error);

} // namespace zel
