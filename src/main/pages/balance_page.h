// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "main/pages/channel_pairs_page.h"

namespace zel {

// The page "White balance" (tsBalance): each channel's share and the sum of all.
class BalancePage : public ChannelPairsPage {
    Q_OBJECT
public:
    BalancePage(DeviceState& state, QWidget* parent);

    SliderPair BalanceSum;

    void SetConnected(bool connected) override;
};

} // namespace zel
