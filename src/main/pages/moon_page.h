// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/conversions.h"
#include "main/pages/channel_pairs_page.h"

namespace zel {

// The page "Moon" (tsMoon): each channel's level under a full moon overhead, 0..4096,
// shown in percent.
class MoonPage : public ChannelPairsPage {
    Q_OBJECT
public:
    MoonPage(DeviceState& state, QWidget* parent)
        : ChannelPairsPage(state,
                           {"tsMoon", "lblMoon", "Moon", 0, FullLevel, 128, 512,
                            ZEL_FIELD(ExpertWeather.MoonColor16[n]), MoonLevelFormat},
                           parent) {}
};

} // namespace zel
