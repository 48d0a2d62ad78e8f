// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/settings_keys.h"

#include <QtTest>

#include <algorithm>
#include <cstring>
#include <random>

using namespace zel;

namespace {

const SettingsKey& ConfigKey(const char* section, const char* key) {
    const SettingsKey* found =
        FindConfigurationKey(QString::fromLatin1(section), QString::fromLatin1(key));
    Q_ASSERT(found);
    return *found;
}

} // namespace

class SettingsKeysTest : public QObject {
    Q_OBJECT

private slots:
    void ValuesAreTakenOnlyWithinTheFieldsRange_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("stored"); // the field's value afterwards
        QTest::addColumn<QString>("error"); // part of the reason; empty when taken

        const auto taken = [](const char* name, const char* section, const char* key,
                              const QString& text, qint64 stored) {
            QTest::newRow(name) << section << key << text << stored << QString();
        };
        const auto refused = [](const char* name, const char* section, const char* key,
                                const QString& text, const char* error) {
            QTest::newRow(name) << section << key << text << qint64(0) << error;
        };
        taken("byte top", "Config", "Flag", "255", 255);
        taken("plus sign", "Config", "FanHigh", "+7", 7);
        taken("leading zeros", "Config", "FanHigh", "007", 7);
        taken("minus zero", "Config", "FanHigh", "-0", 0);
        taken("0x hex", "Config", "Flag", "0xff", 255);
        taken("dollar hex", "Config", "Flag", "$Fe", 254);
        taken("signed bottom", "Config", "TempWaterLow", "-32768", -32768);
        taken("signed byte bottom", "Config", "TempOffset", "-128", -128);
        taken("hex is the bits of a signed field", "Config", "Lat", "0xFFFF", -1);
        taken("unsigned word top", "RC5", "Step", "65535", 65535);
        taken("many leading zeros", "Config", "FanHigh", QString(40, QLatin1Char('0')) + "1", 1);
        refused("byte above", "Config", "Flag", "256", "0 to 255");
        refused("negative unsigned", "Config", "FanHigh", "-1", "0 to 100");
        refused("signed above", "Config", "TempWaterLow", "32768", "-32768 to 32767");
        refused("signed byte below", "Config", "TempOffset", "-129", "-128 to 127");
        refused("hex wider", "Config", "Flag", "0x100", "0 to 255");
        refused("forty digits", "Config", "Lat", QString(40, QLatin1Char('9')), "out of range");
        refused("empty", "Config", "FanHigh", "", "no value");
        refused("trailing garbage", "Config", "FanHigh", "12abc", "not a whole number");
        refused("blank before", "Config", "FanHigh", " 12", "not a whole number");
        refused("sign alone", "Config", "FanHigh", "-", "not a whole number");
        refused("0x alone", "Config", "FanHigh", "0x", "not a whole number");
        refused("dollar alone", "Config", "FanHigh", "$", "not a whole number");
        refused("signed hex", "Config", "Lat", "-0x10", "not a whole number");
        refused("real", "Config", "FanHigh", "1.5", "not a whole number");
        // What each field means narrows what its type holds (an empty section: a row key).
        taken("end of the day", "", "Hour", "24", 24);
        taken("full level", "", "Color163", "4096", 4096);
        taken("west end", "Config", "Lon", "-1800", -1800);
        taken("no daylight saving", "TimeZone", "DaylightMonth", "0", 0);
        refused("hour past the day", "", "Hour", "25", "0 to 24");
        refused("minute 60", "", "Minute", "60", "0 to 59");
        refused("level above full", "", "Color160", "4097", "0 to 4096");
        refused("altitude above the zenith", "", "Alt", "10001", "-10000 to 10000");
        refused("negative moon level", "Weather", "MoonColor160", "-1", "0 to 4096");
        refused("moon level as bits", "Weather", "MoonColor160", "0xFFFF", "0 to 4096");
        refused("percent above 100", "Config", "FanHigh", "255", "0 to 100");
        refused("unknown mode", "Config", "Mode", "200", "0 to 4");
        refused("beyond the pole", "Config", "Lat", "901", "-900 to 900");
        refused("month 13", "TimeZone", "StandardMonth", "13", "0 to 12");
        refused("weekday 7", "TimeZone", "DaylightDayOfWeek", "7", "0 to 6");
        refused("colour name 16", "Names", "ColorName2", "16", "0 to 15");
        refused("prescaler below 3", "Config", "PWMPrescaler", "2", "3 to 255");
        refused("cloud step 0", "Weather", "CloudStep", "0", "1 to 5000");
        refused("negative timer", "", "Timer", "-2", "0 to 32767");
    }
    void ValuesAreTakenOnlyWithinTheFieldsRange() {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(qint64, stored);
        QFETCH(QString, error);
        const SettingsKey* field =
            section.isEmpty() ? FindRowKey(key) : FindConfigurationKey(section, key);
        QVERIFY(field);
        QString reason;
        const std::optional<uint64_t> bits = ParseSettingValue(*field, text, reason);
        if (!error.isEmpty()) {
            QVERIFY2(!bits, qPrintable(text));
            QVERIFY2(reason.contains(error), qPrintable(reason));
            QVERIFY2(reason.size() < 100, qPrintable(reason));
            return;
        }
        QVERIFY2(bits, qPrintable(reason));
        ScheduleRow row{};
        auto* bytes = reinterpret_cast<unsigned char*>(&row);
        DeviceState state;
        if (field->Block != FieldBlock::Row)
            bytes = BlockBytes(state, field->Block);
        StoreField(bytes, *field, *bits);
        QCOMPARE(FieldValue(bytes, *field), stored);
    }

    // Every field's written value is taken back to the same bytes: widths, signs and offsets
    // of the table agree between writing and reading.
    void EveryWrittenValueIsTakenBackUnchanged() {
        std::mt19937 random(7);
        SettingsRecords records{};
        const auto fill = [&random](auto& record) {
            auto* bytes = reinterpret_cast<unsigned char*>(&record);
            for (size_t i = 0; i < sizeof record; ++i)
                bytes[i] = static_cast<unsigned char>(random());
        };
        fill(records.Config);
        fill(records.Expert);
        fill(records.ExpertWeather);
        records.Schedule.resize(2);
        fill(records.Schedule[1]);
        // A script can set only what a field means.
        const auto limit = [](unsigned char* block, const SettingsKey& key) {
            StoreField(block, key,
                       uint64_t(std::clamp<int64_t>(FieldValue(block, key), key.Range.Min,
                                                    key.Range.Max)));
        };
        for (const SettingsKey& key : ConfigurationKeys())
            limit(BlockBytes(records, key.Block), key);
        for (const SettingsKey& key : RowKeys())
            limit(reinterpret_cast<unsigned char*>(&records.Schedule[1]), key);

        DeviceState state;
        state.ResizeSchedule(2);
        for (const SettingsEntry& entry : SettingsEntries(records)) {
            QString error;
            const bool row =
                entry.Section == QLatin1String("1") || entry.Section == QLatin1String("0");
            const SettingsKey* key =
                row ? FindRowKey(entry.Key) : FindConfigurationKey(entry.Section, entry.Key);
            QVERIFY(key);
            const std::optional<uint64_t> bits =
                ParseSettingValue(*key, QString::number(entry.Value), error);
            QVERIFY2(bits, qPrintable(error));
            auto* block =
                row ? reinterpret_cast<unsigned char*>(&state.Schedule[entry.Section.toUInt()])
                    : BlockBytes(state, key->Block);
            StoreField(block, *key, *bits);
        }
        QCOMPARE(std::memcmp(&state.Config, &records.Config, sizeof records.Config), 0);
        QCOMPARE(std::memcmp(&state.Expert, &records.Expert, sizeof records.Expert), 0);
        QCOMPARE(
            std::memcmp(&state.ExpertWeather, &records.ExpertWeather, sizeof records.ExpertWeather),
            0);
        QCOMPARE(
            std::memcmp(state.Schedule.data(), records.Schedule.data(), 2 * sizeof(ScheduleRow)),
            0);
    }

    void EntriesFollowTheFileOrder() {
        SettingsRecords records{};
        records.Schedule.resize(2);
        const std::vector<SettingsEntry> entries = SettingsEntries(records);
        QCOMPARE(entries.size(), ConfigurationKeys().size() + 2 * RowKeys().size());
        QCOMPARE(entries.front().Section + '.' + entries.front().Key,
                 QStringLiteral("Config.Mode"));
        const SettingsEntry& lastConfiguration = entries[ConfigurationKeys().size() - 1];
        QCOMPARE(lastConfiguration.Section + '.' + lastConfiguration.Key,
                 QStringLiteral("TimeZone.Bias"));
        QCOMPARE(entries.back().Section + '.' + entries.back().Key, QStringLiteral("1.Switch"));
    }

    void NamesAreFoundCaseBlind() {
        QCOMPARE(FindConfigurationKey(u"weather", u"MOONCOLOR163"),
                 &ConfigKey("Weather", "MoonColor163"));
        QCOMPARE(FindConfigurationKey(u"Config", u"MoonColor163"), nullptr);
        QCOMPARE(FindConfigurationKey(u"", u"Mode"), nullptr);
        QVERIFY(FindRowKey(u"color163"));
        QCOMPARE(FindRowKey(u"Color164"), nullptr);
    }
};

QTEST_GUILESS_MAIN(SettingsKeysTest)
#include "settings_keys_test.moc"
