#pragma once

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QWidget>

namespace zel {

// The page "Chart" (tsTemp): the controller's recorded temperature or voltage, with a popup
// menu choosing the source.
class ChartPage : public QWidget {
    Q_OBJECT
public:
    explicit ChartPage(QWidget* parent);

    QLabel* imgTemp;
    QMenu* pumChart;
    QAction* mnuCHMTempWater;
    QAction* mnuCHMTempBoard;
    QAction* mnuCHMVoltage;
    QAction* mnuCHMTempSlave;

    void SetConnected(bool connected);
};

} // namespace zel
