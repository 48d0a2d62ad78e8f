// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/widgets/labeled_edit.h"

#include <QEvent>

namespace zel {

LabeledEdit::LabeledEdit(const QString& name, const QString& caption, QWidget* parent)
    : QLineEdit(parent), label_(new QLabel(caption, parent)) {
    setObjectName(name);
    label_->setObjectName(name + QStringLiteral("Label"));
    label_->setBuddy(this);
}

void LabeledEdit::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        label_->setEnabled(isEnabled());
    QLineEdit::changeEvent(event);
}

} // namespace zel
