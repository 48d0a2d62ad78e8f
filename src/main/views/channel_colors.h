// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRgb>

namespace zel {

// The display colour of a channel colour code (0..15), behind the channel's fields and in
// the schedule's channel columns. Codes beyond the table show as unnamed (code 0).
QRgb ChannelDisplayColor(int code);

} // namespace zel
