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
    state_.Config.CloudP = uint16_t(CloudPFromCount(CloudCount.Slider->value()));
    state_.Config.CloudD = uint16_t(CloudDFromSeconds(CloudSeconds.Slider->value()));
    RefreshWeatherInfo();
    state_.Raise(rqSetConfig);
}

void WeatherPage::UpdateStormFigures() {
    state_.Config.StormP = uint16_t(StormPFromCount(StormCount.Slider->value()));
    state_.Config.StormD = uint16_t(StormDFromMinutes(StormMinutes.Slider->value()));
    RefreshWeatherInfo();
    state_.Raise(rqSetConfig);
}

void WeatherPage::RefreshWeatherInfo() {
    lblCloudRatio->setText(CloudRatioLine(state_.Config, state_.Info));
    lblStormRatio->setText(StormRatioLine(state_.Config, state_.Info));
}

void WeatherPage::ShowFigures(const ConfigBlock& config) {
    ShowFigurePair(CloudCount, CloudsPerDay(config.CloudP), CloudSeconds,
                   zel::CloudSeconds(config.CloudD));
    ShowFigurePair(StormCount, StormsPerWeek(config.StormP), StormMinutes,
                   zel::StormMinutes(config.StormD));
}

// The edits show the sliders' positions, so a figure beyond a slider's range shows clamped.
void WeatherPage::ShowFigurePair(const SliderPair& count, int64_t countValue,
                                 const SliderPair& duration, int64_t durationValue) {
    SetPositionUnlessFocused(count.Slider, int(std::min<int64_t>(countValue, INT32_MAX)));
    if (durationValue >= 0)
        SetPositionUnlessFocused(duration.Slider, int(std::min<int64_t>(durationValue, INT32_MAX)));
    SetTextUnlessFocused(count.Edit, QString::number(count.Slider->value()));
    SetTextUnlessFocused(duration.Edit, QString::number(duration.Slider->value()));
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
