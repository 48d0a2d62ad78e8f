// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

namespace zel {

// The locale's short date, a blank and its long time, without a time zone name: the form of
// the log's time stamps, the file description and the device clock in the status bar. Only the
// date and the time of moment are read, never its zone.
QString LocalDateTimeText(const QDateTime& moment);
// The locale's long time alone, without a time zone name.
QString LocalTimeText(const QTime& time);

} // namespace zel
