#include "main/weather_page.h"

#include "cfg/conversions.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace zel {

namespace {
bool WeatherMode(uint8_t mode) {
    return mode == ModeAuto || mode == ModeGeo;
}

QPushButton* AddButtonRow(QGridLayout* grid, int row, const QString& name, QLabel*& ratio,
                          const QString& ratioName, QWidget* parent) {
    auto* button = Named(new QPushButton(parent), name);
    ratio = Named(new QLabel(parent), ratioName);
    grid->addWidget(button, row, 1);
    grid->addWidget(ratio, row, 2);
    return button;
}
} // namespace

WeatherPage::WeatherPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsWeather"));
    gbxCloud = Named(new QGroupBox(this), QStringLiteral("gbxCloud"));
    auto* cloud = new QGridLayout(gbxCloud);
    CloudCount = AddSliderPair(cloud, 0, QStringLiteral("CloudCount"), 0, 3000, 100, 100, gbxCloud);
    CloudSeconds =
        AddSliderPair(cloud, 1, QStringLiteral("CloudSeconds"), 1, 900, 60, 60, gbxCloud);
    CloudAlpha = AddSliderPair(cloud, 2, QStringLiteral("CloudAlpha"), 0, 100, 10, 10, gbxCloud);
    CloudStep = AddSliderPair(cloud, 3, QStringLiteral("CloudStep"), 1, 5000, 1000, 1000, gbxCloud);
    btnCloud = AddButtonRow(cloud, 4, QStringLiteral("btnCloud"), lblCloudRatio,
                            QStringLiteral("lblCloudRatio"), gbxCloud);

    gbxStorm = Named(new QGroupBox(this), QStringLiteral("gbxStorm"));
    auto* storm = new QGridLayout(gbxStorm);
    StormCount = AddSliderPair(storm, 0, QStringLiteral("StormCount"), 0, 1000, 100, 100, gbxStorm);
    StormMinutes =
        AddSliderPair(storm, 1, QStringLiteral("StormMinutes"), 1, 200, 60, 60, gbxStorm);
    StormAlpha = AddSliderPair(storm, 2, QStringLiteral("StormAlpha"), 0, 100, 10, 10, gbxStorm);
    StormStep = AddSliderPair(storm, 3, QStringLiteral("StormStep"), 1, 5000, 1000, 1000, gbxStorm);
    LightningP =
        AddSliderPair(storm, 4, QStringLiteral("LightningP"), 0, 5000, 1000, 1000, gbxStorm);
    btnStorm = AddButtonRow(storm, 5, QStringLiteral("btnStorm"), lblStormRatio,
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

void WeatherPage::ShowRatios(const QString& cloudText, const QString& stormText) {
    lblCloudRatio->setText(cloudText);
    lblStormRatio->setText(stormText);
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
