// SPDX-License-Identifier: GPL-3.0-or-later
#include "com/firmware_file.h"
#include "lang/translate.h"
#include "support/firmware_file.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace zel;

namespace {

using zel::test::AppendInt32;

QByteArray Int32(int64_t value) {
    QByteArray bytes;
    AppendInt32(bytes, value);
    return bytes;
}

// A file of the given range whose image byte at address a is (a * 7) & 0xFF.
QByteArray FirmwareBytes(int64_t first, int64_t last, int checksumOffset = 0) {
    return zel::test::FirmwareFile(
        first, zel::test::FirmwareImageBytes(first, last, [](int64_t a) { return (a * 7) & 0xFF; }),
        checksumOffset);
}

} // namespace

class FirmwareFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QStringList log;
    QStringList status;
    FirmwareImage image{};
    int64_t first = 0;
    int64_t last = 0;

    bool Parse(const QByteArray& content) {
        const QString path = dir.filePath(QStringLiteral("ZELPHORIN2x0.chx"));
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(content);
        file.close();
        return ParseFirmwareFile(path, image, 0xFFFF, first, last,
                                 {[this](const QString& t) { log << t; },
                                  [this](const QString& t) { status << t; }, false});
    }

private slots:
    void initTestCase() { SelectLanguage(LanguageEnglish); }
    void init() {
        log.clear();
        status.clear();
        image.fill(0);
    }

    void AValidFileFillsItsAddresses() {
        QVERIFY(Parse(FirmwareBytes(0x50, 4095)));
        QCOMPARE(first, int64_t(0x50));
        QCOMPARE(last, int64_t(4095));
        QCOMPARE(image[0x4F], uint8_t(0));
        QCOMPARE(image[0x50], uint8_t((0x50 * 7) & 0xFF));
        QCOMPARE(image[4095], uint8_t((4095 * 7) & 0xFF));
        QCOMPARE(image[4096], uint8_t(0));
        QVERIFY(status.isEmpty());
        QCOMPARE(log.size(), 1); // the description line
        QVERIFY(log[0].contains(QLatin1String("ZELPHORIN2x0.chx")));
    }

    void ChecksumOffByOneShowsBothSums() {
        QVERIFY(!Parse(FirmwareBytes(0, 15, 1)));
        QCOMPARE(status.size(), 1);
        QVERIFY(status[0].startsWith(QLatin1String("Checksum error in file (")));
        QVERIFY(status[0].contains(QLatin1String(" != ")));
    }

    void FirstEqualToLastHasNoData() {
        QVERIFY(!Parse(FirmwareBytes(100, 100)));
        QCOMPARE(status, QStringList({QStringLiteral("Error: File does not contain data!")}));
    }

    // The largest image, 0..0xFFFF, makes a file of 65,548 bytes with its header and checksum.
    void OnlyAFileLongerThanTheLargestImageIsRefusedForItsSize() {
        const QByteArray largest = FirmwareBytes(0, 0xFFFF);
        QCOMPARE(largest.size(), qsizetype(65548));
        QVERIFY2(Parse(largest), qPrintable(log.join(QLatin1Char('\n'))));
        log.clear();
        QVERIFY(!Parse(largest + '\x01'));
        QCOMPARE(status, QStringList({QStringLiteral("Error while parsing!")}));
        QCOMPARE(log.size(), 2); // the description and the reason
        QVERIFY2(log[1].contains(QLatin1String("65549 bytes is larger than any firmware file (at "
                                               "most 65548 bytes)")),
                 qPrintable(log[1]));
    }

    // Neither blocks the reader nor reads forever: a FIFO without a writer, a directory, and
    // a device that never ends.
    void OnlyRegularFilesAreRead_data() {
        QTest::addColumn<QString>("path");
        const QString fifo = dir.filePath(QStringLiteral("firmware.fifo"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QTest::newRow("fifo") << fifo;
        QTest::newRow("directory") << dir.path();
        QTest::newRow("device") << QStringLiteral("/dev/zero");
    }
    void OnlyRegularFilesAreRead() {
        QFETCH(QString, path);
        QVERIFY(!ParseFirmwareFile(path, image, 0xFFFF, first, last,
                                   {[this](const QString& t) { log << t; },
                                    [this](const QString& t) { status << t; }, false}));
        QCOMPARE(status, QStringList({QStringLiteral("Error while parsing!")}));
        QVERIFY(!log.filter(QStringLiteral("not a regular file")).isEmpty());
    }

    void HeadersOutsideTheImageAreNeverRead() {
        for (const auto& range : {std::pair<int64_t, int64_t>{0xFFF0, 0x10010},
                                  {-16, 100},
                                  {200, 100},
                                  {0x7FFFFFFF, 0x7FFFFFFF}}) {
            status.clear();
            QByteArray file = Int32(range.first) + Int32(range.second) + QByteArray(64, '\x55');
            QVERIFY(!Parse(file));
            QCOMPARE(status, QStringList({QStringLiteral("Error while parsing!")}));
        }
        for (uint8_t byte : image)
            QCOMPARE(byte, uint8_t(0));
    }

    void ATruncatedFileFailsItsChecksum() {
        QByteArray file = FirmwareBytes(0, 1023);
        QVERIFY(!Parse(file.left(600)));
        QCOMPARE(status.size(), 1);
        QVERIFY(status[0].startsWith(QLatin1String("Checksum error")));
        // Even when the bytes that are there, padded with zeros, would match: the checksum
        // 1 + 2 + 3 = 6 is cut after its low two bytes.
        QVERIFY(!Parse(Int32(0) + Int32(1) + QByteArray("\x02\x03\x06\x00", 4)));
        QVERIFY(status.last().startsWith(QLatin1String("Checksum error")));
    }

    void EmptyAndUnreadableFiles() {
        QVERIFY(!Parse(QByteArray()));
        QCOMPARE(status.last(), QStringLiteral("Error while parsing!"));
        status.clear();
        QVERIFY(!ParseFirmwareFile(dir.filePath(QStringLiteral("missing.chx")), image, 0xFFFF,
                                   first, last,
                                   {[this](const QString& t) { log << t; },
                                    [this](const QString& t) { status << t; }, false}));
        QCOMPARE(status, QStringList({QStringLiteral("Error while parsing!")}));
    }
};

QTEST_GUILESS_MAIN(FirmwareFileTest)
#include "firmware_file_test.moc"
