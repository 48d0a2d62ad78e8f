// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Typed text its field cannot take is neither stored nor sent: the edit shows it is wrong
// until the user corrects it or leaves it, and one log line says why. Every edit of the window
// that takes a typed number goes through here.

#include "files/settings_keys.h"

#include <QLineEdit>
#include <QObject>
#include <QString>

#include <functional>

namespace zel {

// The range as a tooltip or a log line names it: "0 – 100".
QString RangeBetween(const QString& min, const QString& max);

// The edit's side of a verdict; true only for Taken, which clears the mark. Refused marks the
// edit red with the range in its tooltip and, the first time, writes the log line. Unfinished
// is no error: the edit is not marked, but its text is not taken either.
bool ShowTyped(QLineEdit* edit, TypedValue verdict, const QString& range);

// Leaving `edit` while its text is not taken clears the mark, writes the log line if none was
// written yet and runs showStored, which shows the stored value again. That runs from the event
// loop once the focus has gone, and only while `context` lives: never inside the destruction
// of the edit or its page.
void RestoreWhenLeft(QLineEdit* edit, QObject* context, std::function<void()> showStored);

// True while the edit's text is not taken (marked, or unfinished).
bool NotTaken(const QObject* edit);
bool MarkedOutOfRange(const QLineEdit* edit);

// Where the log lines go: to `log` while `owner` lives (the window sets its message log).
void SetRefusalLog(QObject* owner, std::function<void(const QString&)> log);

} // namespace zel
