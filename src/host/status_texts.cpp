// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/status_texts.h"

#include "cfg/conversions.h"
#include "lang/translate.h"

namespace zel {

const QString BulletSeparator = QStringLiteral(" \u2022 ");

namespace {
constexpr uint8_t RAMFullBit = 0x10;

bool Present(int16_t value) {
    return value != NoMeasurement;
}

void Append(QString& text, const QString& part) {
    if (!text.isEmpty())
        text += BulletSeparator;
    text += part;
}

bool WeatherMode(uint8_t mode) {
    return mode == ModeAuto || mode == ModeGeo;
}

QString RatioLine(const char* key, uint16_t probability, uint16_t duration, bool active,
                  const char* activeKey) {
    QString line = RatioText(QLatin1String(key), probability, duration);
    if (active)
        line += BulletSeparator + Translate(QLatin1String(activeKey));
    return line;
}
} // namespace

QDateTime DeviceClock(const InfoBlock& info) {
    const QDate date(2000 + info.Year, info.Month, info.Day);
    // Checked field by field: QDateTime would take an hour 25 for midnight.
    if (!date.isValid() || !QTime::isValid(info.Hour, info.Minute, info.Second))
        return QDateTime();
    return QDateTime(date, QTime(info.Hour, info.Minute, info.Second), Qt::UTC);
}

QString StatusText(const QString& portEntry, const InfoBlock& info, uint8_t configFlag) {
    static const std::pair<uint8_t, const char*> errorTexts[] = {
        {0x01, "Overtemperature"}, {0x02, "Undervoltage"}, {0x04, "QuarzError"},
        {0x08, "CRCError"},        {0x10, "RAMFull"},      {0x40, "RTCError"},
        {0x20, "TempBoardError"},  {0x80, "PWMError"}};
    QString text = portEntry;
    for (const auto& [bit, key] : errorTexts)
        if (info.Errors & bit)
            Append(text, Translate(QLatin1String(key)));
    const QString unit = TemperatureUnitText(configFlag);
    if (Present(info.TempBoard))
        Append(text, Translate(QStringLiteral("BoardTemperature")) + QStringLiteral(": ") +
                         FormatTemperature(info.TempBoard, configFlag) + unit);
    if (Present(info.TempWater))
        Append(text, QStringLiteral("VarnoProbe: ") +
                         FormatTemperature(info.TempWater, configFlag) + unit);
    if (Present(info.Voltage))
        Append(text, Translate(QStringLiteral("InputVoltage")) + QStringLiteral(": ") +
                         VoltageText(info.Voltage) + QStringLiteral(" Volt"));
    return text;
}

bool BoardAlarm(uint8_t errors) {
    return (errors & ~RAMFullBit) != 0;
}

QString ModeName(uint8_t mode) {
    static const char* const modeKeys[] = {"ModeManual", "ModeAuto", "ModeGeo", "ModeRGBDemo",
                                           "ModeFlash"};
    return mode < 5 ? Translate(QLatin1String(modeKeys[mode])) : QString();
}

QString ModeText(const ConfigBlock& config, const InfoBlock& info) {
    if (info.Busy & BusySaving)
        return Translate(QStringLiteral("Saving"));
    QString text = ModeName(config.Mode);
    const auto letter = [&](bool active, const char* key) {
        if (active)
            text += Translate(QLatin1String(key));
    };
    if (WeatherMode(config.Mode)) {
        letter(info.Activity & ActivityCloud, "LetterCloud");
        letter(info.Activity & ActivityStorm, "LetterStorm");
    }
    letter(info.Activity & ActivityCooler, "LetterCooler");
    letter(info.Activity & ActivityHeater, "LetterHeater");
    letter(info.Activity & ActivityTimer, "LetterTimer");
    return text;
}

QString CloudRatioLine(const ConfigBlock& config, const InfoBlock& info) {
    return RatioLine("CloudRatio", config.CloudP, config.CloudD,
                     WeatherMode(config.Mode) && (info.Activity & ActivityCloud), "CloudActiveNow");
}

QString StormRatioLine(const ConfigBlock& config, const InfoBlock& info) {
    return RatioLine("StormRatio", config.StormP, config.StormD,
                     WeatherMode(config.Mode) && (info.Activity & ActivityStorm), "StormActiveNow");
}

} // namespace zel
