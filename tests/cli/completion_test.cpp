// SPDX-License-Identifier: GPL-3.0-or-later
// The bash completion as bash runs it, with the setting names of the built zelphorin-cli, and
// its place after `cmake --install`.

#include "files/file_helpers.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Script = QStringLiteral(ZEL_SOURCE_DIR "/resources/zelphorin-cli.bash");
const QString Program = QStringLiteral(ZEL_BINARY_DIR "/src/zelphorin-cli");

// What the completion offers for a command line whose last word is being typed; the first
// word is replaced by the built program.
QStringList Complete(QStringList words) {
    words[0] = Program;
    QProcess bash;
    bash.start(QStringLiteral("/bin/bash"),
               QStringList{QStringLiteral("-c"),
                           QStringLiteral("source \"$1\"; shift; COMP_WORDS=(\"$@\"); "
                                          "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _zelphorin_cli; "
                                          "printf '%s\\n' \"${COMPREPLY[@]}\""),
                           QStringLiteral("bash"), Script} +
                   words);
    if (!bash.waitForFinished(10000) || bash.exitCode() != 0)
        return {QStringLiteral("bash failed: ") + QString::fromUtf8(bash.readAllStandardError())};
    const QByteArray errors = bash.readAllStandardError();
    if (!errors.isEmpty())
        return {QStringLiteral("bash said: ") + QString::fromUtf8(errors)};
    QStringList offered = QString::fromUtf8(bash.readAllStandardOutput()).split(QLatin1Char('\n'));
    offered.removeAll(QString());
    return offered;
}

} // namespace

class CompletionTest : public QObject {
    Q_OBJECT

private slots:
    void CompletesCommandsOptionsAndNames_data() {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("offered");
        QTest::newRow("commands") << QStringList{"zelphorin-cli", "--port", "ttyUSB0", "sc"}
                                  << QStringList{"schedule"};
        QTest::newRow("options") << QStringList{"zelphorin-cli", "--t"} << QStringList{"--timeout"};
        QTest::newRow("version") << QStringList{"zelphorin-cli", "--v"} << QStringList{"--version"};
        QTest::newRow("get names")
            << QStringList{"zelphorin-cli", "--port", "p", "get", "Weather.MoonColor16"}
            << QStringList{"Weather.MoonColor160", "Weather.MoonColor161", "Weather.MoonColor162",
                           "Weather.MoonColor163"};
        QTest::newRow("get row names")
            << QStringList{"zelphorin-cli", "get", "12.Sw"} << QStringList{"12.Switch"};
        QTest::newRow("set names take the equals sign")
            << QStringList{"zelphorin-cli", "--port", "p", "set", "Config.FanH"}
            << QStringList{"Config.FanHigh="};
        QTest::newRow("after a value")
            << QStringList{"zelphorin-cli", "--port", "p", "set", "Config.FanHigh", "=", "8"}
            << QStringList{};
        QTest::newRow("schedule") << QStringList{"zelphorin-cli", "--port", "p", "schedule", ""}
                                  << QStringList{"set", "design", "--json"};
        QTest::newRow("row fields")
            << QStringList{"zelphorin-cli", "--port", "p", "schedule", "set", "3", "Ti"}
            << QStringList{"Timer="};
        QTest::newRow("bluetooth")
            << QStringList{"zelphorin-cli", "bluetooth", "r"} << QStringList{"remove"};
        QTest::newRow("mqtt options")
            << QStringList{"zelphorin-cli", "--port", "p", "mqtt", "--broker", "h", "--d"}
            << QStringList{"--discovery-prefix"};
        QTest::newRow("modes") << QStringList{"zelphorin-cli", "--port", "p", "mode", "g"}
                               << QStringList{"geo"};
        QTest::newRow("no such port")
            << QStringList{"zelphorin-cli", "--port", "/dev/ttyNONE"} << QStringList{};
    }
    void CompletesCommandsOptionsAndNames() {
        QFETCH(QStringList, words);
        QFETCH(QStringList, offered);
        QCOMPARE(Complete(words), offered);
    }

    void InstallPutsTheCompletionWhereBashFindsIt() {
        QTemporaryDir prefix;
        QProcess install;
        install.start(QStringLiteral("cmake"),
                      {QStringLiteral("--install"), QStringLiteral(ZEL_BINARY_DIR),
                       QStringLiteral("--prefix"), prefix.path()});
        QVERIFY(install.waitForFinished(60000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
        // Under the prefix: bash-completion's own folder, or the usual one without its pkg-config
        // file.
        const QString installed =
            prefix.filePath(QStringLiteral("share/bash-completion/completions/zelphorin-cli"));
        QCOMPARE(ReadAll(installed), ReadAll(Script));
        QVERIFY(QFileInfo(prefix.filePath(QStringLiteral("bin/zelphorin-cli"))).isExecutable());
    }
};

QTEST_GUILESS_MAIN(CompletionTest)
#include "completion_test.moc"
