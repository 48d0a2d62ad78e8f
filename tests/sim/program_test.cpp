// SPDX-License-Identifier: GPL-3.0-or-later
// zelphorin-sim as a program: what scripts and other processes see of it.

#include "support/pty_client.h"
#include "support/sim_process.h"
#include "support/wait.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace zel::test;

class SimProgramTest : public QObject {
    Q_OBJECT

private slots:
    void PrintsItsTerminalAndAnswersThere() {
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("controller"));
        SimProcess linked(BuiltSimProgram(), {QStringLiteral("--link"), link});
        QVERIFY2(linked.Start(), qPrintable(linked.ErrorText()));
        QVERIFY(linked.SlavePath().startsWith(QLatin1String("/dev/")));
        QCOMPARE(QFileInfo(link).symLinkTarget(), linked.SlavePath());
        {
            PtyClient port(link);
            QCOMPARE(port.Ask("80\n", 7), QByteArray("800700\n"));
            QCOMPARE(port.Ask("81\n", 71).size(), 71);
        }
        QVERIFY(linked.WaitForEvent(QStringLiteral("IN 81")));
        QCOMPARE(linked.Stop(), 0);
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
        const QStringList events = linked.Events();
        QVERIFY(events.indexOf(QStringLiteral("IN 80")) < events.indexOf(QStringLiteral("IN 81")));
        QVERIFY(events.contains(QStringLiteral("OUT 800700\\n")));
    }

    void HelpAndBadOptions() {
        QProcess help;
        help.start(BuiltSimProgram(), {QStringLiteral("--help")});
        QVERIFY(help.waitForFinished(10000));
        QCOMPARE(help.exitCode(), 0);
        QVERIFY(help.readAllStandardOutput().startsWith("Usage: zelphorin-sim"));

        QProcess bad;
        bad.start(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("500")});
        QVERIFY(bad.waitForFinished(10000));
        QCOMPARE(bad.exitCode(), 2);
        QVERIFY(bad.readAllStandardError().contains("--rows"));
        QVERIFY(bad.readAllStandardOutput().isEmpty());
    }

    void EndsWhenItsPortHasVanished() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--close-after"), QStringLiteral("1")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        PtyClient port(sim.SlavePath());
        QCOMPARE(port.Ask("80\n", 7), QByteArray("800700\n"));
        QVERIFY(port.WaitForHangup());
        QVERIFY(sim.Process().waitForFinished(10000));
        QCOMPARE(sim.Process().exitCode(), 0);
    }

    void WritesItsFlashOnExit() {
        QTemporaryDir folder;
        const QString image = folder.filePath(QStringLiteral("flash.bin"));
        SimProcess boot(BuiltSimProgram(),
                        {QStringLiteral("--boot"), QStringLiteral("--flash-size"),
                         QStringLiteral("4096"), QStringLiteral("--flash-out"), image});
        QVERIFY2(boot.Start(), qPrintable(boot.ErrorText()));
        {
            PtyClient port(boot.SlavePath());
            QCOMPARE(port.Ask("80\n", 7), QByteArray("800600\n"));
            QCOMPARE(port.Ask("020001" + QByteArray(128, '1') + '\n', 1), QByteArray("K"));
        }
        QCOMPARE(boot.Stop(), 0);
        QFile file(image);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.size(), qint64(4096));
        QCOMPARE(file.read(0x100 + 2).right(2), QByteArray("\x11\x11"));
    }
};

QTEST_GUILESS_MAIN(SimProgramTest)
#include "program_test.moc"
