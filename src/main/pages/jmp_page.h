// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "main/widgets/field_binder.h"
#include "main/widgets/labeled_edit.h"

#include <QLabel>
#include <QRadioButton>
#include <QWidget>

#include <array>

namespace zel {

// The page "JMP pin" (tsJMP): what the multi-purpose output does, and the temperatures that
// switch it as a cooler or heater. The servo (mode 7) is shown when the controller reports it
// but cannot be chosen here.
class JmpPage : public QWidget {
    Q_OBJECT
public:
    JmpPage(DeviceState& state, QWidget* parent);

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

    // The mode and the cooler and heater temperatures from Expert; edits unless focused.
    void RefreshExpert();
    void SetConnected(bool connected);
    // Cooler and heater need the water temperature probe.
    void SetWaterSensor(bool present);

private:
    DeviceState& state_;
    FieldBinder* fields_;
};

} // namespace zel
