// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QWidget>

#include <array>

namespace zel {

// The page "433 MHz" (tsRC433): what the radio socket accessory does. An information page: the
// page itself stays disabled.
class Rc433Page : public QWidget {
    Q_OBJECT
public:
    explicit Rc433Page(QWidget* parent);

    QPlainTextEdit* memRC433;
    std::array<QCheckBox*, 5> cbxRC433System;

    void SetConnected(bool connected);
};

} // namespace zel
