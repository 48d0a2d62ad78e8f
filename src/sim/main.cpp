// SPDX-License-Identifier: GPL-3.0-or-later
// zelphorin-sim: a simulated controller on a pseudo-terminal, until SIGINT or SIGTERM.

#include "sim/sim_controller.h"
#include "sim/sim_options.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <stdexcept>

#include <pthread.h>
#include <signal.h>

namespace {

QStringList Arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void Fail(const QString& message) {
    std::fprintf(stderr, "zelphorin-sim: %s\n", qPrintable(message));
}

} // namespace

int main(int argc, char** argv) {
    zel::SimCommandLine commandLine;
    try {
        commandLine = zel::ParseSimArguments(Arguments(argc, argv));
    } catch (const std::invalid_argument& error) {
        Fail(QString::fromStdString(error.what()));
        return 2;
    }
    if (commandLine.help) {
        std::fputs(qPrintable(zel::SimUsage()), stdout);
        return 0;
    }
    if (commandLine.version) {
        std::puts("zelphorin-sim " ZEL_VERSION);
        return 0;
    }

    // The signals are taken by sigtimedwait below; every thread started later inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    zel::SimController controller(commandLine.options);
    if (!controller.LogError().isEmpty()) {
        Fail(controller.LogError());
        return 1;
    }
    QString path;
    try {
        path = controller.Start();
    } catch (const zel::SimError& error) {
        Fail(QString::fromStdString(error.what()));
        return 1;
    }
    const QString link = commandLine.linkPath;
    if (!link.isEmpty()) {
        if (QFileInfo(link).isSymLink())
            QFile::remove(link); // left behind by an earlier run that was killed
        if (!QFile::link(path, link)) {
            Fail(QStringLiteral("cannot create the link %1").arg(link));
            return 1;
        }
    }
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);

    // Serve until told to stop, or until the port has vanished (--close-after).
    const timespec poll = {0, 250000000};
    while (controller.IsServing() && sigtimedwait(&stopSignals, nullptr, &poll) < 0) {
    }
    controller.Stop();
    if (!link.isEmpty())
        QFile::remove(link);
    return 0;
}
