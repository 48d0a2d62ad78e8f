#include "main/channels_page.h"

#include "lang/translate.h"
#include "main/channel_colors.h"
#include "main/widgets.h"

#include <QSignalBlocker>

namespace zel {

namespace {
constexpr int ColorCodes = 16;
} // namespace

ChannelsPage::ChannelsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsChannels"));
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(18);
    rows_.reserve(ChannelCount);
    for (int channel = 0; channel < ChannelCount; ++channel)
        rows_.emplace_back(channel, grid, channel, this);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(ChannelCount, 1);
}

void ChannelsPage::FillColorNames() {
    for (ChannelRow& row : rows_) {
        const QSignalBlocker quiet(row.cmbName);
        row.cmbName->setUpdatesEnabled(false);
        row.cmbName->clear();
        for (int code = 0; code < ColorCodes; ++code)
            row.cmbName->addItem(ColorCaption(code));
        row.cmbName->setUpdatesEnabled(true);
    }
}

void ChannelsPage::ShowLevels(const InfoBlock& info) {
    for (ChannelRow& row : rows_)
        row.ShowLevel(info.Channel[row.Channel]);
}

void ChannelsPage::SetConnected(bool connected, uint8_t mode) {
    for (ChannelRow& row : rows_) {
        SetEnabled({row.lblName, row.cmbName}, connected);
        row.SetLevelControlsEnabled(connected && mode == ModeManual);
    }
}

void ChannelsPage::ShowMode(uint8_t mode) {
    for (ChannelRow& row : rows_)
        row.SetLevelControlsEnabled(mode == ModeManual);
}

void ChannelsPage::ShowColorName(int channel, int code) {
    ChannelRow& row = Row(channel);
    if (!DroppedDown(row.cmbName))
        row.cmbName->setCurrentIndex(code < row.cmbName->count() ? code : -1);
    SetBackground(row.edt, ChannelDisplayColor(code));
}

} // namespace zel
