// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/mqtt_discovery.h"

#include "cfg/records.h"
#include "cli/json_writer.h"
#include "lang/translate.h"

#include <functional>

namespace zel {

namespace {

using Fields = std::function<void(JsonWriter&)>;

// One entity's config: what every entity shares, then its own fields.
MqttMessage Config(const MqttOptions& options, const QString& firmware, const QString& component,
                   const QString& object, const QString& name, const Fields& fields) {
    const QString root = options.Root();
    const QString uniqueId = QStringLiteral("zelphorin_%1_%2").arg(options.Id, object);
    JsonWriter json;
    json.BeginObject()
        .Key(u"name")
        .String(name)
        .Key(u"unique_id")
        .String(uniqueId)
        .Key(u"object_id")
        .String(uniqueId)
        .Key(u"availability_topic")
        .String(root + QStringLiteral("/availability"))
        .Key(u"device")
        .BeginObject()
        .Key(u"identifiers")
        .BeginArray()
        .String(QStringLiteral("zelphorin_") + options.Id)
        .EndArray()
        .Key(u"name")
        .String(QStringLiteral("ZELPHORIN ") + options.Id)
        .Key(u"model")
        .String(u"ZELPHORIN 2.x")
        .Key(u"sw_version")
        .String(firmware)
        .EndObject();
    fields(json);
    json.EndObject();
    return {QStringLiteral("%1/%2/%3/%4/config")
                .arg(options.DiscoveryPrefix, component, options.Id, object),
            json.Text().toUtf8()};
}

Fields Sensor(const QString& state, const QString& member, const QString& deviceClass,
              const QString& unit) {
    return [=](JsonWriter& json) {
        json.Key(u"state_topic")
            .String(state)
            .Key(u"value_template")
            .String(QStringLiteral("{{ value_json.%1 }}").arg(member))
            .Key(u"device_class")
            .String(deviceClass)
            .Key(u"unit_of_measurement")
            .String(unit)
            .Key(u"state_class")
            .String(u"measurement");
    };
}

Fields Button(const QString& command) {
    return [=](JsonWriter& json) {
        json.Key(u"command_topic").String(command).Key(u"payload_press").String(u"PRESS");
    };
}

} // namespace

QList<MqttMessage> DiscoveryConfigs(const MqttOptions& options, const QString& firmware) {
    const QString root = options.Root();
    const QString state = root + QStringLiteral("/state");
    const auto config = [&](const QString& component, const QString& object, const QString& name,
                            const Fields& fields) {
        return Config(options, firmware, component, object, name, fields);
    };
    const QString sensor = QStringLiteral("sensor");
    QList<MqttMessage> configs = {
        config(sensor, QStringLiteral("board_temperature"), QStringLiteral("Board temperature"),
               Sensor(state, QStringLiteral("BoardTemperatureC"), QStringLiteral("temperature"),
                      QStringLiteral("°C"))),
        config(sensor, QStringLiteral("water_temperature"), QStringLiteral("Water temperature"),
               Sensor(state, QStringLiteral("WaterTemperatureC"), QStringLiteral("temperature"),
                      QStringLiteral("°C"))),
        config(sensor, QStringLiteral("input_voltage"), QStringLiteral("Input voltage"),
               Sensor(state, QStringLiteral("InputVoltageV"), QStringLiteral("voltage"),
                      QStringLiteral("V"))),
        // The modes a command can choose; RGB demo and Flash show as unknown.
        config(QStringLiteral("select"), QStringLiteral("mode"), QStringLiteral("Mode"),
               [&](JsonWriter& json) {
                   json.Key(u"command_topic")
                       .String(root + QStringLiteral("/mode/set"))
                       .Key(u"state_topic")
                       .String(state)
                       .Key(u"value_template")
                       .String(u"{{ value_json.Mode if value_json.Mode in ['manual', 'auto', "
                               u"'geo'] else 'None' }}")
                       .Key(u"options")
                       .BeginArray()
                       .String(u"manual")
                       .String(u"auto")
                       .String(u"geo")
                       .EndArray();
               }),
    };
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const QString letter = ChannelLetter(channel);
        const QString command = QStringLiteral("%1/channel/%2/set").arg(root, letter);
        const QString level = QStringLiteral("value_json.Channels.") + letter;
        // Turning on sends the brightness alone, turning off a level of 0: one topic takes
        // both, as a percentage.
        configs << config(QStringLiteral("light"), QStringLiteral("channel_") + letter.toLower(),
                          QStringLiteral("Channel ") + letter, [&](JsonWriter& json) {
                              json.Key(u"command_topic")
                                  .String(command)
                                  .Key(u"payload_on")
                                  .String(u"100")
                                  .Key(u"payload_off")
                                  .String(u"0")
                                  .Key(u"on_command_type")
                                  .String(u"brightness")
                                  .Key(u"brightness_command_topic")
                                  .String(command)
                                  .Key(u"brightness_scale")
                                  .Number(int64_t(100))
                                  .Key(u"state_topic")
                                  .String(state)
                                  .Key(u"state_value_template")
                                  .String(
                                      QStringLiteral("{{ 'ON' if %1 > 0 else 'OFF' }}").arg(level))
                                  .Key(u"brightness_state_topic")
                                  .String(state)
                                  .Key(u"brightness_value_template")
                                  .String(QStringLiteral("{{ %1 }}").arg(level));
                          });
    }
    const QString button = QStringLiteral("button");
    configs << config(button, QStringLiteral("cloud"), QStringLiteral("Cloud"),
                      Button(root + QStringLiteral("/cloud/trigger")))
            << config(button, QStringLiteral("storm"), QStringLiteral("Thunderstorm"),
                      Button(root + QStringLiteral("/storm/trigger")))
            << config(button, QStringLiteral("clock_sync"), QStringLiteral("Set clock"),
                      Button(root + QStringLiteral("/clock/sync")));
    return configs;
}

} // namespace zel
