// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The set-up of every test that builds the whole window: one private folder for the settings
// and the files (backups, exports) of the windows it builds. A member of the test object,
// which QTEST_MAIN makes after the application.

#include "main/frm_phorin.h"
#include "support/window_settings.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace zel::test {

class WindowFixture {
public:
    WindowFixture() {
        if (!folder_.isValid())
            qFatal("no private folder for the window's settings");
        IsolateWindowSettings(folder_.path());
    }

    QString Path() const { return folder_.path(); }
    QString FilePath(const QString& name) const { return folder_.filePath(name); }

    // Built, not shown; its files go to the private folder.
    std::unique_ptr<TfrmPHORIN> Window(const QStringList& parameters) const {
        auto window = std::make_unique<TfrmPHORIN>(parameters);
        window->ProgramDir = folder_.path();
        return window;
    }

    // Shown and active, so that its controls can take the keyboard focus; null when it never
    // became active.
    std::unique_ptr<TfrmPHORIN> ShownWindow(const QStringList& parameters) const {
        return Active(Window(parameters));
    }

    // Shows a window built by Window (with its own test doubles set) and waits until it is
    // active; null when it never became so.
    static std::unique_ptr<TfrmPHORIN> Active(std::unique_ptr<TfrmPHORIN> window) {
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            return nullptr;
        return window;
    }

    // Shown and on the screen, for tests that need no keyboard focus; null when it never was.
    std::unique_ptr<TfrmPHORIN> ExposedWindow(const QStringList& parameters) const {
        auto window = Window(parameters);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return nullptr;
        return window;
    }

private:
    QTemporaryDir folder_;
};

} // namespace zel::test
