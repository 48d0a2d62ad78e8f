// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/zel_application.h"

#include <cstdio>
#include <exception>

namespace zel {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TApplication::SetErrorLogOf(QCoreApplication* application,
                                 std::function<void(const QString&)> log) {
    if (auto* zelApplication = qobject_cast<TApplication*>(application))
        zelApplication->SetErrorLog(std::move(log));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        Report(QString::fromStdString(error.what()));
    } catch (...) {
        Report(QStringLiteral("Unknown error"));
    }
    return false;
}

void TApplication::Report(const QString& text) {
    if (errorLog_)
        errorLog_(text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace zel
