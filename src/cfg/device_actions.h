// SPDX-License-Identifier: GPL-3.0-or-later
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

// Levels of channels W, R, G, B, each limited to 0..4096 (rqSetChannels once).
void SetChannelLevels(DeviceState& state, const std::array<int, ChannelCount>& levels);
// One channel's level, limited to 0..4096 (rqSetChannels).
void SetChannelLevel(DeviceState& state, int channel, int64_t level);

// Flips bit 12 of the eight remote key codes (rqSetExpert): the controller takes it as the
// request to pair a remote control, and a second flip aborts the pairing.
void ToggleIRPairing(DeviceState& state);

// The controller clock := the given local date and time (rqSetTime).
void SetClock(DeviceState& state, const QDateTime& local);
// Time lapse back to real time (rqSetConfig).
void SetRealtime(DeviceState& state);

// The controller's time zone fields := the rule (rqSetExpert).
void SetTimeZoneRule(DeviceState& state, const TimeZoneRule& rule);

} // namespace zel
