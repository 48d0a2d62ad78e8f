// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The drawing of the controller's health counters: power cycles, operating time, and how that
// time divides into board-temperature and input-voltage classes, as numbers and as two bars
// on a logarithmic scale where the picture's width stands for ten years.

#include "cfg/records.h"

#include <QFont>
#include <QImage>
#include <QPalette>

namespace zel {

// Ten years (3652.425 days) in counts of 15 seconds.
constexpr uint32_t TenYearsOfCounts = 21037968;

// The bars' length for a total of counts: 0 for one count, the full width for ten years.
double HealthBarLength(uint32_t total, int width);

// Filled with the palette's window colour; the texts in its window text colour.
void DrawHealth(QImage& image, const QFont& font, const QPalette& palette,
                const HealthBlock& health);

} // namespace zel
