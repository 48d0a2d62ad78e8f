// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/jmp_page.h"

#include "main/widgets/widgets.h"

#include <QGridLayout>
#include <QVBoxLayout>

namespace zel {

namespace {
// A pair of temperature edits on one line: the label, the lower and the upper value.
void AddTemperatureRow(QGridLayout* grid, int row, const QString& low, const QString& high,
                       LabeledEdit*& lowEdit, LabeledEdit*& highEdit, QWidget* parent) {
    lowEdit = AddEdit(grid, row, low, parent);
    highEdit = new LabeledEdit(high, QString(), parent);
    highEdit->setMaximumWidth(90);
    grid->addWidget(highEdit, row, 2);
}
} // namespace

JmpPage::JmpPage(DeviceState& state, QWidget* parent)
    : QWidget(parent), state_(state), fields_(new FieldBinder(state, this)) {
    setObjectName(QStringLiteral("tsJMP"));
    auto* layout = new QVBoxLayout(this);
    lblJMPWarning1 = Named(new QLabel(this), QStringLiteral("lblJMPWarning1"));
    lblJMPWarning1->setStyleSheet(QStringLiteral("font-weight: bold"));
    lblJMPWarning2 = Named(new QLabel(this), QStringLiteral("lblJMPWarning2"));
    lblJMPWarning2->setWordWrap(true);
    layout->addWidget(lblJMPWarning1);
    layout->addWidget(lblJMPWarning2);

    const char* const names[] = {"rbtJMPIRLearn", "rbtJMPCloud",  "rbtJMPStorm",
                                 "rbtJMPCooler",  "rbtJMPHeater", "rbtJMPLightning",
                                 "rbtJMPTimer",   "rbtJMPServo",  "rbtJMPPWM"};
    QRadioButton** const buttons[] = {&rbtJMPIRLearn, &rbtJMPCloud,  &rbtJMPStorm,
                                      &rbtJMPCooler,  &rbtJMPHeater, &rbtJMPLightning,
                                      &rbtJMPTimer,   &rbtJMPServo,  &rbtJMPPWM};
    for (int mode = 0; mode < 9; ++mode) {
        *buttons[mode] = Named(new QRadioButton(this), QLatin1String(names[mode]));
        layout->addWidget(*buttons[mode]);
    }

    auto* temperatures = new QGridLayout;
    AddTemperatureRow(temperatures, 0, QStringLiteral("edtTempCoolLow"),
                      QStringLiteral("edtTempCoolHigh"), edtTempCoolLow, edtTempCoolHigh, this);
    AddTemperatureRow(temperatures, 1, QStringLiteral("edtTempHeatLow"),
                      QStringLiteral("edtTempHeatHigh"), edtTempHeatLow, edtTempHeatHigh, this);
    temperatures->setColumnStretch(3, 1);
    layout->addLayout(temperatures);
    layout->addStretch(1);

    const std::array<QRadioButton*, 9> modes = ModeButtons();
    for (int mode = 0; mode < int(modes.size()); ++mode)
        if (modes[size_t(mode)] != rbtJMPServo)
            fields_->BindChoice(modes[size_t(mode)], ZEL_FIELD(Expert.JMPMode), mode, rqSetExpert);
    const std::pair<LabeledEdit*, Field> edits[] = {
        {edtTempCoolLow, ZEL_FIELD(Expert.TempCoolLow)},
        {edtTempCoolHigh, ZEL_FIELD(Expert.TempCoolHigh)},
        {edtTempHeatLow, ZEL_FIELD(Expert.TempHeatLow)},
        {edtTempHeatHigh, ZEL_FIELD(Expert.TempHeatHigh)}};
    for (const auto& [edit, field] : edits)
        fields_->Bind(edit, nullptr, {field, TemperatureFormat, rqSetExpert});
}

void JmpPage::RefreshExpert() {
    SelectChoice(ModeButtons(), state_.Expert.JMPMode);
    fields_->Show(rqSetExpert);
}

std::array<QRadioButton*, 9> JmpPage::ModeButtons() const {
    return {rbtJMPIRLearn,   rbtJMPCloud, rbtJMPStorm, rbtJMPCooler, rbtJMPHeater,
            rbtJMPLightning, rbtJMPTimer, rbtJMPServo, rbtJMPPWM};
}

void JmpPage::SetConnected(bool connected) {
    for (QRadioButton* button : ModeButtons())
        button->setEnabled(connected);
    SetEnabled({lblJMPWarning1, lblJMPWarning2, edtTempCoolLow, edtTempCoolHigh, edtTempHeatLow,
                edtTempHeatHigh},
               connected);
}

void JmpPage::SetWaterSensor(bool present) {
    SetEnabled({rbtJMPCooler, rbtJMPHeater, edtTempCoolLow, edtTempCoolHigh, edtTempHeatLow,
                edtTempHeatHigh},
               present);
}

} // namespace zel
