// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/balance_page.h"

namespace zel {

BalancePage::BalancePage(DeviceState& state, QWidget* parent)
    : ChannelPairsPage(state,
                       {"tsBalance", "lblBalance", "Balance", 0, 100, 10, 10,
                        ZEL_FIELD(ExpertWeather.Balance[n]), IntegerFormat},
                       parent) {
    BalanceSum =
        AddSliderPair(grid_, ChannelCount, QStringLiteral("BalanceSum"), 0, 100, 10, 10, this);
    // The controller moves the sum by itself each day (the ramp): a refresh always shows it.
    Binding sum{ZEL_FIELD(ExpertWeather.BalanceSum), IntegerFormat, rqSetExpertWeather};
    sum.ShowWhileFocused = true;
    fields_->Bind(BalanceSum.Edit, BalanceSum.Slider, sum);
}

void BalancePage::SetConnected(bool connected) {
    ChannelPairsPage::SetConnected(connected);
    SetEnabled({BalanceSum.Edit, BalanceSum.Slider}, connected);
}

} // namespace zel
