// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

#include <functional>

namespace zel {

// The application object. An exception that escapes an event handler ends up here and is
// written to the window's log as one line: the program goes on, with no dialog.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    void SetErrorLog(std::function<void(const QString&)> log) { errorLog_ = std::move(log); }
    // The log of the running application, or nothing when it is a plain QApplication.
    static void SetErrorLogOf(QCoreApplication* application,
                              std::function<void(const QString&)> log);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void Report(const QString& text);

    std::function<void(const QString&)> errorLog_;
};

} // namespace zel
