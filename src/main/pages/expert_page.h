// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "main/widgets/field_binder.h"
#include "main/widgets/widgets.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeZone>
#include <QWidget>

#include <array>
#include <functional>

namespace zel {

// The page "Expert options" (tsExpert): PWM and bus timing, sensor calibration, fan mode,
// chart source, time zone, display language, units and formats, random seed, lightning
// masks, temperature-triggered clouds and the white balance ramp. Temperatures follow the
// unit of Config.Flag, except the sensor offset and the cloud temperatures, always in °C.
class ExpertPage : public QWidget {
    Q_OBJECT
public:
    ExpertPage(DeviceState& state, QWidget* parent);

    QLabel* lblPWMPrescaler;
    LabeledEdit* edtPWMPrescaler;
    QLabel* lblTWIBitrate;
    LabeledEdit* edtTWIBitrate;
    LabeledEdit* edtTempOffset;
    QGroupBox* gbxFanMode;
    QRadioButton* rbtFMOLED;
    QRadioButton* rbtFMOWater;
    QRadioButton* rbtFMOWaterMaster;
    LabeledEdit* edtTempWaterLow;
    LabeledEdit* edtTempWaterHigh;
    QGroupBox* gbxChartMode;
    QRadioButton* rbtCHMTempWater;
    QRadioButton* rbtCHMTempBoard;
    QRadioButton* rbtCHMVoltage;
    QRadioButton* rbtCHMTempSlave;
    LabeledEdit* edtChartInterval;
    LabeledEdit* edtChartScale;
    QGroupBox* gbxCloudTemp;
    LabeledEdit* edtCloudTempWater;
    LabeledEdit* edtCloudTempBoard;
    LabeledEdit* edtBalanceSumRamp;
    QGroupBox* gbxTimeZone;
    LabeledEdit* edtTimeZoneBias;
    LabeledEdit* edtTimeZoneStandardMonth;
    LabeledEdit* edtTimeZoneStandardDay;
    LabeledEdit* edtTimeZoneStandardHour;
    LabeledEdit* edtTimeZoneStandardDayOfWeek;
    LabeledEdit* edtTimeZoneDaylightMonth;
    LabeledEdit* edtTimeZoneDaylightDay;
    LabeledEdit* edtTimeZoneDaylightHour;
    LabeledEdit* edtTimeZoneDaylightDayOfWeek;
    QPushButton* btnApplyTZI;
    QLabel* lblLanguage;
    QComboBox* cmbLanguage;
    QGroupBox* gbxTemperatureUnit;
    QRadioButton* rbtCelsius;
    QRadioButton* rbtFahrenheit;
    QGroupBox* gbxTimeFormat;
    QRadioButton* rbt12h;
    QRadioButton* rbt24h;
    QGroupBox* gbxLCDFormat;
    QRadioButton* rbt16x2;
    QRadioButton* rbt20x4;
    QGroupBox* gbxLightningMask;
    std::array<LabeledEdit*, ChannelCount> edtLightningMask;
    LabeledEdit* edtRandomInit;

    // The zone "Get from Windows" reads: this PC's; tests put a fixed one here.
    std::function<QTimeZone()> SystemZone = [] { return QTimeZone::systemTimeZone(); };

    // The nine time zone edits in the order their fields are stored.
    std::array<LabeledEdit*, 9> TimeZoneEdits() const;

    // Display format, temperature unit and clock format from Config.Flag.
    void ShowFormats(uint8_t flag);
    // Every control of an Expert field from the record; edits unless focused.
    void RefreshExpert();
    // The lightning masks from ExpertWeather, unless focused.
    void ShowLightningMasks() { fields_->Show(rqSetExpertWeather); }
    void SetConnected(bool connected, bool waterSensor);
    // The fields that only mean something with a water temperature probe.
    void SetWaterSensor(bool present);

    // Any of the nine time zone edits: all nine are stored up to the first that is no number,
    // and sent only when all are numbers.
    void edtTimeZoneBiasChange(LabeledEdit* edit);
    // The rule of this PC's time zone for the current year.
    void btnApplyTZIClick();
    void cmbLanguageChange();
    // The temperature unit: every temperature is shown again in it.
    void rbtCelsiusClick(QRadioButton* button);

signals:
    // The user chose the other temperature unit.
    void UnitChanged();
    // Expert.FanMode was selected: the fan-off level counts only with the LEDs driving the fan.
    void FanModeChanged();

private:
    void BindFields();
    void BindFormatButton(QRadioButton* button, uint8_t bit, bool set);
    void ShowTimeZone(bool unlessFocused);
    // The water limits count only while the water temperature drives the fan.
    void ShowFanModeStates();

    DeviceState& state_;
    FieldBinder* fields_;
};

} // namespace zel
