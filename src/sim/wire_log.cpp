// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/wire_log.h"

namespace zel {

WireLog::WireLog(const QString& path) : file_(path) {
    clock_.start();
    if (!path.isEmpty() &&
        !file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        error_ = QStringLiteral("cannot write the log %1: %2").arg(path, file_.errorString());
}

void WireLog::Add(const QString& kind, const QString& text) {
    const QString line = QStringLiteral("%1 %2 %3")
                             .arg(QString::number(clock_.nsecsElapsed() / 1e9, 'f', 3), kind, text);
    const std::lock_guard<std::mutex> guard(lock_);
    lines_.push_back(line);
    if (lines_.size() > size_t(MaxLines))
        lines_.pop_front();
    if (file_.isOpen()) {
        file_.write(line.toUtf8() + '\n');
        file_.flush();
    }
}

QStringList WireLog::Lines() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return QStringList(lines_.begin(), lines_.end());
}

QStringList WithoutTimes(const QStringList& lines) {
    QStringList events;
    for (const QString& line : lines)
        events << line.section(QLatin1Char(' '), 1);
    return events;
}

} // namespace zel
