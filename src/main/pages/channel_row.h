// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "main/widgets/labeled_edit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace zel {

// One channel's controls on the channel page: name label, colour name list, level slider,
// percent edit and the OFF and ON buttons, named with the channel number ("trb2", "edt2").
// Each control carries the channel as its "Tag" property, as the shared handlers expect.
class ChannelRow {
public:
    ChannelRow(int channel, QGridLayout* grid, int gridRow, QWidget* parent);

    const int Channel;
    QLabel* lblName;
    QComboBox* cmbName;
    QSlider* trb;
    LabeledEdit* edt;
    QPushButton* btnOff;
    QPushButton* btnOn;

    // Slider and percent edit from a level 0..4096, each unless focused.
    void ShowLevel(int level);
    // The same for a level the user has just set, focused or not.
    void SetLevel(int level);
    void SetLevelControlsEnabled(bool enabled);
};

} // namespace zel
