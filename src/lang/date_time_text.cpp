// SPDX-License-Identifier: GPL-3.0-or-later
#include "lang/date_time_text.h"

#include <QLocale>
#include <QRegularExpression>

namespace zel {

QString LocalDateTimeText(const QDateTime& moment) {
    const QLocale locale;
    // The long format may name the zone ("t", "tttt"); a clock reading here has none.
    static const QRegularExpression zone(QStringLiteral("\\s*t+"));
    const QString timeFormat = locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
    return locale.toString(moment.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(moment.time(), timeFormat);
}

} // namespace zel
