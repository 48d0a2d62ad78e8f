// zelphorin-cli: the link, the settings files and the astronomy from a shell.

#include "cli/bluetooth_command.h"
#include "cli/cli_session.h"
#include "cli/daylight_command.h"
#include "cli/sunmoon_command.h"
#include "host/signal_watch.h"
#include "lang/translate.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("ZELPHORIN2"));
    QCoreApplication::setApplicationName(QStringLiteral("zelphorin-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    zel::SelectLanguage(zel::LanguageEnglish);

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    zel::CliRequest request;
    QString error;
    bool help = false;
    if (!zel::ParseCliArguments(arguments, request, error, help)) {
        err << "zelphorin-cli: " << error << Qt::endl;
        return zel::ExitNoController;
    }
    if (request.Version) {
        out << "zelphorin-cli " << ZEL_VERSION << Qt::endl;
        return zel::ExitOk;
    }
    if (help) {
        const zel::CliCommand* command = zel::FindCliCommand(request.Command);
        out << (command ? zel::CliCommandUsage(*command) : zel::CliUsage());
        return zel::ExitOk;
    }
    if (request.Command == QLatin1String("sunmoon"))
        return zel::RunSunMoonCommand(arguments, out, err);
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
            return zel::ExitNoController;
        }
        zel::BluetoothCommand command(install, err);
        QObject::connect(&command, &zel::BluetoothCommand::done, &app, &QCoreApplication::exit,
                         Qt::QueuedConnection);
        zel::SignalWatch signalWatch;
        QObject::connect(&signalWatch, &zel::SignalWatch::Received, &command,
                         &zel::BluetoothCommand::Stop);
        command.Start();
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
