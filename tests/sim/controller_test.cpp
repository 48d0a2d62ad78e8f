// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated controller in-process, over a real pseudo-terminal.

#include "sim/sim_controller.h"
#include "support/pty_client.h"
#include "support/wait.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <random>

using namespace zel;
using zel::test::PtyClient;
using zel::test::WaitUntil;

namespace {

SimOptions Options() {
    SimOptions options;
    options.seed = 3;
    return options;
}

bool Logged(const SimController& sim, const QString& event) {
    return WaitUntil([&] { return WithoutTimes(sim.WireLines()).contains(event); });
}

} // namespace

class SimControllerTest : public QObject {
    Q_OBJECT

private slots:
    void AnswersAHandTypedIdentification() {
        SimController sim(Options());
        PtyClient port(sim.Start());
        QVERIFY(port.IsOpen());
        QCOMPARE(port.Ask("80\n", 7), QByteArray("800700\n"));
        QCOMPARE(port.Ask("80\r", 7), QByteArray("800700\n")); // Enter in a terminal program
    }

    void EveryBlockCommandOverThePty_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("replySize");
        QTest::newRow("81") << QByteArray("81\n") << 71;
        QTest::newRow("82") << QByteArray("82\n") << 49;
        QTest::newRow("83") << QByteArray("83\n") << 35;
        QTest::newRow("85") << QByteArray("85\n") << 115;
        QTest::newRow("86") << QByteArray("86\n") << 61;
        QTest::newRow("87") << QByteArray("87\n") << 163;
        QTest::newRow("88") << QByteArray("88\n") << 61;
        QTest::newRow("01") << QByteArray("01") + QByteArray(68, 'F') + '\n' << 1;
        QTest::newRow("03") << QByteArray("03") + QByteArray(32, '0') + '\n' << 1;
        QTest::newRow("7F01") << QByteArray("7F01\n") << 1;
    }
    void EveryBlockCommandOverThePty() {
        QFETCH(QByteArray, line);
        QFETCH(int, replySize);
        SimController sim(Options());
        PtyClient port(sim.Start());
        const QByteArray reply = port.Ask(line, replySize);
        QCOMPARE(reply.size(), replySize);
        if (replySize > 1) {
            QVERIFY(reply.startsWith(line.left(2)));
            QVERIFY(reply.endsWith('\n'));
        }
        // A reply one byte too long would show at the start of the next one.
        QCOMPARE(port.Ask("80\n", 7), QByteArray("800700\n"));
    }

    void PeerMayCloseAndComeBack() {
        SimController sim(Options());
        const QString path = sim.Start();
        for (int round = 0; round < 3; ++round) {
            PtyClient port(path);
            QVERIFY(port.IsOpen());
            QCOMPARE(port.Ask("80\n", 7), QByteArray("800700\n"));
        }
        QVERIFY(sim.IsServing());
    }

    void HostileInputLeavesItServing() {
        SimController sim(Options());
        PtyClient port(sim.Start());
        std::mt19937 random(11);
        std::uniform_int_distribution<int> byte(0x80, 0x100);
        QByteArray noise;
        for (int i = 0; i < 20000; ++i) {
            const int value = byte(random);
            noise += value == 0x100 ? (i % 2 ? '\n' : '\r') : char(value);
        }
        QVERIFY(port.Write(QByteArray(10240, 'A'))); // no line feed at all
        QVERIFY(port.Write("\n"));
        QVERIFY(port.Write("\r"));  // a lone CR
        QVERIFY(port.Write(noise)); // no hex, terminators now and then
        QVERIFY(port.Write("\n88\n"));
        QVERIFY(Logged(sim, QStringLiteral("BAD over-long line of 10240 bytes dropped")));
        QVERIFY(Logged(sim, QStringLiteral("IN 88")));
        port.Purge();
        QCOMPARE(port.Ask("80\n", 7), QByteArray("800700\n"));
        QVERIFY(sim.IsServing());
    }

    void LogShowsWhatCrossedInOrder() {
        QTemporaryDir folder;
        SimOptions options = Options();
        options.logPath = folder.filePath(QStringLiteral("wire.log"));
        SimController sim(options);
        PtyClient port(sim.Start());
        QCOMPARE(port.Ask("80\n", 7), QByteArray("800700\n"));
        QCOMPARE(port.Ask("7F02\n", 1), QByteArray("K"));
        QVERIFY(port.Write("99\n"));
        QVERIFY(Logged(sim, QStringLiteral("BAD code 99 is unknown to the application")));
        QFile file(options.logPath);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines, sim.WireLines());
        for (const QString& line : lines)
            QVERIFY2(
                QRegularExpression(QStringLiteral("^\\d+\\.\\d{3} [A-Z]+ ")).match(line).hasMatch(),
                qPrintable(line));
        QCOMPARE(WithoutTimes(lines).mid(1),
                 (QStringList{"IN 80", "OUT 800700\\n", "IN 7F02", "OUT K", "IN 99",
                              "BAD code 99 is unknown to the application"}));
    }

    void LineOptionsShapeRepliesOnThePty() {
        SimOptions options = Options();
        options.lowercase = true;
        options.cr = true;
        options.delayMs = 30;
        options.paceBaud = 115200;
        SimController sim(options);
        PtyClient port(sim.Start());
        const QByteArray info = port.Ask("85\n", 115);
        QCOMPARE(info.size(), 115);
        QVERIFY(info.endsWith('\r'));
        QCOMPARE(info, info.toLower());
        QVERIFY(info != info.toUpper());
    }

    void SilentControllerLogsWhatItSwallowed() {
        SimOptions options = Options();
        options.silentAfter = 1;
        SimController sim(options);
        PtyClient port(sim.Start());
        QCOMPARE(port.Ask("80\n", 7), QByteArray("800700\n"));
        QVERIFY(port.Write("80\n"));
        QVERIFY(Logged(sim, QStringLiteral("SKIP --silent-after 1")));
        QCOMPARE(port.Read(1, 0), QByteArray());
    }

    void PortVanishesAfterTheChosenLines() {
        SimOptions options = Options();
        options.closeAfter = 2;
        SimController sim(options);
        PtyClient port(sim.Start());
        QCOMPARE(port.Ask("80\n", 7), QByteArray("800700\n"));
        QCOMPARE(port.Ask("80\n", 7), QByteArray("800700\n"));
        QVERIFY(port.WaitForHangup());
        QVERIFY(WaitUntil([&] { return !sim.IsServing(); }));
        QCOMPARE(sim.LinesReceived(), 2);
    }

    void FirmwareUpdateOverThePty() {
        QTemporaryDir folder;
        SimOptions options = Options();
        options.flashOutPath = folder.filePath(QStringLiteral("flash.bin"));
        SimController sim(options);
        PtyClient port(sim.Start());
        QVERIFY(port.Write("7F00\n"));
        QVERIFY(Logged(sim, QStringLiteral("NOTE bootloader started")));
        QCOMPARE(port.Ask("80\n", 7), QByteArray("800600\n"));
        QCOMPARE(port.Ask("81\n", 15), QByteArray("81800000800000\n"));
        const QByteArray data(64, char(0x5A));
        const QByteArray block = "020000" + data.toHex().toUpper() + '\n';
        QCOMPARE(port.Ask(block, 1), QByteArray("K"));
        QCOMPARE(port.Ask("01000000000000\n", 1), QByteArray("K"));
        QVERIFY(Logged(sim, QStringLiteral("NOTE application started with default settings")));
        QCOMPARE(port.Ask("80\n", 7), QByteArray("800700\n"));
        sim.Stop();
        QFile image(options.flashOutPath);
        QVERIFY(image.open(QIODevice::ReadOnly));
        QCOMPARE(image.size(), qint64(32768));
        QCOMPARE(image.read(64), data);
    }

    void StartsOnlyOnce() {
        SimController sim(Options());
        sim.Start();
        QVERIFY_THROWS_EXCEPTION(SimError, sim.Start());
        sim.Stop();
        sim.Stop();
        QVERIFY(!sim.IsServing());
    }
};

QTEST_GUILESS_MAIN(SimControllerTest)
#include "controller_test.moc"
