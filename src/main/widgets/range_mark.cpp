// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/widgets/range_mark.h"

#include "lang/translate.h"

#include <QVariant>

namespace zel {

namespace {
// The tooltip the edit had before it was marked; set only while it is marked.
const char* const HintBefore = "HintBeforeOutOfRange";
} // namespace

bool MarkOutOfRange(QLineEdit* edit, const QString& range) {
    const bool first = !MarkedOutOfRange(edit);
    if (first)
        edit->setProperty(HintBefore, edit->toolTip());
    edit->setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid #d00000; }"));
    edit->setToolTip(TranslateFormat(QStringLiteral("RangeHint"), {range}));
    return first;
}

void ClearOutOfRange(QLineEdit* edit) {
    if (!MarkedOutOfRange(edit))
        return;
    edit->setStyleSheet(QString());
    edit->setToolTip(edit->property(HintBefore).toString());
    edit->setProperty(HintBefore, QVariant());
}

bool MarkedOutOfRange(const QLineEdit* edit) {
    return edit->property(HintBefore).isValid();
}

} // namespace zel
