#pragma once

#include "cfg/records.h"
#include "main/widgets.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <array>

namespace zel {

// The page "Expert options" (tsExpert): PWM and bus timing, sensor calibration, fan mode,
// chart source, time zone, display language, units and formats, random seed, lightning
// masks, temperature-triggered clouds and the white balance ramp.
class ExpertPage : public QWidget {
    Q_OBJECT
public:
    explicit ExpertPage(QWidget* parent);

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

    // The nine time zone edits in the order their fields are stored.
    std::array<LabeledEdit*, 9> TimeZoneEdits() const;

    // Display format, temperature unit and clock format from Config.Flag.
    void ShowFormats(uint8_t flag);
    void SetConnected(bool connected, bool waterSensor);
    // The fields that only mean something with a water temperature probe.
    void SetWaterSensor(bool present);
};

} // namespace zel
