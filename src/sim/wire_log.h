// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <deque>
#include <mutex>

namespace zel {

// What crossed the simulated line, one event a line: seconds since the log was created (three
// decimals), the kind and the text, e.g. "12.345 IN 81" or "12.346 OUT 8120...\n". Kinds: IN
// (a request line, terminator not shown), OUT (a reply as sent, escaped), BAD (a line that is
// no request), SKIP (a reply withheld), NOTE (the controller's own doings), VIOLATION (a
// bootloader rule broken). Kept in memory (the newest MaxLines) and, when a path is given,
// appended to a file and flushed at once so that another process can follow it.
class WireLog {
public:
    static constexpr int MaxLines = 100000;

    explicit WireLog(const QString& path = {});

    void Add(const QString& kind, const QString& text);
    QStringList Lines() const;
    QString ErrorText() const { return error_; }

private:
    mutable std::mutex lock_;
    QElapsedTimer clock_;
    QFile file_;
    QString error_;
    std::deque<QString> lines_;
};

// "12.345 IN 81" → "IN 81": log lines without their times, for comparing orders.
QStringList WithoutTimes(const QStringList& lines);

} // namespace zel
