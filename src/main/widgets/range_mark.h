// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Typed text its field cannot take is neither stored nor sent: the edit shows it is wrong
// until the user corrects it or leaves it.

#include <QLineEdit>
#include <QString>

namespace zel {

// A red frame, and the range the field takes in the tooltip. True when the edit was not marked
// yet: the caller says why in the log once, not at every further key.
bool MarkOutOfRange(QLineEdit* edit, const QString& range);
// Back to the edit's own frame and tooltip.
void ClearOutOfRange(QLineEdit* edit);
bool MarkedOutOfRange(const QLineEdit* edit);

} // namespace zel
