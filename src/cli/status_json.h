// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "cli/json_writer.h"

#include <QString>

namespace zel {

// The controller clock as "YYYY-MM-DD HH:MM:SS".
QString ClockText(const InfoBlock& info);

// The member "Mode": the mode's command word, or its number when it has none.
void ModeJson(uint8_t mode, JsonWriter& json);

// The status fields of info, monitor and the MQTT state as members of an open JSON object, each
// unit in its name: temperatures always in °C, whatever unit the controller's display uses, so
// that a script reads the same number after a change of that unit. A missing measurement is null.
void StatusJson(const DeviceState& state, JsonWriter& json);

} // namespace zel
