#pragma once

#include <QLabel>
#include <QStatusBar>

#include <array>

namespace zel {

// The status bar `sb`: panel 0 the latest status text, panel 1 the controller's date and
// time, panel 2 its mode and activity letters. Panel 0 takes all the width the other two
// leave, whatever the window's size.
class StatusPanels : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusPanels(QWidget* parent);

    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;

private:
    std::array<QLabel*, 3> panels_;
};

// A length designed at 96 dots per inch, for the screen the widget is on.
int Scaled(const QWidget* widget, int length);

} // namespace zel
