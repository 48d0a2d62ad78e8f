#pragma once

// Changes the user makes to the controller, shared by the window's handlers and the command
// line: each edits the records on the host thread and raises the request that sends it.

#include "cfg/device_state.h"
#include "cfg/time_zone_rule.h"

#include <QDateTime>

#include <array>

namespace zel {

// Returns true when the mode changed (the schedule grid then shows another time column).
// Manual, Auto and Geo add rqSetConfig; RGB demo and Flash drop every other request.
bool SelectModeRequest(DeviceState& state, uint8_t mode);

// Levels 0..4096 of channels W, R, G, B.
void SetChannelLevels(DeviceState& state, const std::array<int, ChannelCount>& levels);

// The controller clock := the given local date and time (rqSetTime).
void SetClock(DeviceState& state, const QDateTime& local);
// Time lapse back to real time (rqSetConfig).
void SetRealtime(DeviceState& state);

// The controller's time zone fields := the rule (rqSetExpert).
void SetTimeZoneRule(DeviceState& state, const TimeZoneRule& rule);

} // namespace zel
