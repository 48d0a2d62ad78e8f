// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/views/channel_colors.h"

namespace zel {

QRgb ChannelDisplayColor(int code) {
    static const QRgb table[16] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF8080, 0xFF80FF80,
                                   0xFF8080FF, 0xFFC080FF, 0xFFFFFFFF, 0xFFF0F0FF,
                                   0xFFFFFFE0, 0xFFFFFF00, 0xFFFF80C0, 0xFFA080FF,
                                   0xFF80FFFF, 0xFFC080FF, 0xFFFFC080, 0xFFC08080};
    return table[code >= 0 && code < 16 ? code : 0];
}

} // namespace zel
