// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "main/pages/channel_row.h"

#include <QLabel>
#include <QWidget>

#include <vector>

namespace zel {

// The page "Channels" (tsChannels): the four channel rows W, R, G, B. A level the user sets
// goes to Info.Channel with rqSetChannels, a colour name to Config with rqSetConfig. The
// handlers listen only to the user's own input and act only while their control has the
// keyboard focus, so that the refreshes that set these controls never send anything.
class ChannelsPage : public QWidget {
    Q_OBJECT
public:
    ChannelsPage(DeviceState& state, QWidget* parent);

    ChannelRow& Row(int channel) { return rows_[size_t(channel)]; }

    // The 16 colour names in every row's list, in code order.
    void FillColorNames();
    // Slider and edit of every row from Info.Channel, unless focused.
    void ShowLevels(const InfoBlock& info);
    // Names follow the connection; levels can be set only in the mode Manual.
    void SetConnected(bool connected, uint8_t mode);
    void ShowMode(uint8_t mode);
    // The row's colour name (unless its list is open) and the colour behind its edit.
    void ShowColorName(int channel, int code);

    // One handler per control family; the channel is the control's "Tag".
    void trbAChange(QSlider* slider);
    void edtAChange(QLineEdit* edit);
    void btnOffAClick(QPushButton* button);
    void btnOnAClick(QPushButton* button);
    void cmbNameAChange(QComboBox* box);

signals:
    // A channel's colour name changed: every place that shows the names follows.
    void ChannelNamesChanged();

private:
    void ConnectHandlers();
    void SetLevel(int channel, int level);
    void ShowModeNote(uint8_t mode);

    DeviceState& state_;
    bool connected_ = false;
    // Which mode runs, and outside Manual why the level controls rest and how to switch.
    QLabel* lblModeNote = nullptr;
    std::vector<ChannelRow> rows_;
};

} // namespace zel
