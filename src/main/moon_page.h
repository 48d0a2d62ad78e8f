#pragma once

#include "main/channel_pairs_page.h"

namespace zel {

// The page "Moon" (tsMoon): each channel's level under a full moon overhead, 0..4096.
class MoonPage : public ChannelPairsPage {
    Q_OBJECT
public:
    explicit MoonPage(QWidget* parent)
        : ChannelPairsPage({"tsMoon", "lblMoon", "Moon", 0, 4096, 128, 512}, parent) {}
};

} // namespace zel
