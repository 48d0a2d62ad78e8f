#include "main/balance_page.h"

namespace zel {

BalancePage::BalancePage(QWidget* parent)
    : ChannelPairsPage({"tsBalance", "lblBalance", "Balance", 0, 100, 10, 10}, parent) {
    BalanceSum =
        AddSliderPair(grid_, ChannelCount, QStringLiteral("BalanceSum"), 0, 100, 10, 10, this);
}

void BalancePage::SetConnected(bool connected) {
    ChannelPairsPage::SetConnected(connected);
    SetEnabled({BalanceSum.Edit, BalanceSum.Slider}, connected);
}

} // namespace zel
