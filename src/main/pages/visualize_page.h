// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "main/pages/design_day_dialog.h"
#include "main/pages/schedule_history.h"
#include "main/views/image_box.h"
#include "main/views/visualize_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <array>

namespace zel {

// The page "Visualization" (tsVisualize): the schedule as curves over the day, one channel
// chosen for editing with the mouse. A drag changes one row; on release the row is uploaded
// and the drag becomes one edit of the history.
class VisualizePage : public QWidget {
    Q_OBJECT
public:
    static constexpr int TimerIntervalMs = 25;
    static constexpr int HitDistance = 8;

    VisualizePage(DeviceState& state, ScheduleHistory& history, QWidget* parent);

    QLabel* lblVisualize;
    QComboBox* cmbVisualize;
    QCheckBox* cbxTimeLock;
    ImageBox* img;
    QTimer* tmrVisualize;
    QPushButton* btnVisualizeDesignDay;
    // Each channel's daily dose, and the PAR at full level that turns it into a daily light
    // integral (kept in the window's settings).
    std::array<QLabel*, ChannelCount> lblDose{};
    std::array<QLineEdit*, ChannelCount> edtPar{};

    int VisualisedChannel() const { return visualisedChannel_; }
    int DragPoint() const { return dragPoint_; }
    // The channel names as the list offers them; the visualised channel stays selected. New
    // names redraw the curves in their colours.
    void SetChannelNames(const QStringList& names);
    void SetConnected(bool connected);

    // The whole picture from the records: the geo view in the mode Geo, else the time view.
    void Redraw();
    // After a status read: draws again only when the time or sun line has moved.
    void RefreshMarker();

    void imgMouseDown(QPoint point);
    void imgMouseMove(QPoint point);
    void imgMouseUp();
    void imgMouseEnter();
    void imgMouseLeave();
    void imgResize();
    void tmrVisualizeTimer();
    void cmbVisualizeChange(int index);
    // A PAR typed: kept when it is a number above 0, forgotten when empty.
    void edtParChange(int channel);
    // A wheel turn while this page is active: the next or previous channel. False (left to
    // others) while a point is dragged.
    bool FormMouseWheel(int delta);

private:
    std::optional<double> Marker() const;
    int MinutesBetweenNeighbours(int k, int minutes) const;
    void ShowDose();
    ChannelPar par_;
    DeviceState& state_;
    ScheduleHistory& history_;
    VisualizeRenderer renderer_;
    std::array<QString, ChannelCount> names_; // the legend's
    int visualisedChannel_ = 0;
    int dragPoint_ = -1;
    std::optional<double> drawnMarker_; // where the last drawing put the time or sun line
    // The dragged row as it was on the press, for the history.
    ScheduleRow dragStart_{};
    int dragGeneration_ = 0;
};

} // namespace zel
