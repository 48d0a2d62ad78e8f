// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/config_page.h"

#include "cfg/device_actions.h"
#include "main/views/health_view.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace zel {

namespace {
constexpr int ByteLevelMaximum = 255;
constexpr int PercentMaximum = 100;
constexpr uint8_t FanModeWater = 1;

// A level that stays at or below `upper` and at or above `lower` (either may be none).
std::function<int(int)> Between(const SliderPair* upper, const SliderPair* lower) {
    return [upper, lower](int position) {
        if (upper)
            position = std::min(position, upper->Slider->value());
        if (lower)
            position = std::max(position, lower->Slider->value());
        return position;
    };
}
} // namespace

ConfigPage::ConfigPage(DeviceState& state, QWidget* parent)
    : QWidget(parent), state_(state), fields_(new FieldBinder(state, this)) {
    setObjectName(QStringLiteral("tsConfig"));
    auto* timeGrid = new QGridLayout;
    TimeLapse = AddSliderPair(timeGrid, 0, QStringLiteral("TimeLapse"), 0, 250, 10, 10, this);
    btnRealtime = Named(new QPushButton(this), QStringLiteral("btnRealtime"));
    timeGrid->addWidget(btnRealtime, 0, 3);

    gbxLCDBL = Named(new QGroupBox(this), QStringLiteral("gbxLCDBL"));
    auto* lcdGrid = new QGridLayout(gbxLCDBL);
    LCDBLMax = AddSliderPair(lcdGrid, 0, QStringLiteral("LCDBLMax"), 0, ByteLevelMaximum, 10, 51,
                             gbxLCDBL);
    LCDBLMin = AddSliderPair(lcdGrid, 1, QStringLiteral("LCDBLMin"), 0, ByteLevelMaximum, 10, 51,
                             gbxLCDBL);
    LCDBLNight = AddSliderPair(lcdGrid, 2, QStringLiteral("LCDBLNight"), 0, ByteLevelMaximum, 10,
                               51, gbxLCDBL);

    gbxFan = Named(new QGroupBox(this), QStringLiteral("gbxFan"));
    auto* fanGrid = new QGridLayout(gbxFan);
    FanHigh =
        AddSliderPair(fanGrid, 0, QStringLiteral("FanHigh"), 0, ByteLevelMaximum, 10, 51, gbxFan);
    FanLow =
        AddSliderPair(fanGrid, 1, QStringLiteral("FanLow"), 0, ByteLevelMaximum, 10, 51, gbxFan);
    FanOff =
        AddSliderPair(fanGrid, 2, QStringLiteral("FanOff"), 0, ByteLevelMaximum, 10, 51, gbxFan);

    lblBoard = Named(new QLabel(this), QStringLiteral("lblBoard"));
    lblBoard->setAlignment(Qt::AlignCenter);
    imgHealth = Named(new ImageBox(this), QStringLiteral("imgHealth"));
    imgHealth->setFixedHeight(153);
    imgHealth->setMinimumWidth(400);
    imgHealth->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    imgHealth->hide(); // an empty box until the controller's counters arrive

    auto* groups = new QHBoxLayout;
    groups->addWidget(gbxLCDBL);
    groups->addWidget(gbxFan);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(timeGrid);
    layout->addLayout(groups);
    layout->addStretch(1);
    layout->addWidget(imgHealth);
    layout->addWidget(lblBoard);
    BindFields();
    connect(btnRealtime, &QPushButton::clicked, this, &ConfigPage::btnRealtimeClick);
}

void ConfigPage::BindFields() {
    fields_->Bind(TimeLapse.Edit, TimeLapse.Slider,
                  {ZEL_FIELD(Config.TimeLapse), IntegerFormat, rqSetConfig});
    const auto bindLevel = [this](const SliderPair& pair, Field field, uint32_t request,
                                  const SliderPair* upper, const SliderPair* lower) {
        fields_->Bind(pair.Edit, pair.Slider,
                      {std::move(field), PercentFormat, request, Between(upper, lower)});
    };
    bindLevel(LCDBLMax, ZEL_FIELD(Config.LCDBLMax), rqSetConfig, nullptr, &LCDBLMin);
    bindLevel(LCDBLMin, ZEL_FIELD(Config.LCDBLMin), rqSetConfig, &LCDBLMax, &LCDBLNight);
    bindLevel(LCDBLNight, ZEL_FIELD(Expert.LCDBLNight), rqSetExpert, &LCDBLMin, nullptr);
    bindLevel(FanHigh, ZEL_FIELD(Config.FanHigh), rqSetConfig, nullptr, &FanLow);
    bindLevel(FanLow, ZEL_FIELD(Config.FanLow), rqSetConfig, &FanHigh, &FanOff);
    bindLevel(FanOff, ZEL_FIELD(Expert.FanOff), rqSetExpert, &FanLow, nullptr);
}

void ConfigPage::LimitLevelSliders() {
    for (const SliderPair* pair : {&LCDBLMax, &LCDBLMin, &LCDBLNight, &FanHigh, &FanLow, &FanOff})
        pair->Slider->setMaximum(PercentMaximum);
}

void ConfigPage::btnRealtimeClick() {
    SetRealtime(state_);
    TimeLapse.Slider->setValue(1);
    TimeLapse.Edit->setText(QStringLiteral("1"));
}

void ConfigPage::SetConnected(bool connected, uint8_t fanMode) {
    SetEnabled({TimeLapse.Slider, btnRealtime, TimeLapse.Edit, LCDBLMax.Edit, LCDBLMin.Edit,
                LCDBLNight.Edit, LCDBLMax.Slider, LCDBLMin.Slider, LCDBLNight.Slider, FanHigh.Edit,
                FanLow.Edit, FanHigh.Slider, FanLow.Slider},
               connected);
    SetEnabled({FanOff.Edit, FanOff.Slider}, connected && fanMode != FanModeWater);
}

void ConfigPage::ShowBoard(const QString& text, bool alarm) {
    lblBoard->setText(text);
    QPalette palette = lblBoard->palette();
    palette.setColor(QPalette::WindowText,
                     alarm ? QColor(Qt::red) : this->palette().color(QPalette::WindowText));
    lblBoard->setPalette(palette);
}

void ConfigPage::ShowHealth(const HealthBlock& health) {
    // Counters of a controller that never ran hold nothing to show.
    imgHealth->setVisible(health.PowerCycles != 0);
    imgHealth->Draw([&](QImage& picture) { DrawHealth(picture, font(), palette(), health); });
}

} // namespace zel
