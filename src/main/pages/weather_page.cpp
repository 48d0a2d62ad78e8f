// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/weather_page.h"

#include "cfg/conversions.h"
#include "host/status_texts.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace zel {

namespace {
bool WeatherMode(uint8_t mode) {
    return mode == ModeAuto || mode == ModeGeo;
}

struct PairShape {
    SliderPair* Pair;
    const char* Suffix;
    int Minimum;
    int Maximum;
    int Step; // page step and tick spacing alike
};

// The group's slider pairs, one row each, in a grid that has room for more rows.
QGridLayout* AddPairs(QGroupBox* group, std::initializer_list<PairShape> shapes) {
    auto* grid = new QGridLayout(group);
    int row = 0;
    for (const PairShape& shape : shapes)
        *shape.Pair = AddSliderPair(grid, row++, QLatin1String(shape.Suffix), shape.Minimum,
                                    shape.Maximum, shape.Step, shape.Step, group);
    return grid;
}

// The trigger button and the ratio line below the group's sliders.
QPushButton* AddButtonRow(QGridLayout* grid, const QString& name, QLabel*& ratio,
                          const QString& ratioName, QWidget* parent) {
    auto* button = Named(new QPushButton(parent), name);
    ratio = Named(new QLabel(parent), ratioName);
    const int row = grid->rowCount();
    grid->addWidget(button, row, 1);
    grid->addWidget(ratio, row, 2);
    return button;
}

// A count or duration of a weather group is the position of its slider; an edit moves the
// slider, limited to the slider's range.
Field SliderField(QAbstractSlider* slider) {
    return {[slider](const DeviceState&, int) -> int64_t { return slider->value(); },
            [slider](DeviceState&, int, int64_t value) {
                slider->setValue(int(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)));
            }};
}

// How a count or duration slider stands for its stored figure. Both conversions round down,
// so a figure set from a position shows one position lower (24 clouds a day are CloudP 14,
// shown as 23).
struct FigureScale {
    int64_t (*Shown)(uint16_t stored); // negative: no position stands for it
    int64_t (*Stored)(int64_t position);
};
constexpr FigureScale CloudCountScale{CloudsPerDay, CloudPFromCount};
constexpr FigureScale CloudSecondsScale{zel::CloudSeconds, CloudDFromSeconds};
constexpr FigureScale StormCountScale{StormsPerWeek, StormPFromCount};
constexpr FigureScale StormMinutesScale{zel::StormMinutes, StormDFromMinutes};

bool StandsFor(const FigureScale& scale, int position, uint16_t stored) {
    return scale.Stored(position) == stored || scale.Shown(stored) == position;
}

// The figure of a slider position; a position that already stands for the stored figure keeps
// it, so that a figure the user did not touch is never rewritten one step lower.
uint16_t FigureAt(const FigureScale& scale, const SliderPair& pair, uint16_t stored) {
    const int position = pair.Slider->value();
    return StandsFor(scale, position, stored) ? stored : uint16_t(scale.Stored(position));
}

// The slider stays where it is while its position stands for the stored figure. The edit
// shows the slider's position, so a figure beyond the slider's range shows clamped.
void ShowFigure(const SliderPair& pair, const FigureScale& scale, uint16_t stored) {
    const int64_t shown = scale.Shown(stored);
    if (shown >= 0 && !StandsFor(scale, pair.Slider->value(), stored))
        SetPositionUnlessFocused(pair.Slider, int(std::min<int64_t>(shown, INT32_MAX)));
    SetTextUnlessFocused(pair.Edit, QString::number(pair.Slider->value()));
}
} // namespace

WeatherPage::WeatherPage(DeviceState& state, QWidget* parent)
    : QWidget(parent), state_(state), fields_(new FieldBinder(state, this)) {
    setObjectName(QStringLiteral("tsWeather"));
    gbxCloud = Named(new QGroupBox(this), QStringLiteral("gbxCloud"));
    auto* cloud = AddPairs(gbxCloud, {{&CloudCount, "CloudCount", 0, 3000, 100},
                                      {&CloudSeconds, "CloudSeconds", 1, 900, 60},
                                      {&CloudAlpha, "CloudAlpha", 0, 100, 10},
                                      {&CloudStep, "CloudStep", 1, 5000, 1000}});
    btnCloud = AddButtonRow(cloud, QStringLiteral("btnCloud"), lblCloudRatio,
                            QStringLiteral("lblCloudRatio"), gbxCloud);

    gbxStorm = Named(new QGroupBox(this), QStringLiteral("gbxStorm"));
    auto* storm = AddPairs(gbxStorm, {{&StormCount, "StormCount", 0, 1000, 100},
                                      {&StormMinutes, "StormMinutes", 1, 200, 60},
                                      {&StormAlpha, "StormAlpha", 0, 100, 10},
                                      {&StormStep, "StormStep", 1, 5000, 1000},
                                      {&LightningP, "LightningP", 0, 5000, 1000}});
    btnStorm = AddButtonRow(storm, QStringLiteral("btnStorm"), lblStormRatio,
                            QStringLiteral("lblStormRatio"), gbxStorm);

    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(gbxCloud);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(gbxStorm);
    right->addStretch(1);
    layout->addLayout(left);
    layout->addLayout(right);
    BindFields();
}

void WeatherPage::BindFields() {
    for (const SliderPair* pair : {&CloudCount, &CloudSeconds})
        fields_->Bind(
            pair->Edit, pair->Slider,
            {SliderField(pair->Slider), IntegerFormat, 0, {}, [this] { UpdateCloudFigures(); }});
    for (const SliderPair* pair : {&StormCount, &StormMinutes})
        fields_->Bind(
            pair->Edit, pair->Slider,
            {SliderField(pair->Slider), IntegerFormat, 0, {}, [this] { UpdateStormFigures(); }});
    const std::pair<const SliderPair*, Field> weather[] = {
        {&CloudAlpha, ZEL_FIELD(ExpertWeather.CloudAlpha)},
        {&CloudStep, ZEL_FIELD(ExpertWeather.CloudStep)},
        {&StormAlpha, ZEL_FIELD(ExpertWeather.StormAlpha)},
        {&StormStep, ZEL_FIELD(ExpertWeather.StormStep)},
        {&LightningP, ZEL_FIELD(ExpertWeather.LightningP)}};
    for (const auto& [pair, field] : weather)
        fields_->Bind(pair->Edit, pair->Slider, {field, IntegerFormat, rqSetExpertWeather});
}

void WeatherPage::UpdateCloudFigures() {
    ConfigBlock& config = state_.Config;
    config.CloudP = FigureAt(CloudCountScale, CloudCount, config.CloudP);
    config.CloudD = FigureAt(CloudSecondsScale, CloudSeconds, config.CloudD);
    RefreshWeatherInfo();
    state_.Raise(rqSetConfig);
}

void WeatherPage::UpdateStormFigures() {
    ConfigBlock& config = state_.Config;
    config.StormP = FigureAt(StormCountScale, StormCount, config.StormP);
    config.StormD = FigureAt(StormMinutesScale, StormMinutes, config.StormD);
    RefreshWeatherInfo();
    state_.Raise(rqSetConfig);
}

void WeatherPage::RefreshWeatherInfo() {
    lblCloudRatio->setText(CloudRatioLine(state_.Config, state_.Info));
    lblStormRatio->setText(StormRatioLine(state_.Config, state_.Info));
}

void WeatherPage::ShowFigures(const ConfigBlock& config) {
    ShowFigure(CloudCount, CloudCountScale, config.CloudP);
    ShowFigure(CloudSeconds, CloudSecondsScale, config.CloudD);
    ShowFigure(StormCount, StormCountScale, config.StormP);
    ShowFigure(StormMinutes, StormMinutesScale, config.StormD);
}

void WeatherPage::SetConnected(bool connected, uint8_t mode) {
    for (const SliderPair* pair : {&CloudCount, &CloudSeconds, &StormCount, &StormMinutes,
                                   &CloudAlpha, &CloudStep, &StormAlpha, &StormStep, &LightningP})
        SetEnabled({pair->Edit, pair->Slider}, connected);
    SetEnabled({lblCloudRatio, lblStormRatio}, connected);
    SetEnabled({btnCloud, btnStorm}, connected && WeatherMode(mode));
}

void WeatherPage::ShowMode(uint8_t mode) {
    SetEnabled({btnCloud, btnStorm}, WeatherMode(mode));
}

} // namespace zel
