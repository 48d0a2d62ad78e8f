// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/channel_pairs_page.h"

#include <QVBoxLayout>

namespace zel {

ChannelPairsPage::ChannelPairsPage(DeviceState& state, const Shape& shape, QWidget* parent)
    : QWidget(parent), fields_(new FieldBinder(state, this)) {
    setObjectName(QLatin1String(shape.PageName));
    Label = Named(new QLabel(this), QLatin1String(shape.LabelName));
    Label->setWordWrap(true);
    grid_ = new QGridLayout;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        Pairs[size_t(channel)] =
            AddSliderPair(grid_, channel, QLatin1String(shape.Suffix) + QString::number(channel),
                          shape.Minimum, shape.Maximum, shape.PageStep, shape.TickInterval, this);
        const SliderPair& pair = Pairs[size_t(channel)];
        pair.Edit->setProperty("Tag", channel);
        pair.Slider->setProperty("Tag", channel);
        fields_->Bind(pair.Edit, pair.Slider, {shape.Value, shape.Format, rqSetExpertWeather});
    }
    grid_->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label);
    layout->addLayout(grid_);
    layout->addStretch(1);
}

void ChannelPairsPage::ShowChannelName(int channel, const QString& text, QRgb colour) {
    const SliderPair& pair = Pairs[size_t(channel)];
    pair.Edit->EditLabel()->setText(text);
    SetBackground(pair.Edit, colour);
}

void ChannelPairsPage::SetConnected(bool connected) {
    Label->setEnabled(connected);
    for (const SliderPair& pair : Pairs)
        SetEnabled({pair.Edit, pair.Slider}, connected);
}

} // namespace zel
