#pragma once

#include "cfg/records.h"
#include "main/widgets.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace zel {

// The page "Weather" (tsWeather): how often and how long clouds and thunderstorms come, how
// dark they get, and lightning.
class WeatherPage : public QWidget {
    Q_OBJECT
public:
    explicit WeatherPage(QWidget* parent);

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
    // Config, each unless focused. A duration of 0 leaves its slider where it is.
    void ShowFigures(const ConfigBlock& config);
    void ShowRatios(const QString& cloudText, const QString& stormText);
    void SetConnected(bool connected, uint8_t mode);
    // A cloud or thunderstorm can be triggered only in the modes Auto and Geo.
    void ShowMode(uint8_t mode);

private:
    void ShowFigurePair(const SliderPair& count, int64_t countValue, const SliderPair& duration,
                        int64_t durationValue);
};

} // namespace zel
