// SPDX-License-Identifier: GPL-3.0-or-later
// The window's and the command line's argument parsers against any arguments: the input is
// split into arguments at every NUL byte.

#include "cli/bluetooth_command.h"
#include "cli/cli_arguments.h"
#include "cli/sunmoon_command.h"
#include "fuzz_support.h"
#include "host/command_line.h"

using namespace zel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::EnsureApplication();
    QStringList arguments;
    for (const QByteArray& argument :
         QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0'))
        arguments.append(QString::fromLocal8Bit(argument));
    ParseCommandLine(arguments);
    CliRequest request;
    QString error;
    bool help = false;
    ParseCliArguments(arguments, request, error, help);
    bool install = false;
    ParseBluetoothArguments(arguments, install, error);
    QString output;
    QTextStream out(&output);
    QTextStream err(&output);
    RunSunMoonCommand(arguments, out, err);
    return 0;
}
