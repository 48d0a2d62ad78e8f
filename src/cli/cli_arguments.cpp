#include "cli/cli_arguments.h"

#include "com/link_host.h"
#include "lang/translate.h"

#include <QDateTime>

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

namespace zel {

namespace {

const QString Options = QStringLiteral("[--debug] [--english|--german] [--timeout SECONDS] "
                                       "--port PORT");

// Checks the arguments of the commands that take words or numbers; empty when they are fine.
QString ArgumentError(const CliRequest& request) {
    if (request.Command == QLatin1String("mode") && !CliModeNames().contains(request.Arguments[0]))
        return QStringLiteral("mode must be one of ") + CliModeNames().join(QLatin1Char('|'));
    if (request.Command == QLatin1String("channels")) {
        for (const QString& level : request.Arguments) {
            double percent = 0;
            if (!ParsePercent(level, percent))
                return QStringLiteral("channel levels are percentages from 0 to 100, not ") + level;
        }
    }
    return QString();
}

} // namespace

const QStringList& CliModeNames() {
    static const QStringList names = {QStringLiteral("manual"), QStringLiteral("auto"),
                                      QStringLiteral("geo"), QStringLiteral("rgbdemo"),
                                      QStringLiteral("flash")};
    return names;
}

const QList<CliCommand>& CliCommands() {
    static const QList<CliCommand> commands = {
        {QStringLiteral("info"), 0, 0, QStringLiteral("info [--json]"),
         QStringLiteral("connect, read everything, print a summary")},
        {QStringLiteral("monitor"), 0, 0, QStringLiteral("monitor [--json]"),
         QStringLiteral("as info, then one line per status read until interrupted")},
        {QStringLiteral("get"), 0, CliCommand::AnyNumber, QStringLiteral("get [--json] [KEY...]"),
         QStringLiteral("print every setting, or the named ones, as Section.Key=value")},
        {QStringLiteral("set"), 1, CliCommand::AnyNumber, QStringLiteral("set KEY=VALUE..."),
         QStringLiteral("change settings (Config.FanHigh=80) and read them back")},
        {QStringLiteral("schedule"), 0, CliCommand::AnyNumber,
         QStringLiteral("schedule [--json] | schedule set N FIELD=VALUE..."),
         QStringLiteral("print the rows, or change row N (Color160=2048), read back")},
        {QStringLiteral("keys"), 0, 0, QStringLiteral("keys"),
         QStringLiteral("list the setting names; N stands for a row (no port needed)"), false},
        {QStringLiteral("flash"), 1, 1, QStringLiteral("flash FILE"),
         QStringLiteral("update the firmware with a .chx image (checked before anything is sent)")},
        {QStringLiteral("set-time"), 0, 0, QStringLiteral("set-time"),
         QStringLiteral("set the controller clock to this computer's clock")},
        {QStringLiteral("save"), 0, 0, QStringLiteral("save"),
         QStringLiteral("make the controller store its settings permanently")},
        {QStringLiteral("cloud"), 0, 0, QStringLiteral("cloud"),
         QStringLiteral("trigger or stop a cloud now")},
        {QStringLiteral("storm"), 0, 0, QStringLiteral("storm"),
         QStringLiteral("trigger or stop a thunderstorm now")},
        {QStringLiteral("mode"), 1, 1, QStringLiteral("mode MODE"),
         QStringLiteral("choose the mode: manual, auto, geo, rgbdemo or flash")},
        {QStringLiteral("channels"), 4, 4, QStringLiteral("channels W R G B"),
         QStringLiteral("set the four channel levels in percent, 12.5 or 12,5 (mode Manual)")},
        {QStringLiteral("export"), 1, 1, QStringLiteral("export FILE"),
         QStringLiteral("write configuration and schedule to an INI file")},
        {QStringLiteral("import-config"), 1, 1, QStringLiteral("import-config FILE"),
         QStringLiteral("send the configuration of an INI file")},
        {QStringLiteral("import-schedule"), 1, 1, QStringLiteral("import-schedule FILE"),
         QStringLiteral("send the schedule rows of an INI file")},
        {QStringLiteral("sunmoon"), 0, CliCommand::AnyNumber,
         QStringLiteral("sunmoon --lat DEG --lon DEG --date YYYY-MM-DD --time HH:MM [--tz HOURS] "
                        "[--json]"),
         QStringLiteral("sun and moon for a place and moment (no port needed)"), false},
        {QStringLiteral("mqtt"), 2, CliCommand::AnyNumber,
         QStringLiteral("mqtt --broker HOST[:PORT] [OPTION...]"),
         QStringLiteral("the controller on an MQTT broker, with Home Assistant discovery, "
                        "until stopped (mqtt --help)")},
        {QStringLiteral("bluetooth"), 1, 1, QStringLiteral("bluetooth install|remove"),
         QStringLiteral("pair the controllers nearby and offer their serial port, or remove "
                        "them again (no port needed; install exits 0 when one was installed)"),
         false},
    };
    return commands;
}

const CliCommand* FindCliCommand(const QString& name) {
    const QList<CliCommand>& commands = CliCommands();
    const auto found =
        std::find_if(commands.begin(), commands.end(),
                     [&](const CliCommand& command) { return command.Name == name; });
    return found == commands.end() ? nullptr : &*found;
}

QString CliUsage() {
    QString text = QStringLiteral("Usage: zelphorin-cli %1 COMMAND [ARGS]\n").arg(Options) +
                   QStringLiteral("       zelphorin-cli COMMAND --help\n"
                                  "       zelphorin-cli --version\n\nCommands:\n");
    for (const CliCommand& command : CliCommands()) {
        const QString synopsis =
            command.Synopsis.size() <= 22 ? command.Synopsis : command.Name + " ...";
        text += QStringLiteral("  %1 %2\n").arg(synopsis.leftJustified(22), command.Summary);
    }
    return text + QStringLiteral(
                      "\nPORT is a name (ttyUSB0) or a path (/dev/ttyUSB0). --timeout limits the\n"
                      "wait for the controller's answers (default 30 s, at most 86400 s).\n"
                      "KEY is Section.Key of the settings file, case-blind; a VALUE is decimal,\n"
                      "or hexadecimal after 0x or $, within the field's range. --json gives one\n"
                      "JSON object (monitor: one a line). Log lines go to stderr, results to\n"
                      "stdout.\n"
                      "Exit status: 0 done, 1 a write or the update failed, a value read back\n"
                      "differs or the work was interrupted, 2 no controller or time-out,\n"
                      "3 another device answered, 4 a file, a setting or a value could not be\n"
                      "used.\n");
}

QString CliCommandUsage(const CliCommand& command) {
    return QStringLiteral("Usage: zelphorin-cli %1%2\n  %3\n")
        .arg(command.NeedsPort ? Options + QLatin1Char(' ') : QString(), command.Synopsis,
             command.Summary);
}

bool ParsePercent(const QString& text, double& percent) {
    // Digits with at most one decimal separator; no signs, exponents, groups or words.
    static const QRegularExpression number(QStringLiteral("^\\d+([.,]\\d*)?$|^[.,]\\d+$"));
    if (!number.match(text).hasMatch())
        return false;
    QString plain = text;
    plain.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    percent = QLocale::c().toDouble(plain, &ok);
    return ok && percent >= 0 && percent <= 100;
}

void PrintLogEntry(QTextStream& err, const QString& text) {
    QString entry = LogEntry(text, QDateTime::currentDateTime());
    entry.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    err << entry << Qt::endl;
}

bool ParseCliArguments(const QStringList& arguments, CliRequest& request, QString& error,
                       bool& help) {
    help = false;
    int i = 0;
    for (; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!argument.startsWith(QLatin1String("--")))
            break;
        if (argument == QLatin1String("--help")) {
            help = true;
            return true;
        } else if (argument == QLatin1String("--version")) {
            request.Version = true;
            return true;
        } else if (argument == QLatin1String("--debug")) {
            request.Debug = true;
        } else if (argument == QLatin1String("--english")) {
            SelectLanguage(LanguageEnglish);
        } else if (argument == QLatin1String("--german")) {
            SelectLanguage(LanguageGerman);
        } else if (argument == QLatin1String("--port") || argument == QLatin1String("--timeout")) {
            if (++i >= arguments.size()) {
                error = argument + QStringLiteral(" needs a value");
                return false;
            }
            if (argument == QLatin1String("--port")) {
                request.Port = arguments[i];
            } else {
                bool ok = false;
                request.TimeoutSeconds = arguments[i].toInt(&ok);
                if (!ok || request.TimeoutSeconds <= 0 ||
                    request.TimeoutSeconds > MaxTimeoutSeconds) {
                    error = QStringLiteral("--timeout needs a whole number of seconds from 1 to "
                                           "%1, not %2")
                                .arg(MaxTimeoutSeconds)
                                .arg(arguments[i]);
                    return false;
                }
            }
        } else {
            error = QStringLiteral("unknown option ") + argument;
            return false;
        }
    }
    if (i >= arguments.size()) {
        error = QStringLiteral("no command given (see --help)");
        return false;
    }
    request.Command = arguments[i];
    request.Arguments = arguments.mid(i + 1);
    const CliCommand* command = FindCliCommand(request.Command);
    if (!command) {
        error = QStringLiteral("unknown command ") + request.Command;
        return false;
    }
    if (request.Arguments.contains(QStringLiteral("--help"))) {
        help = true;
        return true;
    }
    if (!command->NeedsPort)
        return true; // its own arguments are checked where it runs
    static const QStringList jsonCommands = {QStringLiteral("info"), QStringLiteral("monitor"),
                                             QStringLiteral("get"), QStringLiteral("schedule")};
    if (jsonCommands.contains(request.Command))
        request.Json = request.Arguments.removeAll(QStringLiteral("--json")) > 0;
    if (request.Arguments.size() < command->MinArguments ||
        (command->MaxArguments != CliCommand::AnyNumber &&
         request.Arguments.size() > command->MaxArguments)) {
        error = QStringLiteral("usage: zelphorin-cli ... ") + command->Synopsis;
        return false;
    }
    if (request.Port.isEmpty()) {
        error = QStringLiteral("no port given: use --port PORT");
        return false;
    }
    error = ArgumentError(request);
    return error.isEmpty();
}

} // namespace zel
