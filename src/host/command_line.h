// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lang/translate.h"

#include <QString>
#include <QStringList>

namespace zel {

// What the window takes from its command line: a port and the switches "expert", "rc433",
// "debug", "english" and "german". Only "-" starts a switch (compared without regard to case);
// anything else, a path such as /dev/ttyUSB0 and a lone "-" included, is a port, kept exactly
// as typed; other switches are ignored. A later port replaces an earlier one; of the two language
// switches the last wins.
struct CommandLine {
    QString Port;
    bool Expert = false;
    bool RC433 = false;
    bool Debug = false;
    int Language = LanguageNotGiven;
    bool Help = false;    // --help
    bool Version = false; // --version
};

CommandLine ParseCommandLine(const QStringList& parameters);

// The --help text.
QString CommandLineUsage();

} // namespace zel
