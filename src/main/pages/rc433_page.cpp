// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/rc433_page.h"

#include "main/widgets/widgets.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace zel {

namespace {
// The accessory is sold in German-speaking countries only; its page has no English text.
const char* const AccessoryText =
    "Mit dem Zubehör VarnoRadio schaltet der ZELPHORIN Funksteckdosen nach Zeit und nach "
    "Ereignissen.\n\n"
    "Der Systemcode wird an den Dip-Schaltern der Steckdosen eingestellt; unten dieselben "
    "Schalterstellungen ankreuzen.\n\n"
    "Die Zustände der Steckdosen A, B, C und D werden im Zeitplan festgelegt.\n"
    "Die Steckdosen AB, AC, AD, BC und BD folgen den Wolken, den Gewittern, dem Kühler, der "
    "Heizung und dem Timer des JMP-Pins.";
} // namespace

Rc433Page::Rc433Page(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsRC433"));
    memRC433 = Named(new QPlainTextEdit(QString::fromUtf8(AccessoryText), this),
                     QStringLiteral("memRC433"));
    memRC433->setReadOnly(true);
    auto* boxes = new QHBoxLayout;
    for (int i = 0; i < int(cbxRC433System.size()); ++i) {
        cbxRC433System[size_t(i)] =
            Named(new QCheckBox(this), QStringLiteral("cbxRC433System") + QString::number(i + 1));
        boxes->addWidget(cbxRC433System[size_t(i)]);
    }
    cbxRC433System[0]->setText(QStringLiteral(
        "System code (dip switch positions) of the radio controlled sockets (on = checked)"));
    boxes->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(memRC433, 1);
    layout->addLayout(boxes);
    setEnabled(false);
}

void Rc433Page::SetConnected(bool connected) {
    memRC433->setEnabled(connected);
    for (QCheckBox* box : cbxRC433System)
        box->setEnabled(connected);
}

} // namespace zel
