// SPDX-License-Identifier: GPL-3.0-or-later
// The window's command line: ports as names or paths, switches in any case.

#include "host/command_line.h"

#include <QtTest>

using namespace zel;

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void PortsKeepTheirSpelling_data() {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<QString>("port");
        QTest::newRow("name") << QStringList{"ttyUSB0"} << "ttyUSB0";
        QTest::newRow("path") << QStringList{"/dev/ttyUSB0"} << "/dev/ttyUSB0";
        QTest::newRow("path before switch")
            << QStringList{"/dev/rfcomm0", "-german"} << "/dev/rfcomm0";
        QTest::newRow("case kept") << QStringList{"ttyACM0"} << "ttyACM0";
        QTest::newRow("lone minus") << QStringList{"-"} << "-";
        QTest::newRow("later wins") << QStringList{"ttyUSB0", "-debug", "ttyUSB1"} << "ttyUSB1";
        QTest::newRow("none") << QStringList{"-expert"} << "";
    }

    void PortsKeepTheirSpelling() {
        QFETCH(QStringList, parameters);
        QFETCH(QString, port);
        QCOMPARE(ParseCommandLine(parameters).Port, port);
    }

    void SwitchesIgnoreCase() {
        const CommandLine line =
            ParseCommandLine({"-EXPERT", "-Rc433", "-dEbUg", "-German", "-unknown", "--german"});
        QVERIFY(line.Expert);
        QVERIFY(line.RC433);
        QVERIFY(line.Debug);
        QCOMPARE(line.Language, int(LanguageGerman));
        QVERIFY(line.Port.isEmpty());
        QVERIFY(!line.Help && !line.Version);
    }

    void LastLanguageWins() {
        QCOMPARE(ParseCommandLine({"-german", "-english"}).Language, int(LanguageEnglish));
        QCOMPARE(ParseCommandLine({"-english", "-GERMAN"}).Language, int(LanguageGerman));
        QCOMPARE(ParseCommandLine({"ttyUSB0"}).Language, int(LanguageNotGiven));
    }

    void HelpAndVersion() {
        QVERIFY(ParseCommandLine({"--help"}).Help);
        QVERIFY(ParseCommandLine({"ttyUSB0", "--VERSION"}).Version);
        QVERIFY(!ParseCommandLine({"-help"}).Help);
        QVERIFY(CommandLineUsage().contains(QStringLiteral("/dev/ttyUSB0")));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "command_line_test.moc"
