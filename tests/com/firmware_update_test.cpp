// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware updates through the link against the simulated controller's bootloader.

#include "com/link_thread.h"
#include "lang/translate.h"
#include "sim/sim_controller.h"
#include "support/firmware_file.h"
#include "support/recording_host.h"
#include "support/wait.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace zel;
using zel::test::RecordingHost;
using zel::test::WaitUntil;

namespace {

uint8_t ImageByte(int64_t address) {
    return uint8_t((address * 13 + 5) & 0xFF);
}

QString WriteFirmware(const QTemporaryDir& dir, int64_t first, int64_t last) {
    const QString path = dir.filePath(QStringLiteral("ZELPHORIN2x0.chx"));
    QFile out(path);
    out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    out.write(test::FirmwareFile(first, test::FirmwareImageBytes(first, last, ImageByte)));
    return path;
}

QStringList BlockAddresses(const SimController& sim) {
    QStringList addresses;
    for (const QString& line : WithoutTimes(sim.WireLines()))
        if (line.startsWith(QLatin1String("IN 02")))
            addresses << line.mid(7, 2) + line.mid(5, 2); // little-endian address
    return addresses;
}

} // namespace

class FirmwareUpdateTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    struct Run {
        std::unique_ptr<SimController> sim;
        std::unique_ptr<RecordingHost> host;
        std::unique_ptr<TthdCom> link;
    };

    static SimOptions Bootloader(uint16_t pageSize, uint32_t flashSize = 32768) {
        SimOptions options;
        options.rows = 2;
        options.seed = 1;
        options.boot = true;
        options.pageSize = pageSize;
        options.flashSize = flashSize;
        return options;
    }

    // A bootloader as given; the host answers the file choice once.
    Run StartUpdate(const SimOptions& options, const QString& firmware) {
        Run run;
        run.sim = std::make_unique<SimController>(options);
        run.host = std::make_unique<RecordingHost>();
        run.host->chooseFirmware = [firmware, asked = false]() mutable {
            const bool first = !asked;
            asked = true;
            return first ? firmware : QString();
        };
        // An unacknowledged block costs a whole read time-out: keep it short here.
        run.link = std::make_unique<TthdCom>(*run.host, run.host->gate, run.sim->Start(), false,
                                             [] { return CreateSerialPortLine(300); });
        return run;
    }

    static bool Ended(const RecordingHost& host) {
        return host.status.contains(Translate("FirmwareUpdateSuccessful")) ||
               host.status.contains(Translate("FirmwareUpdateFailed"));
    }

private slots:
    void initTestCase() { SelectLanguage(LanguageEnglish); }

    void SmallPagesSendEveryBlockWithProgress() {
        Run run = StartUpdate(Bootloader(64), WriteFirmware(dir, 0, 4095));
        QVERIFY(WaitUntil([&] { return !run.host->firmwareUpdates.isEmpty(); }, 20000));
        QCOMPARE(run.host->firmwareUpdates, QList<bool>{true});
        QVERIFY(run.host->status.contains(Translate("FirmwareUpdateSuccessful")));
        QVERIFY(run.host->log.contains(TranslateFormat("FlashSize", {"4095 / 31744"})));
        QVERIFY(run.host->status.contains(TranslateFormat("StartingFirmwareUpdate", {"4096"})));
        const QStringList blocks = BlockAddresses(*run.sim);
        QCOMPARE(blocks.size(), 64);
        QCOMPARE(blocks.first(), QStringLiteral("0000"));
        QCOMPARE(blocks.last(), QStringLiteral("0FC0"));
        QVERIFY(run.host->log.contains(QStringLiteral("0x0000 (0 %)")));
        QVERIFY(run.host->log.contains(QStringLiteral("0x0FC0 (98 %)")));
        QCOMPARE(run.host->backups, QStringList({run.sim->SlavePath()}));
        // The controller restarts into its new firmware and the link becomes ready.
        QVERIFY(WaitUntil([&] { return run.host->Connected(); }));
        const SimState state = run.sim->State();
        for (int address = 0; address < 4096; ++address)
            QCOMPARE(state.flash[size_t(address)], ImageByte(address));
        QVERIFY(state.violations.isEmpty());
    }

    void LargePagesRoundTheEndUp() {
        Run run = StartUpdate(Bootloader(256), WriteFirmware(dir, 0, 4095));
        QVERIFY(WaitUntil([&] { return Ended(*run.host); }, 20000));
        QCOMPARE(BlockAddresses(*run.sim).size(), 64);
    }

    void AStartInsideAPageIsSentFromThePageStart() {
        Run run = StartUpdate(Bootloader(128), WriteFirmware(dir, 0x50, 0x2FF));
        QVERIFY(WaitUntil([&] { return Ended(*run.host); }, 20000));
        const QStringList blocks = BlockAddresses(*run.sim);
        QCOMPARE(blocks.first(), QStringLiteral("0000"));
        QCOMPARE(blocks.last(), QStringLiteral("02C0"));
        const SimState state = run.sim->State();
        for (int address = 0; address < 0x50; ++address)
            QCOMPARE(state.flash[size_t(address)], uint8_t(0));
        for (int address = 0x50; address <= 0x2FF; ++address)
            QCOMPARE(state.flash[size_t(address)], ImageByte(address));
    }

    void ALastAddressOnAPageBoundaryIsSentAndTheReserveIsNot() {
        Run run = StartUpdate(Bootloader(128), WriteFirmware(dir, 0, 0x1000));
        QVERIFY(WaitUntil([&] { return Ended(*run.host); }, 20000));
        QCOMPARE(BlockAddresses(*run.sim).last(), QStringLiteral("1040")); // the whole page
        QCOMPARE(run.sim->State().flash[0x1000], ImageByte(0x1000));

        // 31744 is the first reserved address: a file reaching it is one byte too big.
        Run tooBig = StartUpdate(Bootloader(128), WriteFirmware(dir, 0, 31744));
        QVERIFY(WaitUntil(
            [&] {
                return tooBig.host->status.contains(TranslateFormat("FirmwareTooLarge", {"1"}));
            },
            20000));
        QVERIFY(WaitUntil([&] { return tooBig.host->log.contains(Translate("Resetting")); }));
        QVERIFY(BlockAddresses(*tooBig.sim).isEmpty());
    }

    void UnacknowledgedBlocksFailTheUpdate() {
        NackRule rule;
        rule.address = 0x0040;
        SimOptions options = Bootloader(128);
        options.nackBlocks = {rule};
        Run run = StartUpdate(options, WriteFirmware(dir, 0, 255));
        QVERIFY(WaitUntil([&] { return !run.host->firmwareUpdates.isEmpty(); }, 30000));
        QCOMPARE(run.host->firmwareUpdates, QList<bool>{false});
        QVERIFY(run.host->status.contains(Translate("FirmwareUpdateFailed")));
        QCOMPARE(run.host->log.count(Translate("TransferError")), 1);
        const QStringList blocks = BlockAddresses(*run.sim);
        QCOMPARE(blocks.count(QStringLiteral("0040")), 10); // ten tries, then the next block
        QCOMPARE(blocks.mid(blocks.indexOf("0040") + 10), QStringList({"0080", "00C0"}));
    }

    // The bootloader's figures are untrusted: nonsense ends the update before any block, says
    // which figure, and is not retried on every poll.
    void ImpossibleBootloaderFiguresEndTheUpdate_data() {
        QTest::addColumn<int>("pageSize");
        QTest::addColumn<int>("flashSize");
        QTest::addColumn<QString>("named");
        QTest::newRow("page not a power of two") << 0x8001 << 32768 << "page size of 32769 bytes";
        QTest::newRow("no page size") << 0 << 32768 << "page size of 0 bytes";
        QTest::newRow("page larger than the flash") << 8192 << 4096 << "page size of 8192 bytes";
        QTest::newRow("only the reserve") << 128 << 1024 << "flash size of 1024 bytes";
        QTest::newRow("no flash") << 128 << 0 << "flash size of 0 bytes";
    }
    void ImpossibleBootloaderFiguresEndTheUpdate() {
        QFETCH(int, pageSize);
        QFETCH(int, flashSize);
        QFETCH(QString, named);
        Run run = StartUpdate(Bootloader(uint16_t(pageSize), uint32_t(flashSize)),
                              WriteFirmware(dir, 0, 4095));
        QVERIFY(WaitUntil([&] { return Ended(*run.host); }, 20000));
        QCOMPARE(run.host->status.filter(Translate("FirmwareUpdateFailed")).size(), 1);
        QCOMPARE(run.host->log.filter(named).size(), 1);
        // Two more identifications later the update has not been tried again.
        auto identifications = [&] {
            return WithoutTimes(run.sim->WireLines()).filter(QRegularExpression("^IN 80$")).size();
        };
        const qsizetype before = identifications();
        QVERIFY(WaitUntil([&] { return identifications() >= before + 2; }));
        QCOMPARE(run.host->status.filter(Translate("FirmwareUpdateFailed")).size(), 1);
        QVERIFY(BlockAddresses(*run.sim).isEmpty());
        QVERIFY(run.host->backups.isEmpty());
    }

    // 32800 − 1024 leaves 31776 usable bytes: whole blocks reach only 31744.
    void AnImageReachingAPartialLastBlockIsRefused() {
        Run tooBig = StartUpdate(Bootloader(128, 32800), WriteFirmware(dir, 0x7000, 31750));
        QVERIFY(WaitUntil(
            [&] {
                return tooBig.host->status.contains(TranslateFormat("FirmwareTooLarge", {"7"}));
            },
            20000));
        QVERIFY(WaitUntil([&] { return tooBig.host->log.contains(Translate("Resetting")); }));
        QVERIFY(BlockAddresses(*tooBig.sim).isEmpty());

        Run fits = StartUpdate(Bootloader(128, 32800), WriteFirmware(dir, 0x7000, 31743));
        QVERIFY(WaitUntil([&] { return Ended(*fits.host); }, 20000));
        QVERIFY(fits.host->status.contains(Translate("FirmwareUpdateSuccessful")));
        QCOMPARE(BlockAddresses(*fits.sim).last(), QStringLiteral("7BC0"));
        QCOMPARE(fits.sim->State().flash[31743], ImageByte(31743));
    }

    // An unplugged controller is not retried ten times per block for every remaining block.
    void AVanishedPortEndsTheTransferAtOnce() {
        SimOptions options = Bootloader(128);
        options.closeAfter = 10; // identification, boot information and eight blocks
        Run run = StartUpdate(options, WriteFirmware(dir, 0, 4095));
        QVERIFY(WaitUntil([&] { return Ended(*run.host); }, 5000));
        QVERIFY(run.host->status.contains(Translate("FirmwareUpdateFailed")));
        QCOMPARE(run.host->log.count(Translate("TransferError")), 1);
        QCOMPARE(run.host->log.filter(QStringLiteral("The port closed at block 0x0200")).size(), 1);
        QVERIFY(!run.host->log.contains(Translate("Resetting")));
        QCOMPARE(BlockAddresses(*run.sim).size(), 8);
    }

    void ACancelledChoiceRestartsTheBootloader() {
        Run run = StartUpdate(Bootloader(128), QString());
        QVERIFY(WaitUntil([&] { return run.host->log.contains(Translate("Resetting")); }, 20000));
        QVERIFY(WaitUntil([&] {
            for (const QString& line : WithoutTimes(run.sim->WireLines()))
                if (line.startsWith(QLatin1String("IN 01")))
                    return true;
            return false;
        }));
        QVERIFY(BlockAddresses(*run.sim).isEmpty());
        QVERIFY(run.host->backups.isEmpty());
    }

    void AnApplicationIsSwitchedToItsBootloaderFirst() {
        SimOptions options;
        options.rows = 2;
        options.seed = 1;
        SimController sim(options);
        RecordingHost host;
        const QString firmware = WriteFirmware(dir, 0, 1023);
        host.chooseFirmware = [&] { return firmware; };
        TthdCom link(host, host.gate, sim.Start(), false);
        QVERIFY(WaitUntil([&] { return host.refreshes.value("Weather") > 0; }));
        host.state.Raise(rqFirmware);
        QVERIFY(WaitUntil([&] {
            return host.status.contains(
                TranslateFormat("ConnectedToBootloaderOn", {"ZELPHORIN", sim.SlavePath()}));
        }));
        QVERIFY(WaitUntil([&] { return Ended(host); }, 20000));
        QVERIFY(host.status.contains(Translate("FirmwareUpdateSuccessful")));
        QVERIFY(WithoutTimes(sim.WireLines()).contains(QStringLiteral("IN 7F00")));
    }
};

QTEST_GUILESS_MAIN(FirmwareUpdateTest)
#include "firmware_update_test.moc"
