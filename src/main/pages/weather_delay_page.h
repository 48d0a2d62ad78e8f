// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "main/pages/channel_pairs_page.h"

namespace zel {

// The page "Delays" (tsWeatherDelay): how late, in tenths of a second, clouds and
// thunderstorms reach each channel, shown in seconds; 25.5 s switches them off for the channel.
class WeatherDelayPage : public ChannelPairsPage {
    Q_OBJECT
public:
    WeatherDelayPage(DeviceState& state, QWidget* parent)
        : ChannelPairsPage(state,
                           {"tsWeatherDelay", "lblWeatherDelay", "WeatherDelay", 0, 255, 10, 10,
                            ZEL_FIELD(ExpertWeather.WeatherDelay[n]), TenthsFormat},
                           parent) {}
};

} // namespace zel
