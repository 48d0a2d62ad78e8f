// SPDX-License-Identifier: GPL-3.0-or-later
#include "lang/date_time_text.h"

#include <QLocale>
#include <QRegularExpression>

namespace zel {

QString LocalTimeText(const QTime& time) {
    const QLocale locale;
    // The long format may name the zone ("t", "tttt"); a clock reading here has none.
    static const QRegularExpression zone(QStringLiteral("\\s*t+"));
    return locale.toString(time, locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed());
}

QString LocalDateTimeText(const QDateTime& moment) {
    return QLocale().toString(moment.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           LocalTimeText(moment.time());
}

} // namespace zel
