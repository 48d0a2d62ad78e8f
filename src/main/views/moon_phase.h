// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRgb>

namespace zel {

// Fills the lit part of the moon into `picture`: fraction lit 0..1 (outside that range nothing
// is drawn), rotation in degrees (0: lit on the left, as when waning; 180: on the right),
// radius and centre in pixels. The limb is a half circle, the terminator a half ellipse, both
// in steps of 15 degrees, filled without antialiasing.
void DrawMoonPhase(QImage& picture, QRgb colour, float fraction, float rotation, float radius,
                   float cx, float cy);

} // namespace zel
