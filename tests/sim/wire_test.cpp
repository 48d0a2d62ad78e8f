// SPDX-License-Identifier: GPL-3.0-or-later
// Request lines, replies, faults and the command line of the simulated controller.

#include "sim/sim_options.h"
#include "sim/sim_wire.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace zel;

namespace {

QList<QByteArray> Lines(LineAssembler& assembler, const QByteArray& bytes,
                        QList<qint64>* dropped = nullptr) {
    QList<QByteArray> lines;
    assembler.Feed(bytes.constData(), bytes.size(), [&](const LineAssembler::Line& line) {
        lines << line.text;
        if (dropped)
            *dropped << line.droppedSize;
    });
    return lines;
}

SimAnswer Identification() {
    const uint8_t id[2] = {7, 0};
    return BlockAnswer(0x80, id, 2);
}

QByteArray Shaped(const SimOptions& options, const SimAnswer& answer, qint64 line = 1) {
    ReplyShaper shaper(options, 1);
    return shaper.Shape(answer, line).bytes;
}

SimCommandLine Parse(const QString& arguments) {
    return ParseSimArguments(arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts));
}

} // namespace

class SimWireTest : public QObject {
    Q_OBJECT

private slots:
    void LinesEndWithLfCrOrCrLf() {
        LineAssembler assembler;
        QCOMPARE(Lines(assembler, "80\n81\r82\r\n\r\n83"),
                 (QList<QByteArray>{"80", "81", "82", ""}));
        // A line split over reads is one line.
        QCOMPARE(Lines(assembler, "\n8"), (QList<QByteArray>{"83"}));
        QCOMPARE(Lines(assembler, "5\n"), (QList<QByteArray>{"85"}));
    }

    void OverLongLinesAreDroppedWithoutGrowing() {
        LineAssembler assembler;
        QList<qint64> dropped;
        const QByteArray flood(10240, 'A');
        QCOMPARE(Lines(assembler, flood, &dropped), QList<QByteArray>{});
        QCOMPARE(Lines(assembler, "\n80\n", &dropped), (QList<QByteArray>{"", "80"}));
        QCOMPARE(dropped, (QList<qint64>{10240, 0}));
        // The longest request fits.
        const QByteArray longest = "02" + QByteArray(2 * MaxBlockBytes, '0');
        QCOMPARE(Lines(assembler, longest + '\n'), QList<QByteArray>{longest});
    }

    void RequestsSplitIntoCodeAndBytes() {
        Request request = ParseRequest("0A0bFF");
        QVERIFY(request.error.isEmpty());
        QCOMPARE(int(request.code), 0x0A);
        QCOMPARE(request.payload, (std::vector<uint8_t>{0x0B, 0xFF}));
        QVERIFY(!ParseRequest("8").error.isEmpty());
        QVERIFY(!ParseRequest("810").error.isEmpty());
        QVERIFY(!ParseRequest("8x").error.isEmpty());
        QVERIFY(!ParseRequest("81 0").error.isEmpty());
    }

    // The controller's own codec, pinned to literal text rather than to the link's.
    void HexTravelsHighDigitFirstInEitherCase() {
        const uint8_t bytes[4] = {0x00, 0x0B, 0xA0, 0xFF};
        QCOMPARE(EncodeHex(bytes, 4), QByteArray("000BA0FF"));
        uint8_t decoded[4] = {};
        QVERIFY(DecodeHex("x000ba0Ff", 1, 4, decoded));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(decoded), 4),
                 QByteArray(reinterpret_cast<const char*>(bytes), 4));
        for (const QByteArray bad : {"0G", "+1", " 1", "1", "\x001"})
            QVERIFY2(!DecodeHex(bad, 0, 1, decoded), bad.constData());
        QVERIFY(!DecodeHex("00", 1, 1, decoded));
    }

    // Nothing of the link's code is compiled into the controller.
    void TheControllerSharesNoCodeWithTheLink() {
        const QDir folder(QStringLiteral(ZEL_SOURCE_DIR "/src/sim"));
        const QStringList files =
            folder.entryList({QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files);
        QVERIFY(files.contains(QStringLiteral("sim_wire.h")));
        for (const QString& name : files) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY2(!file.readAll().contains("#include \"com/"), qPrintable(name));
        }
    }

    void RepliesAreEchoHexAndTerminator() {
        QCOMPARE(FormatAnswer(Identification(), false, false), QByteArray("800700\n"));
        const uint8_t bytes[2] = {0xAB, 0x0C};
        QCOMPARE(FormatAnswer(BlockAnswer(0x81, bytes, 2), true, true), QByteArray("81ab0c\r"));
        QCOMPARE(FormatAnswer(AckAnswer(), true, true), QByteArray(1, AckByte));
        QCOMPARE(FormatAnswer(BadAnswer(QStringLiteral("x")), false, false), QByteArray());
    }

    void EachFaultBendsTheReply() {
        SimOptions options;
        options.shortReply = true;
        QCOMPARE(Shaped(options, Identification()), QByteArray("80070\n"));
        QCOMPARE(Shaped(options, AckAnswer()), QByteArray());
        options = {};
        options.longReply = true;
        QCOMPARE(Shaped(options, Identification()), QByteArray("8007000\n"));
        QCOMPARE(Shaped(options, AckAnswer()), QByteArray(2, AckByte));
        options = {};
        options.wrongEcho = true;
        QCOMPARE(Shaped(options, Identification()), QByteArray("810700\n"));
        options = {};
        options.silent = true;
        QCOMPARE(Shaped(options, Identification()), QByteArray());
        options = {};
        options.garbage = true;
        const QByteArray garbage = Shaped(options, Identification());
        QCOMPARE(garbage.size(), 7);
        QVERIFY(garbage != "800700\n");
        QCOMPARE(Shaped(options, Identification()), garbage); // the seed decides

        // Counted by code: the second "80" reply fails, from the third "81" reply on all do.
        options = {};
        options.garble = {{0x80, 2, false}, {0x81, 3, true}};
        ReplyShaper garbling(options, 1);
        const uint8_t bytes[2] = {7, 0};
        QString shown;
        for (int i = 1; i <= 4; ++i)
            for (uint8_t code : {0x80, 0x81})
                shown += QString::fromLatin1(
                             garbling.Shape(BlockAnswer(code, bytes, 2), i).bytes.left(2)) +
                         QLatin1Char(' ');
        QCOMPARE(shown, QStringLiteral("80 81 81 81 80 82 80 82 "));
    }

    void SilenceAndDroppedAcksCountLines() {
        SimOptions options;
        options.silentAfter = 2;
        ReplyShaper silent(options, 1);
        QVERIFY(!silent.Shape(Identification(), 2).bytes.isEmpty());
        const ReplyShaper::Shaped third = silent.Shape(Identification(), 3);
        QVERIFY(third.bytes.isEmpty());
        QVERIFY(!third.skip.isEmpty());

        options = {};
        options.dropAcks = 3;
        ReplyShaper dropping(options, 1);
        QString answered;
        for (int i = 1; i <= 7; ++i) {
            answered += dropping.Shape(AckAnswer(), i).bytes.isEmpty() ? '-' : 'K';
            dropping.Shape(Identification(), i); // Get replies are never dropped
        }
        QCOMPARE(answered, QStringLiteral("KK-KK-K"));
    }

    void LogTextShowsEveryByte() {
        QCOMPARE(EscapeForLog("81\\AB\r\n\x01"), QStringLiteral("81\\\\AB\\r\\n\\x01"));
        QCOMPARE(EscapeForLog(QByteArray(400, 'x')), QString(300, 'x') + "... (400 bytes)");
    }

    void CommandLineSetsEveryOption() {
        const SimCommandLine line = Parse(
            "--rows 0 --seed 0x10 --state s.json --no-water --identify 9,1 --boot --page-size 256 "
            "--flash-size 65536 --flash-out f.bin --nack-blocks 0x0400,0x800:3,#5 "
            "--pace-baud 115200 --lowercase --cr --log w.log --link /tmp/x --silent-after 4 "
            "--garbage --long --wrong-echo --drop-acks=2 --delay-ms 30 --close-after 9 --garble "
            "83:3 --garble 82:1+");
        const SimOptions& o = line.options;
        QCOMPARE(o.rows, 0);
        QCOMPARE(*o.seed, 16u);
        QCOMPARE(o.statePath, QStringLiteral("s.json"));
        QVERIFY(!o.waterSensor);
        QCOMPARE(int(o.hardwareId), 9);
        QCOMPARE(int(o.firmwareVariant), 1);
        QVERIFY(o.boot);
        QCOMPARE(int(o.pageSize), 256);
        QCOMPARE(o.flashSize, 65536u);
        QCOMPARE(o.flashOutPath, QStringLiteral("f.bin"));
        QCOMPARE(int(o.nackBlocks.size()), 3);
        QCOMPARE(o.nackBlocks[0].address, 0x400);
        QCOMPARE(o.nackBlocks[0].tries, 0);
        QCOMPARE(o.nackBlocks[1].address, 0x800);
        QCOMPARE(o.nackBlocks[1].tries, 3);
        QCOMPARE(o.nackBlocks[2].address, -1);
        QCOMPARE(o.nackBlocks[2].blockLine, 5);
        QCOMPARE(o.paceBaud, 115200);
        QVERIFY(o.lowercase && o.cr && o.garbage && o.longReply && o.wrongEcho);
        QCOMPARE(o.logPath, QStringLiteral("w.log"));
        QCOMPARE(line.linkPath, QStringLiteral("/tmp/x"));
        QCOMPARE(o.silentAfter, 4);
        QCOMPARE(o.dropAcks, 2);
        QCOMPARE(o.delayMs, 30);
        QCOMPARE(o.closeAfter, 9);
        QCOMPARE(int(o.garble.size()), 2);
        QVERIFY(o.garble[0].code == 0x83 && o.garble[0].reply == 3 && !o.garble[0].onward);
        QVERIFY(o.garble[1].code == 0x82 && o.garble[1].reply == 1 && o.garble[1].onward);
        QCOMPARE(Parse("--drop-acks").options.dropAcks, 1);
        QVERIFY(Parse("--help").help);
        QVERIFY(!Parse("").options.seed.has_value());
    }

    void CommandLineRefusesNonsense_data() {
        QTest::addColumn<QString>("arguments");
        QTest::newRow("unknown") << "--frobnicate";
        QTest::newRow("missing value") << "--rows";
        QTest::newRow("too many rows") << "--rows 129";
        QTest::newRow("not a number") << "--delay-ms soon";
        QTest::newRow("page size") << "--page-size 100";
        QTest::newRow("identity") << "--identify 7";
        QTest::newRow("value on a switch") << "--boot=yes";
        QTest::newRow("short and long") << "--short --long";
        QTest::newRow("nack entry") << "--nack-blocks 0x10:2:3";
        QTest::newRow("nack address") << "--nack-blocks 0x10000";
        QTest::newRow("garble an acknowledgement") << "--garble 03:1";
        QTest::newRow("garble reply zero") << "--garble 83:0";
        QTest::newRow("garble without reply") << "--garble 83";
    }
    void CommandLineRefusesNonsense() {
        QFETCH(QString, arguments);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, Parse(arguments));
    }
};

QTEST_GUILESS_MAIN(SimWireTest)
#include "wire_test.moc"
