#include "host/command_line.h"

namespace zel {

namespace {
bool IsSwitch(const QString& parameter) {
    return parameter.size() >= 2 && parameter.startsWith(QLatin1Char('-'));
}
} // namespace

CommandLine ParseCommandLine(const QStringList& parameters) {
    CommandLine line;
    for (const QString& parameter : parameters) {
        if (!IsSwitch(parameter)) {
            line.Port = parameter;
            continue;
        }
        const QString name = parameter.mid(1).toLower();
        if (name == QLatin1String("expert"))
            line.Expert = true;
        else if (name == QLatin1String("rc433"))
            line.RC433 = true;
        else if (name == QLatin1String("debug"))
            line.Debug = true;
        else if (name == QLatin1String("english"))
            line.Language = LanguageEnglish;
        else if (name == QLatin1String("german"))
            line.Language = LanguageGerman;
        else if (name == QLatin1String("-help"))
            line.Help = true;
        else if (name == QLatin1String("-version"))
            line.Version = true;
    }
    return line;
}

QString CommandLineUsage() {
    return QStringLiteral(
        "Usage: zelphorin [PORT] [-expert] [-rc433] [-debug] [-english | -german]\n"
        "\n"
        "Opens the ZELPHORIN 2.x configuration window and connects to the controller.\n"
        "\n"
        "  PORT       serial port, as a name (ttyUSB0) or a path (/dev/ttyUSB0);\n"
        "             SIM is the built-in simulated controller. Without a port the\n"
        "             window connects to the port that answered last time.\n"
        "  -expert    show the pages Expert options, White balance and JMP pin\n"
        "  -rc433     show the page 433 MHz\n"
        "  -debug     log every exchange with the controller\n"
        "  -english   English texts (default: the choice of Options / Language,\n"
        "             else the language of your locale)\n"
        "  -german    German texts\n"
        "  --help     show this text\n"
        "  --version  show the version\n"
        "\n"
        "Switches may be written in any case (-German).\n");
}

} // namespace zel
