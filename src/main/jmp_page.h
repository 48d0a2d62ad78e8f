#pragma once

#include "main/labeled_edit.h"

#include <QLabel>
#include <QRadioButton>
#include <QWidget>

#include <array>

namespace zel {

// The page "JMP pin" (tsJMP): what the multi-purpose output does, and the temperatures that
// switch it as a cooler or heater.
class JmpPage : public QWidget {
    Q_OBJECT
public:
    explicit JmpPage(QWidget* parent);

    QLabel* lblJMPWarning1;
    QLabel* lblJMPWarning2;
    QRadioButton* rbtJMPIRLearn;
    QRadioButton* rbtJMPCloud;
    QRadioButton* rbtJMPStorm;
    QRadioButton* rbtJMPCooler;
    QRadioButton* rbtJMPHeater;
    QRadioButton* rbtJMPLightning;
    QRadioButton* rbtJMPTimer;
    QRadioButton* rbtJMPServo;
    QRadioButton* rbtJMPPWM;
    LabeledEdit* edtTempCoolLow;
    LabeledEdit* edtTempCoolHigh;
    LabeledEdit* edtTempHeatLow;
    LabeledEdit* edtTempHeatHigh;

    // The buttons by Expert.JMPMode, 0 to 8.
    std::array<QRadioButton*, 9> ModeButtons() const;

    void SetConnected(bool connected);
    // Cooler and heater need the water temperature probe.
    void SetWaterSensor(bool present);
};

} // namespace zel
