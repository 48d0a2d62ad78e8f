// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The texts the window makes of the controller's state: the status line, the mode letters,
// the weather notes, and the device clock.

#include "cfg/records.h"

#include <QDateTime>
#include <QString>

namespace zel {

// Joins the parts of the title and the status text.
extern const QString BulletSeparator;

// The controller's clock as a reading of its own, in universal time so that no zone rule of
// this PC bends it; invalid when the controller reports an impossible date or time.
QDateTime DeviceClock(const InfoBlock& info);

// Port entry, error texts, board and water temperature and input voltage, in that order,
// joined by the bullet separator; absent measurements are left out.
QString StatusText(const QString& portEntry, const InfoBlock& info, uint8_t configFlag);

// An error worth attention: any error bit but "RAM full".
bool BoardAlarm(uint8_t errors);

// The mode's name ("Manual", "Geo"), empty for a code beyond the known modes.
QString ModeName(uint8_t mode);

// The mode and the letters of what is active ("AutoOS"), or the saving note while the
// controller saves its settings.
QString ModeText(const ConfigBlock& config, const InfoBlock& info);

// The weather ratio lines of the weather page, with the note of an event in progress in the
// modes Auto and Geo.
QString CloudRatioLine(const ConfigBlock& config, const InfoBlock& info);
QString StormRatioLine(const ConfigBlock& config, const InfoBlock& info);

} // namespace zel
