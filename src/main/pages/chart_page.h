#pragma once

#include "cfg/device_state.h"
#include "main/views/chart_view.h"
#include "main/views/image_box.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QWidget>

#include <functional>

namespace zel {

// The page "Chart" (tsTemp): the controller's recorded temperature or voltage, with a popup
// menu choosing the source and saving the chart. Hovering shows a sample's time and value.
class ChartPage : public QWidget {
    Q_OBJECT
public:
    ChartPage(DeviceState& state, QWidget* parent);

    // What the chart shows: source, unit and interval.
    QLabel* lblChartSource;
    ImageBox* imgTemp;
    QMenu* pumChart;
    QAction* mnuCHMTempWater;
    QAction* mnuCHMTempBoard;
    QAction* mnuCHMVoltage;
    QAction* mnuCHMTempSlave;
    QAction* mnuSaveChart;

    // Asks for the file to save the chart in; empty when the user cancelled. Replaceable by
    // tests.
    std::function<QString()> SaveChartDialog;

    // Redraws: an empty chart says whether it is a connected controller's.
    void SetConnected(bool connected);
    void RefreshChart();
    // The chart as drawn last: its samples and the time of the newest.
    const ChartData& Data() const { return data_; }
    // The text the pointer shows over a picture x; empty where no sample is.
    QString SampleTip(int x) const;

    void imgTempClick();
    void imgTempMouseEnter();
    void imgTempMouseLeave();
    void imgTempMouseMove(QPoint point);
    void imgTempResize();
    void pumChartPopup();
    // Expert.ChartMode := the entry's source; Expert is written and the chart read again. The
    // source already chosen changes nothing.
    void mnuCHMClick(QAction* entry);
    // A ".csv" file gets the samples as a table, any other the picture as PNG. Throws
    // std::runtime_error when the file cannot be written; an existing file is then unchanged.
    void SaveChart(const QString& path);
    void mnuSaveChartClick();

private:
    QString AskChartFile();
    QString SourceCaption() const;

    DeviceState& state_;
    ChartData data_;
    bool connected_ = false;
};

} // namespace zel
