// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QLineEdit>

namespace zel {

// An edit with its own caption label, which the language table reaches through the edit's
// name. The label follows the edit's enabled state, so a disabled field looks disabled.
class LabeledEdit : public QLineEdit {
    Q_OBJECT
public:
    LabeledEdit(const QString& name, const QString& caption, QWidget* parent);

    QLabel* EditLabel() const { return label_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    QLabel* label_;
};

} // namespace zel
