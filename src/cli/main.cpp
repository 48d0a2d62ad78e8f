// SPDX-License-Identifier: GPL-3.0-or-later
// zelphorin-cli: the link, the settings files and the astronomy from a shell.

#include "cli/bluetooth_command.h"
#include "cli/cli_session.h"
#include "cli/daylight_command.h"
#include "cli/mqtt_bridge.h"
#include "cli/sunmoon_command.h"
#include "host/signal_watch.h"
#include "lang/translate.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A result that did not reach stdout in full (a full disk, a closed pipe) is no success: the
// caller would take the part that did for the whole.
int WithResultWritten(int status, QTextStream& out, QTextStream& err) {
    out.flush();
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && out.status() == QTextStream::Ok && !std::ferror(stdout))
        return status;
    err << "zelphorin-cli: the result could not be written to standard output"
        << (flushed ? QString()
                    : QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)))
        << Qt::endl;
    return status == zel::ExitOk ? zel::ExitFailed : status;
}

int Run(QCoreApplication& app, QTextStream& out, QTextStream& err) {
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    zel::CliRequest request;
    QString error;
    bool help = false;
    if (const int status = zel::ParseCliArguments(arguments, request, error, help)) {
        err << "zelphorin-cli: " << error << Qt::endl;
        return status;
    }
    if (request.Version) {
        out << "zelphorin-cli " << ZEL_VERSION << Qt::endl;
        return zel::ExitOk;
    }
    if (help) {
        const zel::CliCommand* command = zel::FindCliCommand(request.Command);
        out << (command ? zel::CliCommandUsage(*command) : zel::CliUsage());
        if (command && command->Name == QLatin1String("mqtt"))
            out << zel::MqttUsage();
        return zel::ExitOk;
    }
    if (request.Command == QLatin1String("sunmoon"))
        return zel::RunSunMoonCommand(request.Arguments, out, err);
    if (request.Command == QLatin1String("schedule") && request.Port.isEmpty())
        return zel::RunOfflineDesign(request.Arguments.mid(1), request.Json, out, err);
    if (request.Command == QLatin1String("keys")) {
        out << zel::SettingNamesText();
        return zel::ExitOk;
    }

    if (request.Command == QLatin1String("bluetooth")) {
        bool install = false;
        if (!zel::ParseBluetoothArguments(request.Arguments, install, error)) {
            err << "zelphorin-cli: " << error << Qt::endl;
            return zel::ExitUsage;
        }
        zel::BluetoothCommand command(install, err);
        command.SetQuiet(request.Quiet);
        QObject::connect(&command, &zel::BluetoothCommand::done, &app, &QCoreApplication::exit,
                         Qt::QueuedConnection);
        zel::SignalWatch signalWatch;
        QObject::connect(&signalWatch, &zel::SignalWatch::Received, &command,
                         &zel::BluetoothCommand::Stop);
        command.Start();
        return app.exec();
    }

    if (request.Command == QLatin1String("mqtt")) {
        zel::MqttOptions options;
        if (!zel::ParseMqttArguments(request.Arguments, request.Port, options, error)) {
            err << "zelphorin-cli: " << error << Qt::endl;
            return zel::ExitUsage;
        }
        zel::MqttBridge bridge(request, std::move(options), err);
        QObject::connect(&bridge, &zel::MqttBridge::done, &app, &QCoreApplication::exit,
                         Qt::QueuedConnection);
        zel::SignalWatch signalWatch;
        QObject::connect(&signalWatch, &zel::SignalWatch::Received, &bridge,
                         [&bridge] { bridge.Interrupt(); });
        bridge.Start();
        return app.exec();
    }

    zel::CliSession session(request, out, err);
    QObject::connect(&session, &zel::CliSession::done, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    zel::SignalWatch signalWatch;
    QObject::connect(&signalWatch, &zel::SignalWatch::Received, &session,
                     &zel::CliSession::Interrupt);
    session.Start();
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    // A standard stream the caller closed would otherwise be taken by the next file opened, the
    // serial port for one, and receive the results. Read-only, a write to it fails instead.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (::fcntl(fd, F_GETFD) == -1)
            ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("ZELPHORIN2"));
    QCoreApplication::setApplicationName(QStringLiteral("zelphorin-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    zel::SelectLanguage(zel::LanguageEnglish);
    return WithResultWritten(Run(app, out, err), out, err);
}
