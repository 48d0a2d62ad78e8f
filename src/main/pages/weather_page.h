// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "main/widgets/field_binder.h"
#include "main/widgets/widgets.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace zel {

// The page "Weather" (tsWeather): how often and how long clouds and thunderstorms come, how
// dark they get, and lightning. The count and duration of a group are edited as slider
// positions; the controller's probabilities are computed from the two sliders, unless a
// slider already stands for its stored figure.
class WeatherPage : public QWidget {
    Q_OBJECT
public:
    WeatherPage(DeviceState& state, QWidget* parent);

    QGroupBox* gbxCloud;
    SliderPair CloudCount;
    SliderPair CloudSeconds;
    SliderPair CloudAlpha;
    SliderPair CloudStep;
    QPushButton* btnCloud;
    QLabel* lblCloudRatio;
    QGroupBox* gbxStorm;
    SliderPair StormCount;
    SliderPair StormMinutes;
    SliderPair StormAlpha;
    SliderPair StormStep;
    SliderPair LightningP;
    QPushButton* btnStorm;
    QLabel* lblStormRatio;

    // Clouds per day, their mean seconds, thunderstorms per week and their mean minutes from
    // Config, each unless focused. A slider whose position already stands for its figure, and
    // a duration of 0, leave the slider where it is.
    void ShowFigures(const ConfigBlock& config);
    // Alpha, step and lightning from ExpertWeather, each unless focused.
    void ShowFields(uint32_t request) { fields_->Show(request); }
    // The ratio lines from Config and the weather now active.
    void RefreshWeatherInfo();
    void SetConnected(bool connected, uint8_t mode);
    // A cloud or thunderstorm can be triggered only in the modes Auto and Geo.
    void ShowMode(uint8_t mode);

    // CloudP and CloudD, or StormP and StormD, from the two sliders of the group; sent.
    void UpdateCloudFigures();
    void UpdateStormFigures();

private:
    void BindFields();

    DeviceState& state_;
    FieldBinder* fields_;
};

} // namespace zel
