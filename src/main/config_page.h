#pragma once

#include "cfg/records.h"
#include "main/image_box.h"
#include "main/widgets.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace zel {

// The page "Configuration" (tsConfig): time lapse, display backlight and fan levels, the
// status line of the controller and its health picture.
class ConfigPage : public QWidget {
    Q_OBJECT
public:
    explicit ConfigPage(QWidget* parent);

    QPushButton* btnRealtime;
    SliderPair TimeLapse;
    QGroupBox* gbxLCDBL;
    SliderPair LCDBLMax;
    SliderPair LCDBLMin;
    SliderPair LCDBLNight;
    QGroupBox* gbxFan;
    SliderPair FanHigh;
    SliderPair FanLow;
    SliderPair FanOff;
    QLabel* lblBoard;
    ImageBox* imgHealth;

    // Backlight and fan levels are percentages: the sliders end at 100.
    void LimitLevelSliders();
    // Time lapse, backlight and fan levels from Config, each unless focused.
    void ShowLevels(const ConfigBlock& config);
    // The fan's "all LEDs off" level counts only while the LEDs drive the fan (FanMode 0).
    void SetConnected(bool connected, uint8_t fanMode);
    // The status text under the page, red while an error other than "RAM full" is reported.
    void ShowBoard(const QString& text, bool alarm);
    // The health picture from the controller's counters.
    void ShowHealth(const HealthBlock& health);
};

} // namespace zel
