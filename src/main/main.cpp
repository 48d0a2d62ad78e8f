// SPDX-License-Identifier: GPL-3.0-or-later
// The program entry: the window on the command line's port, or the remembered one.

#include "host/command_line.h"
#include "host/signal_watch.h"
#include "main/frm_phorin.h"
#include "main/zel_application.h"

#include <QIcon>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    // Answered before the toolkit starts, so they work without a display.
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw.append(QString::fromLocal8Bit(argv[i]));
    const zel::CommandLine line = zel::ParseCommandLine(raw);
    if (line.Help) {
        std::fputs(qPrintable(zel::CommandLineUsage()), stdout);
        return 0;
    }
    if (line.Version) {
        std::puts("zelphorin " ZEL_VERSION);
        return 0;
    }

    zel::TApplication application(argc, argv);
    // Backups in the data folder go to ~/.local/share/ZELPHORIN2/zelphorin, beside the command
    // line's ZELPHORIN2/zelphorin-cli.
    application.setOrganizationName(QStringLiteral("ZELPHORIN2"));
    application.setApplicationName(QStringLiteral("zelphorin"));
    application.setApplicationVersion(QStringLiteral(ZEL_VERSION));
    application.setDesktopFileName(QStringLiteral("io.github.zelphorin.zelphorin"));
    // The icon lives in the window's static library, whose resources the linker would drop.
    Q_INIT_RESOURCE(window);
    application.setWindowIcon(QIcon(QStringLiteral(":/icons/zelphorin.png")));
    // Asked from outside to end (a signal, the session ending), the program closes its window as
    // File / Exit does: the backup is written, the link released, the exit status is 0. A signal
    // that comes early waits for the event loop, when the window is up.
    zel::SignalWatch ending;
    const auto closeWindows = [] { QApplication::closeAllWindows(); };
    QObject::connect(&ending, &zel::SignalWatch::Received, &application, closeWindows);
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &application, closeWindows);
    // The toolkit has taken its own options (-platform, -style, ...) out of the arguments.
    const QStringList parameters = application.arguments().mid(1);
    auto* window = new zel::TfrmPHORIN(parameters);
    window->show();
    const int result = application.exec();
    // A link thread stuck in a transaction still refers to the window: end the process
    // without destroying either. Everything worth keeping (backup, port) is written already.
    if (window->LinkThreadsAlive()) {
        std::fflush(nullptr);
        std::quick_exit(result);
    }
    delete window;
    return result;
}
