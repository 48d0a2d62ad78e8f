// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "main/widgets/field_binder.h"
#include "main/widgets/widgets.h"

#include <QLabel>
#include <QWidget>

#include <array>

namespace zel {

// A page with one setting per channel, each a slider with its edit ("edtMoon0", "trbMoon0",
// ...), under an explanatory label. The moon, delay and white balance pages are this shape;
// their fields are in ExpertWeather.
class ChannelPairsPage : public QWidget {
    Q_OBJECT
public:
    struct Shape {
        const char* PageName;
        const char* LabelName;
        const char* Suffix; // "Moon" gives edtMoon<n> and trbMoon<n>
        int Minimum;
        int Maximum;
        int PageStep;
        int TickInterval;
        Field Value; // of channel n
        FieldFormat Format;
    };

    ChannelPairsPage(DeviceState& state, const Shape& shape, QWidget* parent);

    QLabel* Label;
    std::array<SliderPair, ChannelCount> Pairs;

    // The channel's caption beside its edit and its colour behind it.
    void ShowChannelName(int channel, const QString& text, QRgb colour);
    virtual void SetConnected(bool connected);
    // Every pair from ExpertWeather, each unless focused.
    void ShowFields() { fields_->Show(rqSetExpertWeather); }

protected:
    QGridLayout* grid_;
    FieldBinder* fields_;
};

} // namespace zel
