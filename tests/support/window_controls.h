// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Working the window's controls as a person does: by name, with the keyboard focus, typing and
// pressing keys. For offscreen window tests of a shown, active window.

#include "main/frm_phorin.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QWidget>
#include <QtTest>

namespace zel::test {

template <typename Widget = QWidget> Widget* Control(QWidget& window, const QString& name) {
    auto* control = window.findChild<Widget*>(name);
    if (!control)
        qFatal("no control %s", qPrintable(name));
    return control;
}

// Connected, every control refreshed from the records, the page in front and no request
// pending: where a user's change starts.
inline void OpenRefreshed(TfrmPHORIN& window, const QString& page) {
    window.SetConnectedState(true);
    window.RefreshStatus();
    window.RefreshControls();
    window.RefreshExpertPage();
    window.RefreshWeatherPages();
    window.ShowPage(Control(window, page));
    window.State().Replace(0);
}

// Waits until the window is connected and its first complete download is stored and shown.
inline bool WaitForFirstRead(TfrmPHORIN& window, int timeoutMs) {
    DeviceState& state = window.State();
    return QTest::qWaitFor(
        [&] {
            return window.Connected() && state.Info.RowCount > 0 &&
                   (state.Snapshot() & rqReadEverything) == 0;
        },
        timeoutMs);
}

// Gives the control the keyboard focus, as a click or the Tab key would.
inline bool Focus(QWidget* control) {
    control->setFocus(Qt::OtherFocusReason);
    return QTest::qWaitFor([control] { return control->hasFocus(); }, 2000);
}

// Replaces the edit's text by typing: everything selected, then the text key by key (an empty
// text is a Backspace over the selection).
inline bool Type(QLineEdit* edit, const QString& text) {
    if (!Focus(edit))
        return false;
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Backspace);
    else
        QTest::keyClicks(edit, text);
    return true;
}

// Replaces the edit's text with the text pasted in one step (Ctrl+V over the selection).
inline bool Paste(QLineEdit* edit, const QString& text) {
    if (!Focus(edit))
        return false;
    QGuiApplication::clipboard()->setText(text);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    return true;
}

// A click where a button takes it for sure: on its left end, where a radio button's circle is.
inline void Click(QWidget* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// A key pressed on the control, with the focus on it first.
inline bool Press(QWidget* control, Qt::Key key) {
    if (!Focus(control))
        return false;
    QTest::keyClick(control, key);
    return true;
}

} // namespace zel::test
