// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/status_panels.h"

#include <QEvent>

#include <cmath>

namespace zel {

namespace {
constexpr int ClockPanelWidth = 160;
constexpr int ModePanelWidth = 100;
constexpr int WritesPanelWidth = 260;
} // namespace

int Scaled(const QWidget* widget, int length) {
    return int(std::lround(length * widget->logicalDpiX() / 96.0));
}

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("sb"));
    for (size_t i = 0; i < panels_.size(); ++i) {
        auto* panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("sbPanel") + QString::number(i));
        panel->setFrameShape(QFrame::StyledPanel);
        panels_[i] = panel;
    }
    // A long status text is cut rather than widening the window.
    panels_[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    panels_[0]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    addWidget(panels_[0], 1);
    const int widths[] = {ClockPanelWidth, ModePanelWidth, WritesPanelWidth};
    for (int i = 1; i < int(panels_.size()); ++i) {
        panels_[size_t(i)]->setFixedWidth(Scaled(this, widths[i - 1]));
        panels_[size_t(i)]->setAlignment(Qt::AlignCenter);
        addWidget(panels_[size_t(i)]);
    }
    FixPanelHeights();
}

// A label of fixed size asks nothing of the layout when its text changes: the clock, ticking
// every second, would otherwise have the whole window laid out anew each time.
void StatusPanels::FixPanelHeights() {
    for (size_t i = 1; i < panels_.size(); ++i)
        panels_[i]->setFixedHeight(panels_[i]->fontMetrics().height() +
                                   2 * panels_[i]->frameWidth() + 2 * panels_[i]->margin());
}

void StatusPanels::changeEvent(QEvent* event) {
    QStatusBar::changeEvent(event);
    // The labels have their new font once this event has gone round them too.
    if (event->type() == QEvent::FontChange)
        QMetaObject::invokeMethod(this, &StatusPanels::FixPanelHeights, Qt::QueuedConnection);
}

void StatusPanels::SetPanelText(StatusPanel panel, const QString& text) {
    panels_[size_t(panel)]->setText(text);
}

QString StatusPanels::PanelText(StatusPanel panel) const {
    return panels_[size_t(panel)]->text();
}

} // namespace zel
