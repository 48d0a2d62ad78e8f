// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace zel {

// Exit codes of the command line.
enum CliExit {
    ExitOk = 0,
    ExitFailed = 1,       // a write, its read-back or the firmware update failed, or the
                          // result could not be written
    ExitNoController = 2, // nothing answered, the link gave up, or the time ran out
    ExitOtherDevice = 3,  // another firmware, the bootloader or another product answered
    ExitBadFile = 4,      // a settings or firmware file, a setting or a value cannot be used
    ExitUsage = 64,       // the command line is malformed: an unknown command or option, a
                          // missing argument (64 as sysexits.h has it)
    ExitSignal = 128,     // + the number of the signal that ended the work, as a shell has it
};

// One command of the command line: its word, how many arguments follow it, and its help.
struct CliCommand {
    QString Name;
    int MinArguments = 0;
    int MaxArguments = 0; // AnyNumber: no upper limit
    QString Synopsis;     // "flash FILE"
    QString Summary;      // one line for the usage text
    bool NeedsPort = true;

    static constexpr int AnyNumber = -1;
};

const QList<CliCommand>& CliCommands();
// The command of that word, or nullptr.
const CliCommand* FindCliCommand(const QString& name);

// The words of `mode`, in the order of the controller's mode numbers.
const QStringList& CliModeNames();

// The longest --timeout: a day. Timer intervals are milliseconds in an int.
constexpr int MaxTimeoutSeconds = 24 * 60 * 60;

struct CliRequest {
    QString Port;
    QString Command;
    QStringList Arguments;
    bool Debug = false;
    bool Json = false;  // info, monitor, get and schedule print JSON
    bool Quiet = false; // no log lines: results and errors only
    int TimeoutSeconds = 30;
    bool Version = false; // --version: print it and do nothing else
};

// Parses the command line (without the program name) into a request: ExitOk, or on an error
// ExitUsage (a malformed command line) or ExitBadFile (a value that cannot be used) with the
// message in `error`. The options may come before or after the command, a value after a blank
// or "="; "--" ends them. `help` is set for --help or -h (then `request.Command` names the
// command to explain, if any).
int ParseCliArguments(const QStringList& arguments, CliRequest& request, QString& error,
                      bool& help);
// The whole usage text, or the usage of one command.
QString CliUsage();
QString CliCommandUsage(const CliCommand& command);

// A percentage from 0 to 100 typed with a decimal point or a decimal comma ("12.5", "12,5"),
// whatever the locale; false for anything else.
bool ParsePercent(const QString& text, double& percent);

// Writes a log line as the window would log it, time-stamped, one entry per line of text.
void PrintLogEntry(QTextStream& err, const QString& text);

} // namespace zel
