#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace zel {

// The page "Visualization" (tsVisualize): the schedule as curves over the day, one channel
// chosen for editing with the mouse.
class VisualizePage : public QWidget {
    Q_OBJECT
public:
    explicit VisualizePage(QWidget* parent);

    QLabel* lblVisualize;
    QComboBox* cmbVisualize;
    QCheckBox* cbxTimeLock;
    QLabel* img; // the drawing surface

    int VisualisedChannel() const { return visualisedChannel_; }
    // The channel names as the list offers them; the visualised channel stays selected.
    void SetChannelNames(const QStringList& names);
    void SetConnected(bool connected);

private:
    int visualisedChannel_ = 0;
};

} // namespace zel
