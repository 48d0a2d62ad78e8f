// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/widgets/widgets.h"

#include <QAbstractItemView>
#include <QPalette>
#include <QScrollArea>
#include <QVBoxLayout>

namespace zel {

namespace {
// A form's widest line, in characters: sliders long enough to aim, edits near their labels.
constexpr int FormWidthChars = 170;
} // namespace

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

void ScrollWhenTooSmall(QWidget* page, bool form) {
    auto* content = new QWidget;
    content->setLayout(page->layout()); // takes the layout with the controls it places
    if (form)
        content->setMaximumWidth(content->fontMetrics().averageCharWidth() * FormWidthChars);
    auto* area = new QScrollArea(page);
    area->setObjectName(page->objectName() + QStringLiteral("Scroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus);
    area->setWidgetResizable(true);
    area->setWidget(content);
    // The page's own background shows through, as it did without the area.
    area->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area);
}

void SetBackground(QWidget* widget, QRgb colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, QColor::fromRgba(colour));
    // The channel colours are all light: dark text stays readable under any style.
    palette.setColor(QPalette::Text, Qt::black);
    widget->setPalette(palette);
}

} // namespace zel
