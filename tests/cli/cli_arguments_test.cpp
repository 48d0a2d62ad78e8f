// SPDX-License-Identifier: GPL-3.0-or-later
// How the command line is read: the conventions a script expects of it.

#include "cli/cli_arguments.h"

#include <QtTest>

using namespace zel;

class CliArgumentsTest : public QObject {
    Q_OBJECT

private slots:
    void OptionsFollowTheConventions_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("command"); // then its arguments, the port, the options read
        QTest::addColumn<QStringList>("commandArguments");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("options"); // of "json quiet debug help version", those set
        const auto row = [](const char* name, const QStringList& arguments, const char* command,
                            const QStringList& commandArguments, const char* port,
                            const char* options = "") {
            QTest::newRow(name) << arguments << int(ExitOk) << command << commandArguments << port
                                << options;
        };
        const auto refused = [](const char* name, const QStringList& arguments, int status) {
            QTest::newRow(name) << arguments << status << QString() << QStringList() << QString()
                                << QString();
        };
        row("value after =", {"--port=ttyUSB0", "--timeout=5", "info"}, "info", {}, "ttyUSB0");
        row("options after the command", {"info", "--port", "ttyUSB0", "--json"}, "info", {},
            "ttyUSB0", "json");
        row("between the arguments", {"set", "Config.FanLow=1", "--port=p", "Config.FanHigh=2"},
            "set", {"Config.FanLow=1", "Config.FanHigh=2"}, "p");
        row("-- ends the options", {"--port", "p", "export", "--", "--json"}, "export", {"--json"},
            "p");
        row("- is stdout", {"--port", "p", "export", "-"}, "export", {"-"}, "p");
        row("quiet", {"--quiet", "--port", "p", "save"}, "save", {}, "p", "quiet");
        row("-h", {"mode", "-h"}, "mode", {}, "", "help");
        row("-V", {"-V"}, "", {}, "", "version");
        row("help without a command", {"--help"}, "", {}, "", "help");
        row("a negative value is no option", {"--port", "p", "schedule", "set", "1", "-5"},
            "schedule", {"set", "1", "-5"}, "p");
        row("sunmoon keeps its options", {"sunmoon", "--lat=50", "--lon", "-8", "--json"},
            "sunmoon", {"--lat=50", "--lon", "-8", "--json"}, "");
        row("sunmoon takes --json before it too", {"--json", "sunmoon", "--lat=50"}, "sunmoon",
            {"--lat=50", "--json"}, "");
        refused("unknown option after the command", {"--port", "p", "info", "--colour"}, ExitUsage);
        refused("value for a switch", {"--port", "p", "--debug=yes", "info"}, ExitUsage);
        refused("json for a command without it", {"--port", "p", "--json", "save"}, ExitUsage);
        refused("port value missing at the end", {"info", "--port"}, ExitUsage);
        refused("timeout of no number", {"--timeout=soon", "--port", "p", "info"}, ExitBadFile);
    }
    void OptionsFollowTheConventions() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, command);
        QFETCH(QStringList, commandArguments);
        QFETCH(QString, port);
        QFETCH(QString, options);
        CliRequest request;
        QString error;
        bool help = false;
        QCOMPARE(ParseCliArguments(arguments, request, error, help), status);
        if (status != ExitOk) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QCOMPARE(request.Command, command);
        QCOMPARE(request.Arguments, commandArguments);
        QCOMPARE(request.Port, port);
        QStringList set;
        for (const auto& [name, on] :
             {std::pair{"json", request.Json}, std::pair{"quiet", request.Quiet},
              std::pair{"debug", request.Debug}, std::pair{"help", help},
              std::pair{"version", request.Version}})
            if (on)
                set << QString::fromLatin1(name);
        QCOMPARE(set.join(QLatin1Char(' ')), options);
    }

    // help2man and a terminal both read the help at 80 columns.
    void EveryHelpFitsEightyColumns() {
        QStringList texts = {CliUsage()};
        for (const CliCommand& command : CliCommands())
            texts << CliCommandUsage(command);
        for (const QString& text : texts)
            for (const QString& line : text.split(QLatin1Char('\n')))
                QVERIFY2(line.size() <= 80, qPrintable(line));
    }
};

QTEST_GUILESS_MAIN(CliArgumentsTest)
#include "cli_arguments_test.moc"
