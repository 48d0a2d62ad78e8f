// zelphorin-cli: the link, the settings files and the astronomy from a shell.

#include "cli/bluetooth_command.h"
#include "cli/cli_session.h"
#include "cli/mqtt_bridge.h"
#include "cli/sunmoon_command.h"
#include "lang/translate.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <functional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    // Nothing else is safe in a signal handler; the event loop picks the byte up.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// Runs `handler` on the event loop when SIGINT or SIGTERM arrives.
void OnInterrupt(QCoreApplication& app, const std::function<void()>& handler) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [handler] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        handler();
    });
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
}

} // namespace

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
        if (command && command->Name == QLatin1String("mqtt"))
            out << zel::MqttUsage();
        return zel::ExitOk;
    }
    if (request.Command == QLatin1String("sunmoon"))
        return zel::RunSunMoonCommand(arguments, out, err);
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
        OnInterrupt(app, [&] { command.Stop(); });
        command.Start();
        return app.exec();
    }

    if (request.Command == QLatin1String("mqtt")) {
        zel::MqttOptions options;
        if (!zel::ParseMqttArguments(request.Arguments, request.Port, options, error)) {
            err << "zelphorin-cli: " << error << Qt::endl;
            return zel::ExitNoController;
        }
        zel::MqttBridge bridge(request, std::move(options), err);
        QObject::connect(&bridge, &zel::MqttBridge::done, &app, &QCoreApplication::exit,
                         Qt::QueuedConnection);
        OnInterrupt(app, [&] { bridge.Interrupt(); });
        bridge.Start();
        return app.exec();
    }

    zel::CliSession session(request, out, err);
    QObject::connect(&session, &zel::CliSession::done, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    OnInterrupt(app, [&] { session.Interrupt(); });
    session.Start();
    return app.exec();
}
