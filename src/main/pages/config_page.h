// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "main/views/image_box.h"
#include "main/widgets/field_binder.h"
#include "main/widgets/widgets.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace zel {

// The page "Configuration" (tsConfig): time lapse, display backlight and fan levels, the
// status line of the controller and its health picture. The levels keep their order when
// dragged: backlight max ≥ min ≥ night, fan high ≥ low ≥ off; typed values are taken as they are.
class ConfigPage : public QWidget {
    Q_OBJECT
public:
    ConfigPage(DeviceState& state, QWidget* parent);

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
    // The fields of the block that `request` writes (Config: time lapse, backlight and fan;
    // Expert: night backlight and fan off), each unless focused.
    void ShowFields(uint32_t request) { fields_->Show(request); }
    // The fan's "all LEDs off" level counts only while the LEDs drive the fan (FanMode 0).
    void SetConnected(bool connected, uint8_t fanMode);
    // The status text under the page, red while an error other than "RAM full" is reported.
    void ShowBoard(const QString& text, bool alarm);
    // The health picture from the controller's counters, shown once they count a power-up.
    void ShowHealth(const HealthBlock& health);

    // Time lapse back to 1, sent even when it was 1 already.
    void btnRealtimeClick();

private:
    void BindFields();

    DeviceState& state_;
    FieldBinder* fields_;
};

} // namespace zel
