#pragma once

#include "cfg/device_state.h"
#include "cli/json_writer.h"

#include <QString>

namespace zel {

// The controller clock as "YYYY-MM-DD HH:MM:SS".
QString ClockText(const InfoBlock& info);

// The member "Mode": the mode's command word, or its number when it has none.
void ModeJson(uint8_t mode, JsonWriter& json);

// The status fields of info, monitor and the MQTT state as members of an open JSON object.
// Temperatures are in the unit of configFlag bit 2; a missing measurement is null.
void StatusJson(const DeviceState& state, uint8_t configFlag, JsonWriter& json);

} // namespace zel
