// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/status_json.h"

#include "cfg/conversions.h"
#include "cli/cli_arguments.h"
#include "lang/translate.h"

namespace zel {

QString ClockText(const InfoBlock& info) {
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(2000 + info.Year)
        .arg(info.Month, 2, 10, QLatin1Char('0'))
        .arg(info.Day, 2, 10, QLatin1Char('0'))
        .arg(info.Hour, 2, 10, QLatin1Char('0'))
        .arg(info.Minute, 2, 10, QLatin1Char('0'))
        .arg(info.Second, 2, 10, QLatin1Char('0'));
}

void ModeJson(uint8_t mode, JsonWriter& json) {
    json.Key(u"Mode");
    if (mode < CliModeNames().size())
        json.String(CliModeNames()[mode]);
    else
        json.Number(int64_t(mode));
}

void StatusJson(const DeviceState& state, JsonWriter& json) {
    const InfoBlock& info = state.Info;
    const auto measurement = [&json](int16_t value, double scale, int decimals) {
        if (value == NoMeasurement)
            json.Null();
        else
            json.Number(value / scale, decimals);
    };
    json.Key(u"Clock").String(ClockText(info)).Key(u"Channels").BeginObject();
    for (int channel = 0; channel < ChannelCount; ++channel)
        json.Key(ChannelLetter(channel)).Number(LevelPercent(info.Channel[channel]), 2);
    json.EndObject().Key(u"BoardTemperatureC");
    measurement(info.TempBoard, 10, 1);
    json.Key(u"WaterTemperatureC");
    measurement(info.TempWater, 10, 1);
    json.Key(u"InputVoltageV");
    measurement(info.Voltage, 100, 2);
}

} // namespace zel
