// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_arguments.h"

#include "com/link_host.h"
#include "com/serial_line.h"
#include "discover/bluetooth_stack.h"
#include "discover/port_lines.h"
#include "lang/translate.h"

#include <QDateTime>

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

namespace zel {

namespace {

// The width a help text keeps to.
constexpr qsizetype Columns = 80;

// `text` broken at blanks into lines of at most Columns characters, the first one after
// `lead` (which may hold lines of its own), every further one after `indent` blanks.
QString Wrapped(const QString& lead, const QString& text, qsizetype indent) {
    QString result = lead;
    qsizetype lineStart = result.lastIndexOf(QLatin1Char('\n')) + 1;
    bool lineHasWords = false;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (lineHasWords && result.size() - lineStart + 1 + word.size() > Columns) {
            result += QLatin1Char('\n');
            lineStart = result.size();
            result += QString(indent, QLatin1Char(' '));
            lineHasWords = false;
        }
        if (lineHasWords)
            result += QLatin1Char(' ');
        result += word;
        lineHasWords = true;
    }
    return result + QLatin1Char('\n');
}

// One entry of a list: its names from column 2, its help from column HelpColumn, on the next
// line when the names reach that far.
QString ListEntry(const QString& names, const QString& help) {
    constexpr qsizetype HelpColumn = 22;
    QString lead = Wrapped(QStringLiteral("  "), names, 4);
    lead.chop(1);
    const qsizetype lastLine = lead.size() - (lead.lastIndexOf(QLatin1Char('\n')) + 1);
    lead += lastLine < HelpColumn ? QString(HelpColumn - lastLine, QLatin1Char(' '))
                                  : QLatin1Char('\n') + QString(HelpColumn, QLatin1Char(' '));
    return Wrapped(lead, help, HelpColumn);
}

// The options every command takes, before or after the command word: name, value, help.
struct CliOption {
    QString Names;
    QString Help;
};
const QList<CliOption>& CliOptions() {
    static const QList<CliOption> options = {
        {QStringLiteral("--port PORT"),
         QStringLiteral("the controller's port: a name (ttyUSB0), a path (/dev/ttyUSB0) or "
                        "rfcomm:AA:BB:CC:DD:EE:FF")},
        {QStringLiteral("--timeout SECONDS"),
         QStringLiteral("the longest wait for the controller's answers (default 30, at most "
                        "86400)")},
        {QStringLiteral("--json"),
         QStringLiteral("info, monitor, get, schedule and sunmoon print JSON")},
        {QStringLiteral("--quiet"), QStringLiteral("print nothing but results and errors")},
        {QStringLiteral("--debug"), QStringLiteral("log every exchange with the controller")},
        {QStringLiteral("--english, --german"), QStringLiteral("the language of the log")},
        {QStringLiteral("-h, --help"), QStringLiteral("this help; COMMAND --help explains one")},
        {QStringLiteral("-V, --version"), QStringLiteral("the version")},
        {QStringLiteral("--"),
         QStringLiteral("ends the options: what follows is the command's, even a word that "
                        "starts with -")},
    };
    return options;
}

// The commands that print JSON for --json; sunmoon reads its own options.
bool TakesJson(const QString& command) {
    static const QStringList commands = {QStringLiteral("info"), QStringLiteral("monitor"),
                                         QStringLiteral("get"), QStringLiteral("schedule")};
    return commands.contains(command);
}

// An argument that reads as an option rather than a value: "-x" or "--x", but not "-" (stdout)
// or a negative number.
bool LooksLikeOption(const QString& argument) {
    return argument.size() > 1 && argument[0] == QLatin1Char('-') && !argument[1].isDigit() &&
           argument[1] != QLatin1Char('.');
}

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
    uint64_t address = 0;
    if (request.Port.startsWith(BluetoothPortPrefix) &&
        !ParseBluetoothAddress(request.Port.mid(BluetoothPortPrefix.size()), address))
        return QStringLiteral("--port %1 is no Bluetooth port name: rfcomm:AA:BB:CC:DD:EE:FF")
            .arg(request.Port);
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
         QStringLiteral("schedule [--json] | schedule set N FIELD=VALUE... | schedule design "
                        "--date YYYY-MM-DD [--lat D --lon D] [--tz ZONE] [--noon HH:MM] "
                        "[--max W=P,R=P,G=P,B=P] [--dawn W=MIN,...] [--dusk W=MIN,...] "
                        "[--rows N] [--apply]"),
         QStringLiteral("print the rows and the daily dose, change row N (Color160=2048) and "
                        "read it back, or design a day that follows the sun (no port needed "
                        "with --lat and --lon, --rows defaults to 32; --apply sends it)")},
        {QStringLiteral("acclimate"), 8, 12,
         QStringLiteral("acclimate --baseline FILE --start YYYY-MM-DD --days N --from P [--to P] "
                        "[--today YYYY-MM-DD]"),
         QStringLiteral("send today's step of a ramp from P % of a baseline schedule file to "
                        "--to % (100) over N days; a second run on one day sends nothing")},
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
         QStringLiteral("write configuration and schedule to an INI file; - is stdout")},
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
    QString text = QStringLiteral("Usage: zelphorin-cli [OPTION...] COMMAND [ARGUMENT...]\n"
                                  "       zelphorin-cli COMMAND --help\n\n"
                                  "Options, before or after the command (--name=VALUE or --name "
                                  "VALUE):\n");
    for (const CliOption& option : CliOptions())
        text += ListEntry(option.Names, option.Help);
    text += QStringLiteral("\nCommands:\n");
    for (const CliCommand& command : CliCommands())
        text += ListEntry(command.Synopsis, command.Summary);
    const QString notes = QStringLiteral(
        "KEY is Section.Key of the settings file, case-blind; a VALUE is decimal, or "
        "hexadecimal after 0x or $, within the field's range. JSON is one object (monitor: one a "
        "line) whose names are those of the settings file where a value has one, else "
        "capitalised words; units are part of a name (TemperatureC: always degrees Celsius). "
        "Log lines go to stderr, results to stdout.");
    const QString status = QStringLiteral(
        "Exit status: 0 done, 1 a write or the update failed, a value read back differs or the "
        "result could not be written, 2 no controller or time-out, 3 another device answered, "
        "4 a file, a setting or a value could not be used, 64 a malformed command line, 130 or "
        "143 interrupted by SIGINT or SIGTERM (a running monitor ends with 0).");
    return text + QLatin1Char('\n') + Wrapped(QString(), notes, 0) + Wrapped(QString(), status, 0);
}

QString CliCommandUsage(const CliCommand& command) {
    const QString port = command.NeedsPort ? QStringLiteral("--port PORT [OPTION...] ") : QString();
    return Wrapped(QStringLiteral("Usage: "),
                   QStringLiteral("zelphorin-cli ") + port + command.Synopsis, 7) +
           Wrapped(QStringLiteral("  "), command.Summary, 2);
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

int ParseCliArguments(const QStringList& arguments, CliRequest& request, QString& error,
                      bool& help) {
    help = false;
    QStringList words; // the command and its arguments, the options taken out
    bool optionsEnded = false;
    bool json = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const qsizetype equals =
            argument.startsWith(QLatin1String("--")) ? argument.indexOf(QLatin1Char('=')) : -1;
        const QString name = equals < 0 ? argument : argument.left(equals);
        // These commands read options of their own, which stay among their arguments; the ones
        // every command takes count there too.
        const QString command = words.value(0);
        const bool ownOptions =
            command == QLatin1String("sunmoon") || command == QLatin1String("acclimate") ||
            command == QLatin1String("mqtt") ||
            (command == QLatin1String("schedule") && words.value(1) == QLatin1String("design"));
        const bool everyCommands =
            name == QLatin1String("--help") || name == QLatin1String("-h") ||
            name == QLatin1String("--version") || name == QLatin1String("-V") ||
            name == QLatin1String("--debug") || name == QLatin1String("--quiet") ||
            (name == QLatin1String("--json") && command != QLatin1String("sunmoon"));
        const bool valueOption =
            name == QLatin1String("--port") || name == QLatin1String("--timeout");
        if (optionsEnded || !LooksLikeOption(argument)) {
            words << argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (valueOption) {
            QString value = argument.mid(equals + 1);
            if (equals < 0) {
                if (++i >= arguments.size()) {
                    error = name + QStringLiteral(" needs a value");
                    return ExitUsage;
                }
                value = arguments[i];
            }
            if (name == QLatin1String("--port")) {
                request.Port = value;
                continue;
            }
            bool ok = false;
            request.TimeoutSeconds = value.toInt(&ok);
            if (!ok || request.TimeoutSeconds <= 0 || request.TimeoutSeconds > MaxTimeoutSeconds) {
                error = QStringLiteral("--timeout needs a whole number of seconds from 1 to %1, "
                                       "not %2")
                            .arg(MaxTimeoutSeconds)
                            .arg(value);
                return ExitBadFile;
            }
        } else if (ownOptions && !everyCommands) {
            words << argument;
        } else if (equals >= 0) {
            error = name + QStringLiteral(" takes no value");
            return ExitUsage;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            help = true;
        } else if (argument == QLatin1String("--version") || argument == QLatin1String("-V")) {
            request.Version = true;
            return ExitOk;
        } else if (argument == QLatin1String("--debug")) {
            request.Debug = true;
        } else if (argument == QLatin1String("--quiet")) {
            request.Quiet = true;
        } else if (argument == QLatin1String("--json")) {
            json = true;
        } else if (argument == QLatin1String("--english")) {
            SelectLanguage(LanguageEnglish);
        } else if (argument == QLatin1String("--german")) {
            SelectLanguage(LanguageGerman);
        } else {
            error = QStringLiteral("unknown option ") + name;
            return ExitUsage;
        }
    }
    if (words.isEmpty()) {
        error = QStringLiteral("no command given (see --help)");
        return help ? ExitOk : ExitUsage;
    }
    request.Command = words.takeFirst();
    request.Arguments = words;
    const CliCommand* command = FindCliCommand(request.Command);
    if (!command) {
        error = QStringLiteral("unknown command ") + request.Command;
        return ExitUsage;
    }
    if (help)
        return ExitOk;
    if (json && request.Command == QLatin1String("sunmoon")) {
        request.Arguments << QStringLiteral("--json");
    } else if (json && !TakesJson(request.Command)) {
        error = QStringLiteral("--json: only info, monitor, get, schedule and sunmoon print JSON");
        return ExitUsage;
    } else {
        request.Json = json;
    }
    if (request.Arguments.size() < command->MinArguments ||
        (command->MaxArguments != CliCommand::AnyNumber &&
         request.Arguments.size() > command->MaxArguments)) {
        error = QStringLiteral("usage: zelphorin-cli ... ") + command->Synopsis;
        return ExitUsage;
    }
    if (!command->NeedsPort)
        return ExitOk; // its own arguments are checked where it runs
    // A day is designed without a controller too (checked where it runs).
    const bool design = request.Command == QLatin1String("schedule") &&
                        request.Arguments.value(0) == QLatin1String("design");
    if (request.Port.isEmpty() && !design) {
        error = QStringLiteral("no port given: use --port PORT");
        return ExitUsage;
    }
    error = ArgumentError(request);
    return error.isEmpty() ? ExitOk : ExitBadFile;
}

} // namespace zel
