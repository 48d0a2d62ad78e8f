// SPDX-License-Identifier: GPL-3.0-or-later
// The window on simulated controllers: connecting, leaving the log, disconnecting, switching
// ports, a port that appears, closing with a stuck link, the built-in controller, and the
// automatic backup against controllers that answer the identification and then slowly or
// never: a backup holds only settings read completely from the controller on that port. With
// ZEL_SCREENSHOTS set to a folder, the built-in controller's window and each of its pages are
// also saved there as pictures (scripts/screenshot).

#include "cfg/device_actions.h"
#include "files/file_helpers.h"
#include "files/settings_file.h"
#include "host/built_in_controller.h"
#include "host/power_watch.h"
#include "main/frm_phorin.h"
#include "main/status_panels.h"
#include "sim/sim_controller.h"
#include "support/window_fixture.h"

#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

#include <memory>

using namespace zel;

namespace {
constexpr int ConnectTimeoutMs = 15000;

QString LogText(TfrmPHORIN& window) {
    return window.findChild<QPlainTextEdit*>(QStringLiteral("mem"))->toPlainText();
}

QString CurrentPageName(TfrmPHORIN& window) {
    return window.findChild<QTabWidget*>(QStringLiteral("pc"))->currentWidget()->objectName();
}

QString PanelText(TfrmPHORIN& window, StatusPanel panel) {
    return window.findChild<StatusPanels*>(QStringLiteral("sb"))->PanelText(panel);
}

// What an earlier, complete backup held.
const QByteArray GoodBackup = "[Config]\r\nMode=2\r\nLat=501\r\n\r\n[0]\r\nHour=7\r\n\r\n";

// A controller that answers "80" and then stays silent, or answers every line late.
SimOptions Faulty(const QString& fault) {
    SimOptions options;
    options.rows = 8;
    if (fault == QLatin1String("silent"))
        options.silentAfter = 1;
    else if (fault == QLatin1String("garbled"))
        options.garble = {{0x83, 3, true}}; // rows from the third on never arrive
    else
        options.delayMs = 400;
    return options;
}

QAction* ConnectEntry(TfrmPHORIN& window, const QString& entry) {
    auto* connection = window.findChild<QMenu*>(QStringLiteral("mnuConnection"));
    emit connection->aboutToShow();
    for (QAction* item : window.findChild<QMenu*>(QStringLiteral("mnuConnect"))->actions())
        if (item->text() == entry)
            return item;
    return nullptr;
}
} // namespace

class WindowSimTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;

    std::unique_ptr<TfrmPHORIN> OpenWindow(const QStringList& parameters) {
        auto window = fixture_.ExposedWindow(parameters);
        [&] { QVERIFY(window); }();
        return window;
    }

    QString BackupOf(const QString& port) const {
        return QDir(fixture_.Path())
            .filePath(QStringLiteral("Backup_") + BackupPortName(port) + QStringLiteral(".ini"));
    }

    void PlantGoodBackup(const QString& port) {
        QFile file(BackupOf(port));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(GoodBackup), GoodBackup.size());
    }

    // The channel page in the mode Manual with the levels the controller reports back, as
    // screenshot.png at 1024 × 600 and screenshot-1920x1080.png; then, with every page shown
    // and the health counters read, each page as page-<name>.png at 1024 × 600 (or the size
    // ZEL_SCREENSHOT_SIZE names, such as 1920x1080).
    void SaveScreenshots(TfrmPHORIN& window, const QDir& folder) {
        SelectModeRequest(window.State(), ModeManual);
        SetChannelLevels(window.State(), {3072, 1638, 819, 2458});
        window.ShowPage(window.findChild<QWidget*>(QStringLiteral("tsChannels")));
        auto* slider = window.findChild<QSlider*>(QStringLiteral("trb0"));
        QTRY_VERIFY_WITH_TIMEOUT(slider->isEnabled() && slider->value() == 3072, ConnectTimeoutMs);
        QTRY_VERIFY(window.windowTitle().contains(QStringLiteral("Input voltage: ")));
        SaveWindowPicture(window, QSize(1024, 600), folder.filePath("screenshot.png"));
        SaveWindowPicture(window, QSize(1920, 1080), folder.filePath("screenshot-1920x1080.png"));

        // The tab the switch rc433 shows; the health entry shows the expert pages.
        auto* pc = window.findChild<QTabWidget*>(QStringLiteral("pc"));
        pc->setTabVisible(pc->indexOf(window.findChild<QWidget*>(QStringLiteral("tsRC433"))), true);
        window.findChild<QAction*>(QStringLiteral("mnuHealth"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!window.State().Test(rqGetHealth), ConnectTimeoutMs);
        const QStringList size = qEnvironmentVariable("ZEL_SCREENSHOT_SIZE").split('x');
        const QSize pageSize =
            size.size() == 2 ? QSize(size[0].toInt(), size[1].toInt()) : QSize(1024, 600);
        const std::pair<const char*, const char*> pages[] = {{"tsChannels", "channels"},
                                                             {"tsSchedule", "schedule"},
                                                             {"tsVisualize", "visualization"},
                                                             {"tsGeo", "geo"},
                                                             {"tsConfig", "configuration"},
                                                             {"tsTemp", "chart"},
                                                             {"tsWeather", "weather"},
                                                             {"tsWeatherDelay", "delays"},
                                                             {"tsMoon", "moon"},
                                                             {"tsExpert", "expert"},
                                                             {"tsBalance", "white-balance"},
                                                             {"tsJMP", "jmp-pin"},
                                                             {"tsRC433", "rc433"},
                                                             {"tsMessages", "messages"}};
        for (const auto& [page, name] : pages) {
            window.ShowPage(window.findChild<QWidget*>(QLatin1String(page)));
            // The chart is read whenever its page comes to the front.
            QTRY_VERIFY_WITH_TIMEOUT(!window.State().Test(rqGetChart), ConnectTimeoutMs);
            SaveWindowPicture(window, pageSize,
                              folder.filePath(QStringLiteral("page-%1.png").arg(name)));
        }
    }

    // The window at a size, with its title drawn above as a caption strip (the platform here
    // draws no frame).
    void SaveWindowPicture(TfrmPHORIN& window, const QSize& size, const QString& file) {
        window.resize(size);
        QTRY_COMPARE(window.size(), size);
        QCoreApplication::processEvents();
        const QPixmap body = window.grab();
        const int caption = 30;
        QPixmap picture(body.width(), caption + body.height());
        picture.fill(QColor(0x30, 0x30, 0x30));
        QPainter painter(&picture);
        painter.setPen(Qt::white);
        painter.drawText(QRect(10, 0, picture.width() - 20, caption), Qt::AlignVCenter,
                         window.windowTitle());
        painter.drawPixmap(0, caption, body);
        painter.end();
        QVERIFY(picture.save(file));
    }

private slots:
    void init() { test::ForgetRememberedPort(); }

    void ConnectsFillsPanelsAndLeavesTheLog() {
        SimController sim;
        const QString port = sim.Start();
        auto window = OpenWindow({port, QStringLiteral("-english")});
        QCOMPARE(CurrentPageName(*window), QStringLiteral("tsChannels"));
        QTRY_VERIFY_WITH_TIMEOUT(window->Connected(), ConnectTimeoutMs);
        // The simulator starts in the mode Auto: the schedule comes to the front.
        QTRY_COMPARE_WITH_TIMEOUT(CurrentPageName(*window), QStringLiteral("tsSchedule"),
                                  ConnectTimeoutMs);
        QTRY_VERIFY(!PanelText(*window, StatusPanel::Clock).isEmpty());
        QVERIFY(PanelText(*window, StatusPanel::Mode).startsWith(QStringLiteral("Auto")));
        QTRY_VERIFY(window->windowTitle().contains(QStringLiteral("Input voltage: ")));
        QVERIFY(window->windowTitle().startsWith(QStringLiteral("www.zelphorin.example \u2022 "
                                                                "ZELPHORIN 2.x.0 \u2022 ") +
                                                 port));
        QCOMPARE(test::RememberedPort().toString(), port);
        QVERIFY(LogText(*window).contains(QStringLiteral("Written to registry: ") + port));
    }

    // The controller told to update its firmware can be: the entry follows the link, not the
    // connected state.
    void AnotherFirmwareVersionCanBeUpdated() {
        SimOptions options;
        options.firmwareVariant = 3;
        SimController sim(options);
        const QString port = sim.Start();
        auto window = OpenWindow({port, QStringLiteral("-english")});
        QTRY_VERIFY_WITH_TIMEOUT(
            LogText(*window).contains(
                QStringLiteral("ZELPHORIN 2.x.3 on %1 detected (different firmware version)")
                    .arg(port)),
            ConnectTimeoutMs);
        QVERIFY(!window->Connected());
        emit window->findChild<QMenu*>(QStringLiteral("mnuFile"))->aboutToShow();
        QVERIFY(window->findChild<QAction*>(QStringLiteral("mnuFirmwareUpdate"))->isEnabled());
    }

    void DisconnectForgetsThePortAndWritesTheBackup() {
        SimController sim;
        const QString port = sim.Start();
        auto window = OpenWindow({port, QStringLiteral("-english")});
        QTRY_VERIFY_WITH_TIMEOUT(!test::RememberedPort().isNull(), ConnectTimeoutMs);

        window->findChild<QAction*>(QStringLiteral("mnuDisconnect"))->trigger();
        QVERIFY(test::RememberedPort().isNull());
        QVERIFY(window->Link().CurrentPort.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!window->LinkRunning(), ConnectTimeoutMs);
        QTRY_VERIFY(!window->Connected());
        QCOMPARE(CurrentPageName(*window), QStringLiteral("tsMessages"));
        const QString backup =
            QStringLiteral("Backup_") + QFileInfo(port).fileName() + QStringLiteral(".ini");
        QVERIFY2(QFileInfo::exists(QDir(fixture_.Path()).filePath(backup)), qPrintable(backup));
    }

    void SwitchingPortsKeepsTheThread() {
        SimController first;
        SimController second;
        const QString firstPort = first.Start();
        const QString secondPort = second.Start();
        auto window = OpenWindow({firstPort, QStringLiteral("-english")});
        QTRY_VERIFY_WITH_TIMEOUT(!test::RememberedPort().isNull(), ConnectTimeoutMs);
        window->SetPortSource([&] {
            return QList<SerialPortInfo>{{firstPort, QStringLiteral("first")},
                                         {secondPort, QStringLiteral("second")}};
        });
        TthdCom* thread = window->Link().LinkThread.get();

        QAction* entry = ConnectEntry(*window, PortEntry({secondPort, QStringLiteral("second")}));
        QVERIFY(entry);
        const qint64 linesBefore = second.LinesReceived();
        entry->trigger();

        QCOMPARE(window->Link().LinkThread.get(), thread);
        QTRY_COMPARE_WITH_TIMEOUT(test::RememberedPort().toString(), entry->text(),
                                  ConnectTimeoutMs);
        QCOMPARE(thread->PortName(), secondPort);
        QVERIFY(second.LinesReceived() > linesBefore);
        QVERIFY(window->Connected());
    }

    void ArrivingPortConnectsWhileIdle() {
        SimController sim;
        const QString port = sim.Start();
        auto window = OpenWindow({QStringLiteral("-english")});
        QVERIFY(!window->LinkRunning());
        const SerialPortInfo arriving{port, QStringLiteral("USB serial adapter")};
        window->SetPortSource([&] { return QList<SerialPortInfo>{arriving}; });
        window->findChild<PortWatch*>()->Look();

        QTRY_VERIFY_WITH_TIMEOUT(window->Connected(), ConnectTimeoutMs);
        QCOMPARE(window->Link().CurrentPort, PortEntry(arriving));
        QVERIFY(LogText(*window).contains(QStringLiteral("New serial port detected: ") +
                                          PortEntry(arriving)));
    }

    void ClosingReleasesALinkWaitingForTheWindow() {
        SimController sim;
        auto window = std::make_unique<TfrmPHORIN>(QStringList{sim.Start(), "-english"});
        // No events are processed: the link thread waits in its first call into the window.
        window->close();
        QVERIFY(!window->LinkThreadsAlive());
    }

    void ClosingEndsALinkWaitingForAnAnswer() {
        SimOptions silent;
        silent.silent = true;
        SimController sim(silent);
        const QString port = sim.Start();
        auto window = OpenWindow({port, QStringLiteral("-english")});
        // Opened and identifying: the thread would wait 5 s for a reply that never comes, but
        // a stop cuts the wait short within the window's half second.
        QTRY_VERIFY_WITH_TIMEOUT(
            LogText(*window).contains(QStringLiteral("] Connected to ") + port), ConnectTimeoutMs);
        window->close();
        QTRY_VERIFY_WITH_TIMEOUT(!window->LinkThreadsAlive(), 1000);
    }

    void BuiltInControllerConnectsAndIsRemembered() {
        auto window = OpenWindow({QStringLiteral("-english")});
        QAction* entry = ConnectEntry(*window, BuiltInController::Entry);
        QVERIFY(entry);
        entry->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(test::RememberedPort().toString(), BuiltInController::Entry,
                                  ConnectTimeoutMs);
        QVERIFY(window->Connected());
        QVERIFY(ConnectEntry(*window, BuiltInController::Entry)->isChecked());

        const QString screenshots = qEnvironmentVariable("ZEL_SCREENSHOTS");
        if (!screenshots.isEmpty())
            SaveScreenshots(*window, QDir(screenshots));
    }

    void UnfinishedDownloadNeverReplacesTheBackup_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("how");
        for (const char* fault : {"silent", "slow", "garbled"})
            for (const char* how : {"exit", "disconnect", "suspend"})
                QTest::addRow("%s, %s", fault, how) << fault << how;
    }
    void UnfinishedDownloadNeverReplacesTheBackup() {
        QFETCH(QString, fault);
        QFETCH(QString, how);
        SimController sim(Faulty(fault));
        const QString port = sim.Start();
        PlantGoodBackup(port);
        auto window = OpenWindow({port, QStringLiteral("-english")});
        // Identified: the window is connected while the blocks are still to come.
        QTRY_VERIFY_WITH_TIMEOUT(window->Connected(), ConnectTimeoutMs);
        if (fault == QLatin1String("garbled")) {
            // Every other block has arrived; the schedule is read again and again.
            QTRY_VERIFY_WITH_TIMEOUT(!test::RememberedPort().isNull(), ConnectTimeoutMs);
            const QString incomplete =
                QStringLiteral("Schedule read incompletely (2 of 8 rows); reading it again.");
            QTRY_VERIFY_WITH_TIMEOUT(LogText(*window).contains(incomplete), ConnectTimeoutMs);
        }
        if (how == QLatin1String("exit"))
            window->findChild<QAction*>(QStringLiteral("mnuExit"))->trigger();
        else if (how == QLatin1String("disconnect"))
            window->findChild<QAction*>(QStringLiteral("mnuDisconnect"))->trigger();
        else
            emit window->findChild<PowerWatch*>()->Suspending();
        QCOMPARE(ReadAll(BackupOf(port)), GoodBackup);
        QVERIFY(!QFile::exists(BackupOf(port) + QStringLiteral(".1")));
        sim.Stop(); // a link thread waiting for a reply sees its port go at once
    }

    void SwitchedPortGetsNoBackupOfTheFirstController() {
        SimOptions good;
        good.rows = 3;
        SimController first(good);
        SimController second(Faulty(QStringLiteral("silent")));
        const QString firstPort = first.Start();
        const QString secondPort = second.Start();
        PlantGoodBackup(secondPort);
        auto window = OpenWindow({firstPort, QStringLiteral("-english")});
        QTRY_VERIFY_WITH_TIMEOUT(!test::RememberedPort().isNull(), ConnectTimeoutMs); // all read
        window->SetPortSource([&] {
            return QList<SerialPortInfo>{{firstPort, QStringLiteral("first")},
                                         {secondPort, QStringLiteral("second")}};
        });
        QAction* entry = ConnectEntry(*window, PortEntry({secondPort, QStringLiteral("second")}));
        QVERIFY(entry);
        entry->trigger();
        // The first controller's settings went to its own backup on the way out.
        QVERIFY(QFile::exists(BackupOf(firstPort)));
        QTRY_VERIFY_WITH_TIMEOUT(second.LinesReceived() >= 1 && window->Connected(),
                                 ConnectTimeoutMs);

        // A firmware transfer to the second one, then closing: both leave its backup alone.
        window->BeforeFirmwareTransfer(secondPort);
        QCOMPARE(ReadAll(BackupOf(secondPort)), GoodBackup);
        window->close();
        QCOMPARE(ReadAll(BackupOf(secondPort)), GoodBackup);
        second.Stop();
    }

    void CompleteReadIsKeptBeforeAFirmwareTransfer() {
        SimOptions good;
        good.rows = 3;
        SimController sim(good);
        const QString port = sim.Start();
        PlantGoodBackup(port);
        auto window = OpenWindow({port, QStringLiteral("-english")});
        QTRY_VERIFY_WITH_TIMEOUT(!test::RememberedPort().isNull(), ConnectTimeoutMs);
        // The controller restarts into its bootloader: no longer connected, but the records
        // are still the ones it sent.
        window->SetConnectedState(false);
        window->BeforeFirmwareTransfer(port);
        QVERIFY(ReadAll(BackupOf(port)) != GoodBackup);
        QCOMPARE(ReadAll(BackupOf(port) + QStringLiteral(".1")), GoodBackup);
    }
};

QTEST_MAIN(WindowSimTest)
#include "window_sim_test.moc"
