// SPDX-License-Identifier: GPL-3.0-or-later
// The link thread end to end against the simulated controller on a real pseudo-terminal.

#include "com/link_thread.h"
#include "lang/translate.h"
#include "sim/sim_controller.h"
#include "support/by_value.h"
#include "support/recording_host.h"
#include "support/wait.h"

#include <QRegularExpression>
#include <QTest>

#include <cstring>

using namespace zel;
using zel::test::RecordingHost;
using zel::test::WaitUntil;

namespace {

// The request lines the controller received, codes only ("81", "01..."), in order.
QStringList Requests(const SimController& sim) {
    QStringList requests;
    for (const QString& line : WithoutTimes(sim.WireLines()))
        if (line.startsWith(QLatin1String("IN ")))
            requests << line.mid(3);
    return requests;
}

QStringList Codes(const QStringList& requests) {
    QStringList codes;
    for (const QString& request : requests)
        codes << request.left(2);
    return codes;
}

SimOptions Options(int rows = 4) {
    SimOptions options;
    options.rows = rows;
    options.seed = 1;
    return options;
}

} // namespace

class LinkThreadTest : public QObject {
    Q_OBJECT

    // Connects a link to the simulator and waits for the first complete download.
    std::unique_ptr<TthdCom> Connect(RecordingHost& host, const QString& port) {
        auto link = std::make_unique<TthdCom>(host, host.gate, port, false);
        const bool downloaded = WaitUntil([&] {
            return host.Connected() && host.refreshes.value(QStringLiteral("Weather")) > 0;
        });
        if (!downloaded)
            qWarning() << host.log;
        return downloaded ? std::move(link) : nullptr;
    }

private slots:
    void initTestCase() { SelectLanguage(LanguageEnglish); }

    void IdentificationIsFollowedByTheFullDownloadInOrder() {
        SimController sim(Options(4));
        RecordingHost host;
        auto link = Connect(host, sim.Start());
        QVERIFY(link);
        const QStringList codes = Codes(Requests(sim)).mid(0, 10);
        QCOMPARE(codes, QStringList({"80", "82", "81", "85", "83", "83", "83", "83", "87", "86"}));
        QCOMPARE(host.status.first(), TranslateFormat("ConnectingTo", {sim.SlavePath()}));
        QVERIFY(host.status.contains(
            TranslateFormat("ConnectedToOn", {"ZELPHORIN 2.x.0", sim.SlavePath()})));
        QCOMPARE(host.state.Schedule.size(), size_t(4));
        QCOMPARE(host.state.Schedule[1].Hour, sim.State().schedule[1].Hour);
        QCOMPARE(host.refreshes.value("Schedule"), 1);
        QVERIFY(host.status.contains(QStringLiteral("Done.")));
        QVERIFY(!host.state.ScheduleDownloadPending());
    }

    void AnIdleReadyLinkPollsConfigThenInfo() {
        SimController sim(Options(2));
        RecordingHost host;
        auto link = Connect(host, sim.Start());
        QVERIFY(link);
        const int before = Requests(sim).size();
        QVERIFY(WaitUntil([&] { return Requests(sim).size() >= before + 6; }));
        const QStringList idle = Codes(Requests(sim).mid(before, 6));
        QCOMPARE(idle, QStringList({"82", "81", "82", "81", "82", "81"}));
    }

    // An idle link sleeps until its next periodic read; a flag raised meanwhile is served first.
    void ARaisedFlagWakesTheSleepingLink() {
        SimController sim(Options(2));
        RecordingHost host;
        auto link = Connect(host, sim.Start());
        QVERIFY(link);
        const int polls = host.refreshes.value(QStringLiteral("Status"));
        QVERIFY(WaitUntil([&] { return host.refreshes.value(QStringLiteral("Status")) > polls; }));
        const int before = Requests(sim).size();
        host.state.Raise(rqGetHealth);
        QVERIFY(WaitUntil([&] { return Codes(Requests(sim).mid(before)).contains("88"); }));
        QCOMPARE(Codes(Requests(sim).mid(before)).first(), QStringLiteral("88"));
    }

    void AWriteGoesOutBeforeTheReadOfItsBlock() {
        SimController sim(Options(2));
        RecordingHost host;
        auto link = Connect(host, sim.Start());
        QVERIFY(link);
        const int before = Requests(sim).size();
        host.state.Config.TimeLapse = 7;
        host.state.Raise(rqGetConfig | rqSetConfig);
        QVERIFY(WaitUntil([&] { return Codes(Requests(sim).mid(before)).contains("82"); }));
        const QStringList codes = Codes(Requests(sim).mid(before));
        QVERIFY(codes.indexOf("02") >= 0);
        QVERIFY(codes.indexOf("02") < codes.indexOf("82"));
        QVERIFY(WaitUntil([&] { return sim.State().config.TimeLapse == 7; }));
        QCOMPARE(host.writes.first(), std::make_pair(uint32_t(rqSetConfig), true));
    }

    void TwoSetInfoRequestsGiveTwoMarkedLinesTimeFirst() {
        SimController sim(Options(2));
        RecordingHost host;
        auto link = Connect(host, sim.Start());
        QVERIFY(link);
        const int before = Requests(sim).size();
        host.state.Info.Channel[0] = 0x0400;
        host.state.Info.Minute = 0x21;
        host.state.Raise(rqSetChannels | rqSetTime);
        QVERIFY(WaitUntil([&] { return Codes(Requests(sim).mid(before)).count("01") == 2; }));
        QStringList lines;
        for (const QString& request : Requests(sim).mid(before))
            if (request.startsWith(QLatin1String("01")))
                lines << request.mid(2);
        // Minute is byte 7, the channels bytes 17 to 24, the marked row byte 4.
        QCOMPARE(lines[0].mid(2 * 7, 2), QStringLiteral("21"));
        QCOMPARE(lines[0].mid(2 * 17, 16), QStringLiteral("FFFFFFFFFFFFFFFF"));
        QCOMPARE(lines[0].mid(2 * 4, 2), QStringLiteral("FF"));
        QCOMPARE(lines[1].mid(2 * 7, 2), QStringLiteral("FF"));
        QCOMPARE(lines[1].mid(2 * 17, 4), QStringLiteral("0004"));
        QCOMPARE(lines[1].mid(2 * 4, 2), QStringLiteral("FF"));
        QCOMPARE(host.state.Info.Minute, uint8_t(0x21)); // markers never reach the record
    }

    void AFailedWriteIsNotRetriedButReidentifies() {
        SimOptions options = Options(2);
        options.dropAcks = 1;
        SimController sim(options);
        RecordingHost host;
        auto link = Connect(host, sim.Start());
        QVERIFY(link);
        const int before = Requests(sim).size();
        host.state.Raise(rqSaveEEPROM);
        QVERIFY(WaitUntil([&] { return !host.writes.isEmpty(); }, 15000));
        QCOMPARE(host.writes.first(), std::make_pair(uint32_t(rqSaveEEPROM), false));
        QVERIFY(WaitUntil([&] { return Codes(Requests(sim).mid(before)).count("81") >= 2; }));
        const QStringList codes = Codes(Requests(sim).mid(before));
        QCOMPARE(codes.count("7F"), 1);
        QCOMPARE(codes[codes.indexOf("7F") + 1], QStringLiteral("80"));
        // The same controller answered again: silently, and the link stays connected.
        QCOMPARE(host.connected, QList<bool>({true}));
    }

    // A user on the wrong port needs the exchange of the very first identification.
    void DebugLinesStartWithTheFirstIdentification() {
        SimController sim(Options(2));
        const QString port = sim.Start();
        RecordingHost host;
        TthdCom link(host, host.gate, port, true);
        const QString connected = TranslateFormat("ConnectedToOn", {"ZELPHORIN 2.x.0", port});
        QVERIFY(WaitUntil([&] { return host.status.contains(connected); }));
        const QStringList first = host.log.mid(0, host.log.indexOf(connected));
        QCOMPARE(first.filter(QRegularExpression("^GetDevice$")).size(), 1);
        QCOMPARE(first.filter(QRegularExpression("^OUT: \"80\" \\d+ ms$")).size(), 1);
        QCOMPARE(first.filter(QRegularExpression("^IN: \"800700\\n\" \\d+ ms$")).size(), 1);
    }

    void IdentificationOutcomes_data() {
        QTest::addColumn<int>("hardware");
        QTest::addColumn<int>("variant");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("ends");
        QTest::newRow("other firmware")
            << 7 << 3 << TranslateFormat("DetectedWrongVersionOn", {"ZELPHORIN 2.x.3", "%PORT%"})
            << false;
        QTest::newRow("bootloader")
            << 6 << 0 << TranslateFormat("ConnectedToBootloaderOn", {"ZELPHORIN", "%PORT%"})
            << false;
        QTest::newRow("named product")
            << 9 << 0 << TranslateFormat("OtherHardware", {"MIRVANEL 1.x"}) << true;
        QTest::newRow("numbered product")
            << 12 << 0 << TranslateFormat("OtherHardware", {"12"}) << true;
    }

    void IdentificationOutcomes() {
        QFETCH(int, hardware);
        QFETCH(int, variant);
        QFETCH(QString, expected);
        QFETCH(bool, ends);
        SimOptions options = Options(2);
        options.boot = hardware == 6;
        options.hardwareId = uint8_t(hardware == 6 ? 7 : hardware);
        options.firmwareVariant = uint8_t(variant);
        SimController sim(options);
        const QString port = sim.Start();
        expected.replace(QLatin1String("%PORT%"), port);
        RecordingHost host;
        TthdCom link(host, host.gate, port, false);
        QVERIFY(WaitUntil([&] { return host.status.contains(expected); }));
        if (ends) {
            QVERIFY(WaitUntil([&] { return link.isFinished(); }));
            QCOMPARE(host.status.last(), TranslateFormat("DisconnectedFrom", {port}));
        } else {
            QVERIFY(!link.Finished());
        }
        QVERIFY(!host.connected.contains(true));
        QCOMPARE(host.state.Snapshot(), 0u);
    }

    void AVanishedPortGivesAConnectionErrorAndAReconnection() {
        SimOptions options = Options(2);
        options.closeAfter = 12;
        SimController sim(options);
        const QString port = sim.Start();
        RecordingHost host;
        TthdCom link(host, host.gate, port, false);
        QVERIFY(
            WaitUntil([&] { return host.status.contains(Translate("ConnectionError")); }, 20000));
        QVERIFY(WaitUntil(
            [&] { return host.status.count(TranslateFormat("ConnectingTo", {port})) == 2; }));
        QCOMPARE(host.connected.first(), true);
        QVERIFY(host.connected.contains(false));
    }

    void FiveFailedOpeningsEndTheLink() {
        RecordingHost host;
        const QString port = QStringLiteral("/nonexistent/ttyZEL0");
        TthdCom link(host, host.gate, port + QStringLiteral(" (gone adapter)"), false);
        QVERIFY(WaitUntil([&] { return link.isFinished(); }, 15000));
        QVERIFY(link.Finished());
        QCOMPARE(host.status, QStringList({TranslateFormat("ConnectingTo", {port}),
                                           Translate("TryingAgain"), Translate("TryingAgain"),
                                           Translate("TryingAgain"), Translate("TryingAgain"),
                                           TranslateFormat("ErrorConnectingTo", {port}),
                                           TranslateFormat("DisconnectedFrom", {port})}));
        QCOMPARE(host.log.size(), host.status.size() + 5); // five opening errors
        QCOMPARE(host.connected, QList<bool>({false}));
    }

    void SetPortSwitchesTheSameThread() {
        SimController first(Options(2));
        SimController second(Options(3));
        RecordingHost host;
        auto link = Connect(host, first.Start());
        QVERIFY(link);
        const QString secondPort = second.Start();
        host.refreshes.clear();
        link->SetPort(secondPort + QStringLiteral(" (simulated)"), false);
        QVERIFY(WaitUntil(
            [&] { return host.refreshes.value("Weather") > 0 && host.state.Info.RowCount == 3; }));
        QCOMPARE(link->PortName(), secondPort);
        QVERIFY(host.status.contains(TranslateFormat("ConnectingTo", {secondPort})));
        const int switchAt = host.connected.lastIndexOf(false);
        QVERIFY(switchAt > 0);
        QCOMPARE(host.connected.last(), true);
        QVERIFY(!link->Finished());
    }

    // The third row fails: the two before it are not shown as a schedule, the status says so,
    // and the next poll reads every row again before the grid is filled.
    void APartWayScheduleDownloadIsReportedAndReadAgain() {
        SimOptions options = Options(4);
        options.garble = {{0x83, 3, false}};
        SimController sim(options);
        RecordingHost host;
        auto link = Connect(host, sim.Start());
        QVERIFY(link);
        const QString incomplete =
            QStringLiteral("Schedule read incompletely (2 of 4 rows); reading it again.");
        QVERIFY2(WaitUntil([&] { return host.refreshes.value("Schedule") > 0; }),
                 qPrintable(host.log.join('\n')));
        QCOMPARE(host.status.count(incomplete), 1);
        QCOMPARE(host.refreshes.value("Schedule"), 1);
        QVERIFY(host.state.IsRead(rqGetSchedule));
        QCOMPARE(host.state.RowsRead(), 4);
        for (size_t row = 0; row < 4; ++row)
            QCOMPARE(test::ByValue(host.state.Schedule[row].Timer),
                     test::ByValue(sim.State().schedule[row].Timer));
        QCOMPARE(Codes(Requests(sim)).count("83"), 3 + 4);
    }

    void TerminateDuringAScheduleDownloadStopsAfterTheCurrentRow() {
        SimOptions options = Options(120);
        options.paceBaud = 115200;
        SimController sim(options);
        RecordingHost host;
        TthdCom link(host, host.gate, sim.Start(), false);
        QVERIFY(WaitUntil([&] { return Codes(Requests(sim)).contains("83"); }));
        link.Terminate();
        QVERIFY(WaitUntil([&] { return link.isFinished(); }));
        QCOMPARE(host.refreshes.value("Schedule"), 0);
        QVERIFY(Codes(Requests(sim)).count("83") < 120);
        QCOMPARE(host.status.last(), TranslateFormat("DisconnectedFrom", {sim.SlavePath()}));
        QVERIFY(!host.state.ScheduleDownloadPending());
    }

    void AClosingHostReleasesTheLinkAtOnce() {
        SimController sim(Options(2));
        auto host = std::make_unique<RecordingHost>();
        auto link = std::make_unique<TthdCom>(*host, host->gate, sim.Start(), false);
        QVERIFY(WaitUntil([&] { return host->Connected(); }));
        // The host stops running its event loop: without the gate the next call would hang.
        host->gate.Close();
        QVERIFY(link->wait(8000));
        QVERIFY(link->Finished());
        link.reset();
        host.reset();
    }
};

QTEST_GUILESS_MAIN(LinkThreadTest)
#include "link_thread_test.moc"
