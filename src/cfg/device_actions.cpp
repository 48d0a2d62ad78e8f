// SPDX-License-Identifier: GPL-3.0-or-later
#include "cfg/device_actions.h"

#include "cfg/conversions.h"

#include <algorithm>

namespace zel {

bool SelectModeRequest(DeviceState& state, uint8_t mode) {
    const bool changed = state.Config.Mode != mode;
    state.Config.Mode = mode;
    if (mode == ModeRGBDemo || mode == ModeFlash)
        state.Replace(rqSetConfig);
    else
        state.Raise(rqSetConfig);
    return changed;
}

namespace {
constexpr uint16_t PairingBit = 0x1000;

int16_t LimitedLevel(int64_t level) {
    return int16_t(std::clamp<int64_t>(level, 0, FullLevel));
}
} // namespace

void SetChannelLevels(DeviceState& state, const std::array<int, ChannelCount>& levels) {
    for (int channel = 0; channel < ChannelCount; ++channel)
        state.Info.Channel[channel] = LimitedLevel(levels[size_t(channel)]);
    state.Raise(rqSetChannels);
}

void SetChannelLevel(DeviceState& state, int channel, int64_t level) {
    state.Info.Channel[channel] = LimitedLevel(level);
    state.Raise(rqSetChannels);
}

void ToggleIRPairing(DeviceState& state) {
    ExpertBlock& expert = state.Expert;
    // Field by field: the codes are members of a packed record.
    expert.Up ^= PairingBit;
    expert.Down ^= PairingBit;
    expert.Left ^= PairingBit;
    expert.Right ^= PairingBit;
    expert.Previous ^= PairingBit;
    expert.Next ^= PairingBit;
    expert.Settings ^= PairingBit;
    expert.Step ^= PairingBit;
    state.Raise(rqSetExpert);
}

void SetClock(DeviceState& state, const QDateTime& local) {
    const QDate date = local.date();
    const QTime time = local.time();
    // Rounded to the nearest, but 995 ms and more must not become a 100th centisecond.
    state.Info.Centisecond = uint8_t(std::min<int64_t>(Nearest(time.msec() * 0.1), 99));
    state.Info.Second = uint8_t(time.second());
    state.Info.Minute = uint8_t(time.minute());
    state.Info.Hour = uint8_t(time.hour());
    state.Info.Day = uint8_t(date.day());
    state.Info.Month = uint8_t(date.month());
    state.Info.Year = int8_t(date.year() - 2000);
    state.Info.TimeExtra = 0;
    state.Raise(rqSetTime);
}

void SetRealtime(DeviceState& state) {
    state.Config.TimeLapse = 1;
    state.Raise(rqSetConfig);
}

void SetTimeZoneRule(DeviceState& state, const TimeZoneRule& rule) {
    ExpertBlock& expert = state.Expert;
    expert.Bias = rule.Bias;
    expert.StandardMonth = rule.Standard.Month;
    expert.StandardDay = rule.Standard.Day;
    expert.StandardHour = rule.Standard.Hour;
    expert.StandardDayOfWeek = rule.Standard.DayOfWeek;
    expert.DaylightMonth = rule.Daylight.Month;
    expert.DaylightDay = rule.Daylight.Day;
    expert.DaylightHour = rule.Daylight.Hour;
    expert.DaylightDayOfWeek = rule.Daylight.DayOfWeek;
    state.Raise(rqSetExpert);
}

} // namespace zel
