// SPDX-License-Identifier: GPL-3.0-or-later
#include "com/line_transaction.h"
#include "lang/translate.h"
#include "support/scripted_line.h"

#include <QTest>

using namespace zel;
using zel::test::ScriptedLine;

class LineTransactionTest : public QObject {
    Q_OBJECT

    ScriptedLine line;
    QStringList log;
    TransferBuffer buffer{};
    LineTransaction transaction{line, [this](const QString& text) { log.append(text); }};

    static QByteArray Reply(const QByteArray& code, int zeros, char terminator) {
        return code + QByteArray(2 * zeros, '0') + terminator;
    }

private slots:
    void initTestCase() { SelectLanguage(LanguageEnglish); }
    void init() {
        line = ScriptedLine();
        line.SetName(QStringLiteral("ttyS0"));
        log.clear();
        buffer.fill(0xEE);
        transaction.SetDebug(false);
    }

    void GetAcceptsEitherTerminator() {
        line.replies = {Reply("81", 34, '\r'), Reply("81", 34, '\n')};
        QVERIFY(transaction.ReadBlock("81", 34, buffer));
        QCOMPARE(buffer[1], uint8_t(0x81));
        for (int i = 0; i < 34; ++i)
            QCOMPARE(buffer[size_t(2 + i)], uint8_t(0));
        QCOMPARE(buffer[36], uint8_t(0xEE)); // nothing beyond the block
        QCOMPARE(buffer[0], uint8_t(0xEE));  // the spare byte is never written
        QVERIFY(transaction.ReadBlock("81", 34, buffer));
        QCOMPARE(line.written, QByteArrayList({"81\n", "81\n"}));
        QVERIFY(log.isEmpty());
    }

    void MalformedRepliesAreRejectedSilently() {
        line.replies = {Reply("81", 34, 'X'), "80070\n", Reply("82", 34, '\n'), "8007000\n",
                        "8007\n"};
        QVERIFY(!transaction.ReadBlock("81", 34, buffer)); // wrong terminator
        QVERIFY(!transaction.ReadBlock("80", 2, buffer));  // one character short
        QVERIFY(!transaction.ReadBlock("81", 34, buffer)); // wrong echo
        QVERIFY(!transaction.ReadBlock("80", 2, buffer));  // long: a digit where LF belongs
        QVERIFY(!transaction.ReadBlock("80", 2, buffer));  // short
        QVERIFY(log.isEmpty());
        QVERIFY(line.IsOpen());
    }

    void LowerCaseHexDecodesAsUpperCase() {
        line.replies = {"80abCD\n"};
        QVERIFY(transaction.ReadBlock("80", 2, buffer));
        QCOMPARE(buffer[2], uint8_t(0xAB));
        QCOMPARE(buffer[3], uint8_t(0xCD));
    }

    void BadHexPairIsLoggedAndKeepsEarlierBytes() {
        line.replies = {"8012G4\n", QByteArray("8012", 4) + QByteArray(1, '\0') + "4\n"};
        QVERIFY(!transaction.ReadBlock("80", 2, buffer));
        QCOMPARE(buffer[2], uint8_t(0x12));
        QCOMPARE(log.size(), 1);
        QVERIFY(log[0].contains(QLatin1String("G4")));
        // A zero byte ends the text: the missing pair fails to decode.
        QVERIFY(!transaction.ReadBlock("80", 2, buffer));
        QCOMPARE(log.size(), 2);
    }

    void SilenceLogsNoDataOnceAndClosesThePort() {
        line.replies = {QByteArray()};
        QVERIFY(!transaction.ReadBlock("81", 34, buffer));
        QCOMPARE(log, QStringList({QStringLiteral("No data.")}));
        QVERIFY(!line.IsOpen());
        // The next transaction meets a closed port: its error is logged, nothing thrown.
        QVERIFY(!transaction.ReadBlock("81", 34, buffer));
        QVERIFY(!transaction.WriteBlock("01", 34, buffer));
        QCOMPARE(log.size(), 3);
    }

    void SetSendsUpperCaseHexAndAcceptsAnyByte() {
        buffer[2] = 0x0B;
        buffer[3] = 0x0a;
        line.replies = {QByteArray(1, '\0'), QByteArray()};
        transaction.SetDebug(true);
        QVERIFY(transaction.WriteBlock("7F", 2, buffer));
        QCOMPARE(line.written.last(), QByteArray("7F0B0A\n"));
        QCOMPARE(log.size(), 2);
        QVERIFY(log[0].startsWith(QLatin1String("OUT: \"7F0B0A\n\" ")));
        QVERIFY(log[0].endsWith(QLatin1String(" ms")));
        QVERIFY(log[1].startsWith(QLatin1String("IN: \"\" ")));
        // No acknowledgement: false, the port stays open and nothing but debug is logged.
        QVERIFY(!transaction.WriteBlock("7F", 2, buffer));
        QVERIFY(line.IsOpen());
        QCOMPARE(log.size(), 4);
    }

    void DebugLinesOfAGet() {
        transaction.SetDebug(true);
        line.replies = {"800700\n"};
        QVERIFY(transaction.ReadBlock("80", 2, buffer));
        QCOMPARE(log.size(), 2);
        QVERIFY(log[0].startsWith(QLatin1String("OUT: \"80\" ")));
        QVERIFY(log[1].startsWith(QLatin1String("IN: \"800700\n\" ")));
    }

    void EveryExchangeStartsWithAPurge() {
        line.replies = {"800700\n", "x"};
        QVERIFY(transaction.ReadBlock("80", 2, buffer));
        QVERIFY(transaction.WriteBlock("02", 1, buffer));
        QCOMPARE(line.purges, 2);
    }

    void OversizedBlocksAndHostileRepliesStayInsideTheBuffer() {
        QVERIFY(!transaction.ReadBlock("87", 133, buffer));
        QVERIFY(!transaction.WriteBlock("02", 133, buffer));
        QCOMPARE(log.size(), 2);
        line.replies = {QByteArray(5000, 'F')};
        QVERIFY(!transaction.ReadBlock("87", 80, buffer));
        // The largest block the buffer holds decodes into its last byte exactly.
        line.replies = {"87" + QByteArray(2 * MaxBlockLength, 'A') + '\n'};
        QVERIFY(transaction.ReadBlock("87", MaxBlockLength, buffer));
        QCOMPARE(buffer[TransferBufferSize - 1], uint8_t(0xAA));
    }

    void WriteFailureIsLoggedNotThrown() {
        line.failWrite = true;
        QVERIFY(!transaction.WriteBlock("02", 23, buffer));
        QVERIFY(!transaction.ReadBlock("82", 23, buffer));
        QCOMPARE(log.size(), 2);
    }
};

QTEST_GUILESS_MAIN(LineTransactionTest)
#include "line_transaction_test.moc"
