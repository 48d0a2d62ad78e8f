#pragma once

#include "main/channel_pairs_page.h"

namespace zel {

// The page "Delays" (tsWeatherDelay): how late, in tenths of a second, clouds and
// thunderstorms reach each channel.
class WeatherDelayPage : public ChannelPairsPage {
    Q_OBJECT
public:
    explicit WeatherDelayPage(QWidget* parent)
        : ChannelPairsPage({"tsWeatherDelay", "lblWeatherDelay", "WeatherDelay", 0, 255, 10, 10},
                           parent) {}
};

} // namespace zel
