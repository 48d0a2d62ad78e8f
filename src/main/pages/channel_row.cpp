// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/channel_row.h"

#include "cfg/conversions.h"
#include "main/widgets/widgets.h"

namespace zel {

namespace {
constexpr int LevelPageStep = 128;
constexpr int LevelTick = 512;
} // namespace

ChannelRow::ChannelRow(int channel, QGridLayout* grid, int gridRow, QWidget* parent)
    : Channel(channel) {
    const QString n = QString::number(channel);
    lblName = Named(new QLabel(parent), QStringLiteral("lblName") + n);
    cmbName = Named(new QComboBox(parent), QStringLiteral("cmbName") + n);
    trb = MakeSlider(QStringLiteral("trb") + n, 0, FullLevel, LevelPageStep, LevelTick, parent);
    // The wheel takes the focus too: a slider that moves must be one whose moves are sent.
    trb->setFocusPolicy(Qt::WheelFocus);
    edt = new LabeledEdit(QStringLiteral("edt") + n, QStringLiteral("%"), parent);
    edt->setMaximumWidth(70);
    btnOff = Named(new QPushButton(parent), QStringLiteral("btnOff") + n);
    btnOn = Named(new QPushButton(parent), QStringLiteral("btnOn") + n);
    cmbName->setMinimumContentsLength(12);

    int column = 0;
    for (QWidget* widget : std::initializer_list<QWidget*>{lblName, cmbName, trb, edt,
                                                           edt->EditLabel(), btnOff, btnOn}) {
        widget->setProperty("Tag", channel);
        grid->addWidget(widget, gridRow, column++);
    }
}

void ChannelRow::ShowLevel(int level) {
    SetPositionUnlessFocused(trb, level);
    SetTextUnlessFocused(edt, LevelText(level));
}

void ChannelRow::SetLevel(int level) {
    trb->setValue(level);
    edt->setText(LevelText(level));
}

void ChannelRow::SetLevelControlsEnabled(bool enabled) {
    SetEnabled({trb, edt, btnOff, btnOn}, enabled);
}

} // namespace zel
