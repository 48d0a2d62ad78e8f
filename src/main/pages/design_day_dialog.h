// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// "Design a day…" and "Scale levels…" of the Schedule and Visualization pages. Both change the
// schedule only through the history, so what they do is one edit: uploaded like any other,
// taken back by one Undo.

#include "cfg/device_state.h"
#include "daylight/daylight.h"
#include "main/pages/schedule_history.h"
#include "main/views/image_box.h"
#include "main/views/scalable_image_view.h"
#include "main/views/visualize_view.h"

#include <QDateEdit>
#include <QDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <array>
#include <optional>
#include <vector>

namespace zel {

// Per channel the PAR at full level (µmol/m²/s) the user gave, none where not given.
using ChannelPar = std::array<std::optional<double>, ChannelCount>;

// "W 6.2 h" per channel, with "· 10.8 mol/m²/day" where PAR is given; one line each. Empty
// when the rows are not a day in time order.
QStringList DoseTexts(const std::vector<ScheduleRow>& rows, const ChannelPar& par = {});

// A day that follows the sun at a place (the controller's by default), previewed as the
// Visualization page draws it, with its dose. Apply makes it one edit of the history.
class DesignDayDialog : public QDialog {
    Q_OBJECT
public:
    DesignDayDialog(DeviceState& state, ScheduleHistory& history, QWidget* parent);

    QLineEdit* edtDesignLat;
    QLineEdit* edtDesignLon;
    ScalableImageView* imgDesignMap; // a click sets the place
    QDateEdit* dtpDesign;
    QLineEdit* edtDesignNoon;                            // HH:MM; empty keeps the sun's noon
    std::array<QSpinBox*, ChannelCount> edtDesignMax{};  // percent
    std::array<QSpinBox*, ChannelCount> edtDesignDawn{}; // minutes earlier
    std::array<QSpinBox*, ChannelCount> edtDesignDusk{}; // minutes later
    ImageBox* imgDesign;
    QLabel* lblDesignDose;
    QPushButton* btnDesignApply;

    // The rows the preview shows; empty while the inputs give no day.
    const std::vector<ScheduleRow>& Rows() const { return rows_; }

    // Any input changed: design, fit and draw again.
    void DesignChange();
    // The place under the click, to a tenth of a degree as the controller keeps it.
    void imgDesignMapMouseDown(QPoint picturePoint);
    void btnDesignApplyClick();

private:
    std::optional<DaylightRequest> Request() const;
    void DrawPreview();

    DeviceState& state_;
    ScheduleHistory& history_;
    VisualizeRenderer renderer_;
    std::vector<ScheduleRow> rows_;
};

// Opens the designer (non-modal, deleted on close) and returns it.
DesignDayDialog* OpenDesignDayDialog(DeviceState& state, ScheduleHistory& history, QWidget* parent);

// Opens "Scale levels…": one acclimation step by hand, every level of the sendable rows times
// the percentage given, as one edit of the history. Returns the dialog (deleted on close).
QInputDialog* OpenScaleLevelsDialog(DeviceState& state, ScheduleHistory& history, QWidget* parent);

} // namespace zel
