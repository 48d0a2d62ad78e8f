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

void StatusJson(const DeviceState& state, uint8_t configFlag, JsonWriter& json) {
    const InfoBlock& info = state.Info;
    const auto measurement = [&json](int16_t value, double shown, int decimals) {
        if (value == NoMeasurement)
            json.Null();
        else
            json.Number(shown, decimals);
    };
    json.Key(u"Clock").String(ClockText(info)).Key(u"Channels").BeginObject();
    for (int channel = 0; channel < ChannelCount; ++channel)
        json.Key(ChannelLetter(channel)).Number(info.Channel[channel] / 40.96, 2);
    json.EndObject().Key(u"BoardTemperature");
    measurement(info.TempBoard, TemperatureValue(info.TempBoard, configFlag), 1);
    json.Key(u"WaterTemperature");
    measurement(info.TempWater, TemperatureValue(info.TempWater, configFlag), 1);
    json.Key(u"TemperatureUnit").String(TemperatureUnitText(configFlag)).Key(u"InputVoltage");
    measurement(info.Voltage, info.Voltage / 100.0, 2);
}

} // namespace zel
