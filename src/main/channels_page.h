#pragma once

#include "cfg/records.h"
#include "main/channel_row.h"

#include <QWidget>

#include <vector>

namespace zel {

// The page "Channels" (tsChannels): the four channel rows W, R, G, B.
class ChannelsPage : public QWidget {
    Q_OBJECT
public:
    explicit ChannelsPage(QWidget* parent);

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

private:
    std::vector<ChannelRow> rows_;
};

} // namespace zel
