// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small pieces every page builds with: named controls, the slider-and-edit pair, and the rule
// that a refresh leaves alone what the user is typing or dragging.

#include "main/widgets/labeled_edit.h"

#include <QAbstractSlider>
#include <QComboBox>
#include <QGridLayout>
#include <QRgb>
#include <QSlider>
#include <QString>

namespace zel {

// Gives a new control its design name, by which the language table and the per-channel
// loops find it.
template <typename Widget> Widget* Named(Widget* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

QSlider* MakeSlider(const QString& name, int minimum, int maximum, int pageStep, int tickInterval,
                    QWidget* parent);

// A setting shown twice: "edt" + suffix with its label, and the slider "trb" + suffix.
struct SliderPair {
    LabeledEdit* Edit;
    QSlider* Slider;
};

// Adds label, edit and slider as one row of the grid.
SliderPair AddSliderPair(QGridLayout* grid, int row, const QString& suffix, int minimum,
                         int maximum, int pageStep, int tickInterval, QWidget* parent);

// Adds a labelled edit (label, then edit) as one row of the grid.
LabeledEdit* AddEdit(QGridLayout* grid, int row, const QString& name, QWidget* parent);

// The refresh rule: a control with the keyboard focus keeps what the user put there.
void SetTextUnlessFocused(QLineEdit* edit, const QString& text);
void SetPositionUnlessFocused(QAbstractSlider* slider, int position);

// True while the list of the box is open; a refresh then leaves the box alone.
bool DroppedDown(const QComboBox* box);

void SetEnabled(std::initializer_list<QWidget*> widgets, bool enabled);

// Moves the page's laid out controls into a scroll area that fills the page: on a screen too
// small for them the page scrolls instead of pressing them onto each other. A form (edits and
// sliders, no picture or list) grows no wider than a comfortable line of text.
void ScrollWhenTooSmall(QWidget* page, bool form);

// Background of an edit (the channel colour behind a channel's fields).
void SetBackground(QWidget* widget, QRgb colour);

} // namespace zel
