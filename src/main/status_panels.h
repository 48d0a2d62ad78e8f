// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QStatusBar>

#include <array>

namespace zel {

// The panels of the status bar, left to right.
enum class StatusPanel {
    Status, // the latest status text
    Clock,  // the controller's date and time
    Mode,   // its mode and activity letters
    Writes, // "Sending…", or when the controller last acknowledged a change
};

// The status bar `sb`. The status panel takes all the width the others leave, whatever the
// window's size.
class StatusPanels : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusPanels(QWidget* parent);

    void SetPanelText(StatusPanel panel, const QString& text);
    QString PanelText(StatusPanel panel) const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void FixPanelHeights();

    std::array<QLabel*, 4> panels_;
};

// A length designed at 96 dots per inch, for the screen the widget is on.
int Scaled(const QWidget* widget, int length);

} // namespace zel
