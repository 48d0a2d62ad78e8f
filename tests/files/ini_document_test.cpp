// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/file_helpers.h"
#include "files/ini_document.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zel;

class IniDocumentTest : public QObject {
    Q_OBJECT

private slots:
    void NamesMatchWithoutRegardToCase() {
        const IniDocument document(QByteArray("[config]\r\n  MODE = 1  \r\n"));
        QCOMPARE(document.Value(u"Config", u"Mode"), QString("1"));
        QCOMPARE(document.Value(u"CONFIG", u"mode"), QString("1"));
        QVERIFY(!document.Value(u"Config", u"Flag"));
        QVERIFY(!document.Value(u"Weather", u"Mode"));
    }

    void FirstOfDuplicateSectionsAndKeysIsReadAndSet() {
        IniDocument document(QByteArray("[A]\nx=1\nx=2\n[B]\ny=5\n[a]\nx=3\nz=4\n"));
        QCOMPARE(document.Value(u"A", u"x"), QString("1"));
        QVERIFY(!document.Value(u"A", u"z")); // only in the second "A"
        document.SetValue(u"a", u"X", "9");
        document.SetValue(u"A", u"z", "8");
        QCOMPARE(document.ToBytes(), Crlf("[A]\nx=9\nx=2\nz=8\n\n[B]\ny=5\n\n[a]\nx=3\nz=4\n\n"));
    }

    void SetKeepsEverythingItWasNotToldToChange() {
        IniDocument document(QByteArray("; written by hand\n"
                                        "[Config]\n"
                                        "; a comment\n"
                                        "Mode = 2\n"
                                        "no equals sign here\n"
                                        "\n\n"
                                        "[Unknown]\n"
                                        "Other=x y z\n"));
        document.SetValue(u"config", u"mode", "1");
        document.SetValue(u"Config", u"Flag", "4");
        document.SetValue(u"Names", u"ColorName0", "11");
        document.SetValue(u"Names", u"ColorName1", "2");
        document.SetValue(u"Names", u"ColorName0", "12");
        QCOMPARE(document.Value(u"Config", u"Flag"), QString("4"));
        QCOMPARE(document.Value(u"Names", u"ColorName0"), QString("12"));
        QCOMPARE(document.ToBytes(), Crlf("; written by hand\n"
                                          "[Config]\n"
                                          "; a comment\n"
                                          "Mode=1\n"
                                          "no equals sign here\n"
                                          "Flag=4\n"
                                          "\n"
                                          "[Unknown]\n"
                                          "Other=x y z\n"
                                          "\n"
                                          "[Names]\n"
                                          "ColorName0=12\n"
                                          "ColorName1=2\n"
                                          "\n"));
    }

    void WrittenTextReadsBackToTheSameText() {
        IniDocument first(QByteArray("[S]\r\na=1\r\r\n\n\n[T]\rb=2\nc\n"));
        first.SetValue(u"U", u"k", "v");
        const QByteArray written = first.ToBytes();
        QCOMPARE(IniDocument(written).ToBytes(), written);
    }

    void BytesAbove127NeitherBreakTheParseNorChange() {
        // Latin-1 from an ANSI code page, UTF-8, and a section name that is not ASCII.
        const QByteArray text = "[Config]\r\n"
                                "; K\xE4lte \xC3\xBC\x80\xFF\r\n"
                                "Name\xE9=\xC3\xA4\r\n"
                                "Mode=3\r\n"
                                "\r\n"
                                "[Gr\xFC\xDF"
                                "e]\r\n"
                                "a=1\r\n"
                                "\r\n";
        IniDocument document(text);
        QCOMPARE(document.Value(u"Config", u"Mode"), QString("3"));
        QCOMPARE(document.Value(u"Gr\u00FC\u00DF"
                                "e",
                                u"a"),
                 QString("1"));
        QCOMPARE(document.ToBytes(), text);
        document.SetValue(u"Config", u"Mode", "4");
        QVERIFY(
            document.ToBytes().contains("; K\xE4lte \xC3\xBC\x80\xFF\r\nName\xE9=\xC3\xA4\r\n"));
    }

    void IntegerFormats_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<quint64>("value");
        QTest::newRow("decimal") << "300" << true << quint64(300);
        QTest::newRow("negative") << "-5" << true << quint64(-5);
        QTest::newRow("plus") << "+7" << true << quint64(7);
        QTest::newRow("0x") << "0x0B" << true << quint64(11);
        QTest::newRow("0X") << "0XfF" << true << quint64(255);
        QTest::newRow("dollar") << "$1f" << true << quint64(31);
        QTest::newRow("huge keeps low bits")
            << "99999999999999999999999" << true << quint64(200376420520689663ULL);
        QTest::newRow("empty") << "" << false << quint64(0);
        QTest::newRow("0x alone") << "0x" << false << quint64(0);
        QTest::newRow("dollar alone") << "$" << false << quint64(0);
        QTest::newRow("sign alone") << "-" << false << quint64(0);
        QTest::newRow("hex in decimal") << "1F" << false << quint64(0);
        QTest::newRow("bad hex digit") << "0x1G" << false << quint64(0);
        QTest::newRow("signed hex") << "-0x10" << false << quint64(0);
        QTest::newRow("real") << "1.5" << false << quint64(0);
        QTest::newRow("trailing text") << "12abc" << false << quint64(0);
        QTest::newRow("double sign") << "--1" << false << quint64(0);
        QTest::newRow("inner blank") << "1 2" << false << quint64(0);
        QTest::newRow("non-ASCII digit") << QString::fromUtf8("\xD9\xA3") << false << quint64(0);
    }

    void IntegerFormats() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(quint64, value);
        const std::optional<uint64_t> parsed = ParseIniInteger(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(quint64(*parsed), value);
    }

    void IntegerOfMissingOrBlankValueIsEmpty() {
        const IniDocument document(QByteArray("[S]\nblank=\nspaced= 0x10 \n"));
        QVERIFY(!document.Integer(u"S", u"blank"));
        QVERIFY(!document.Integer(u"S", u"missing"));
        QCOMPARE(document.Integer(u"S", u"spaced"), std::optional<uint64_t>(16));
    }

    void BinaryGarbageParsesAndSurvivesAWrite() {
        const QByteArray garbage = RandomBytes(1 << 19, 7);
        IniDocument document(garbage + "\n[Config]\nMode=3\n");
        QCOMPARE(document.Integer(u"Config", u"Mode"), std::optional<uint64_t>(3));
        document.SetValue(u"Config", u"Mode", "4");
        const QByteArray written = document.ToBytes();
        const IniDocument reread(written);
        QCOMPARE(reread.Integer(u"Config", u"Mode"), std::optional<uint64_t>(4));
        QCOMPARE(reread.ToBytes(), written);
    }

    void LargestFileLoadsAndSaves() {
        // Many short sections and keys make the most lines per byte; binary garbage and one
        // very long line fill the rest, up to the last byte allowed.
        QByteArray text;
        text.reserve(MaxIniFileSize);
        for (int i = 0; text.size() < (400 << 10); ++i)
            text += "[" + QByteArray::number(i % 5000) + "]\nKey" + QByteArray::number(i) + "=" +
                    QByteArray::number(i) + "\nk=1\nk=2\n";
        text += RandomBytes(300 << 10, 3);
        const QByteArray tail = "\n[Config]\nMode=2\n";
        text += "\n" + QByteArray(MaxIniFileSize - text.size() - 1 - tail.size(), 'x') + tail;
        QCOMPARE(text.size(), MaxIniFileSize);
        QTemporaryDir dir;
        const QString path = dir.filePath("big.ini");
        WriteFile(path, text);

        IniDocument document = IniDocument::FromFile(path);
        QCOMPARE(document.Integer(u"Config", u"Mode"), std::optional<uint64_t>(2));
        QCOMPARE(document.Integer(u"4999", u"Key4999"), std::optional<uint64_t>(4999));
        QCOMPARE(document.Integer(u"7", u"k"), std::optional<uint64_t>(1));
        document.SetValue(u"Config", u"Mode", "1");
        document.Save(path);
        // Written with CR LF endings, the file has outgrown what is read back.
        QVERIFY(ReadAll(path).endsWith("\r\n[Config]\r\nMode=1\r\n\r\n"));
    }

    void FilesThatCannotBeReadAreRefused() {
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(FileError, IniDocument::FromFile(dir.filePath("missing.ini")));
        QVERIFY_THROWS_EXCEPTION(FileError, IniDocument::FromFile(dir.path()));
        QVERIFY_THROWS_EXCEPTION(FileError, IniDocument::FromFile("/dev/zero"));
        // A settings file is tens of kilobytes: a mebibyte is plenty, and memory stays bounded.
        QFile oversized(dir.filePath("oversized.ini"));
        QVERIFY(oversized.open(QIODevice::WriteOnly));
        QVERIFY(oversized.resize((1 << 20) + 1));
        oversized.close();
        try {
            IniDocument::FromFile(oversized.fileName());
            QFAIL("a file above 1 MiB was read");
        } catch (const FileError& error) {
            QVERIFY2(error.Message().endsWith("File too large"), qPrintable(error.Message()));
        }
    }

    void ByteOrderMarkAndLoneCarriageReturnsAreUnderstood() {
        const IniDocument marked("\xEF\xBB\xBF[Config]\r\nMode=2\r\n");
        QCOMPARE(marked.Integer(u"Config", u"Mode"), std::optional<uint64_t>(2));
        QCOMPARE(marked.ToBytes(), Crlf("[Config]\nMode=2\n\n"));
        const IniDocument classic("[Config]\rMode=1\r\r[Weather]\rCloudP=7\r\nCloudD=8");
        QCOMPARE(classic.Integer(u"Config", u"Mode"), std::optional<uint64_t>(1));
        QCOMPARE(classic.Integer(u"Weather", u"CloudP"), std::optional<uint64_t>(7));
        QCOMPARE(classic.Integer(u"Weather", u"CloudD"), std::optional<uint64_t>(8));
    }

    void SaveWritesTheWholeFileOrReportsTheError() {
        QTemporaryDir dir;
        IniDocument document;
        document.SetValue(u"S", u"k", "1");
        const QString path = dir.filePath("new.ini");
        document.Save(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), Crlf("[S]\nk=1\n\n"));
        QVERIFY_THROWS_EXCEPTION(FileError, document.Save(dir.filePath("no/such/dir/x.ini")));
    }
};

QTEST_GUILESS_MAIN(IniDocumentTest)
#include "ini_document_test.moc"
