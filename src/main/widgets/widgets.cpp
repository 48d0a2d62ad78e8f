// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/widgets/widgets.h"

#include <QAbstractItemView>
#include <QPalette>

namespace zel {

QSlider* MakeSlider(const QString& name, int minimum, int maximum, int pageStep, int tickInterval,
                    QWidget* parent) {
    auto* slider = Named(new QSlider(Qt::Horizontal, parent), name);
    slider->setRange(minimum, maximum);
    slider->setPageStep(pageStep);
    slider->setTickInterval(tickInterval);
    slider->setTickPosition(QSlider::TicksBelow);
    return slider;
}

SliderPair AddSliderPair(QGridLayout* grid, int row, const QString& suffix, int minimum,
                         int maximum, int pageStep, int tickInterval, QWidget* parent) {
    LabeledEdit* edit = AddEdit(grid, row, QStringLiteral("edt") + suffix, parent);
    QSlider* slider = MakeSlider(QStringLiteral("trb") + suffix, minimum, maximum, pageStep,
                                 tickInterval, parent);
    grid->addWidget(slider, row, 2);
    return {edit, slider};
}

LabeledEdit* AddEdit(QGridLayout* grid, int row, const QString& name, QWidget* parent) {
    auto* edit = new LabeledEdit(name, QString(), parent);
    edit->setMaximumWidth(90);
    grid->addWidget(edit->EditLabel(), row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

void SetTextUnlessFocused(QLineEdit* edit, const QString& text) {
    if (!edit->hasFocus() && edit->text() != text)
        edit->setText(text);
}

void SetPositionUnlessFocused(QAbstractSlider* slider, int position) {
    if (!slider->hasFocus())
        slider->setValue(position);
}

bool DroppedDown(const QComboBox* box) {
    return box->view()->isVisible();
}

void SetEnabled(std::initializer_list<QWidget*> widgets, bool enabled) {
    for (QWidget* widget : widgets)
        widget->setEnabled(enabled);
}

void SetBackground(QWidget* widget, QRgb colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, QColor::fromRgba(colour));
    // The channel colours are all light: dark text stays readable under any style.
    palette.setColor(QPalette::Text, Qt::black);
    widget->setPalette(palette);
}

} // namespace zel
