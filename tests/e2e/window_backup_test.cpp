// The window's automatic backup against simulated controllers that answer the identification
// and then slowly or never: a backup holds only settings read completely from the controller
// on that port, so a good backup of that port is never replaced by start values or by another
// controller's settings.

#include "files/settings_file.h"
#include "main/frm_phorin.h"
#include "main/power_watch.h"
#include "sim/sim_controller.h"
#include "support/window_settings.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace zel;

namespace {
constexpr int TimeoutMs = 15000;
// What an earlier, complete backup held.
const QByteArray GoodBackup = "[Config]\r\nMode=2\r\nLat=501\r\n\r\n[0]\r\nHour=7\r\n\r\n";

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A controller that answers "80" and then stays silent, or answers every line late.
SimOptions Faulty(const QString& fault) {
    SimOptions options;
    options.rows = 8;
    if (fault == QLatin1String("silent"))
        options.silentAfter = 1;
    else
        options.delayMs = 400;
    return options;
}

QAction* ConnectEntry(TfrmPHORIN& window, const QString& entry) {
    emit window.findChild<QMenu*>(QStringLiteral("mnuConnection"))->aboutToShow();
    for (QAction* item : window.findChild<QMenu*>(QStringLiteral("mnuConnect"))->actions())
        if (item->text() == entry)
            return item;
    return nullptr;
}
} // namespace

class WindowBackupTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;

    QString BackupOf(const QString& port) const {
        return QDir(folder_.path())
            .filePath(QStringLiteral("Backup_") + BackupPortName(port) + QStringLiteral(".ini"));
    }

    void PlantGoodBackup(const QString& port) {
        QFile file(BackupOf(port));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(GoodBackup), GoodBackup.size());
    }

    std::unique_ptr<TfrmPHORIN> OpenWindow(const QString& port) {
        auto window = std::make_unique<TfrmPHORIN>(QStringList{port, QStringLiteral("-english")});
        window->ProgramDir = folder_.path();
        window->show();
        return window;
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        test::IsolateWindowSettings(folder_.path());
    }

    void init() { test::ForgetRememberedPort(); }

    void UnfinishedDownloadNeverReplacesTheBackup_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("how");
        for (const char* fault : {"silent", "slow"})
            for (const char* how : {"exit", "disconnect", "suspend"})
                QTest::addRow("%s, %s", fault, how) << fault << how;
    }
    void UnfinishedDownloadNeverReplacesTheBackup() {
        QFETCH(QString, fault);
        QFETCH(QString, how);
        SimController sim(Faulty(fault));
        const QString port = sim.Start();
        PlantGoodBackup(port);
        auto window = OpenWindow(port);
        // Identified: the window is connected while the blocks are still to come.
        QTRY_VERIFY_WITH_TIMEOUT(window->Connected(), TimeoutMs);
        if (how == QLatin1String("exit"))
            window->findChild<QAction*>(QStringLiteral("mnuExit"))->trigger();
        else if (how == QLatin1String("disconnect"))
            window->findChild<QAction*>(QStringLiteral("mnuDisconnect"))->trigger();
        else
            emit window->findChild<PowerWatch*>()->Suspending();
        QCOMPARE(ReadAll(BackupOf(port)), GoodBackup);
        QVERIFY(!QFile::exists(BackupOf(port) + QStringLiteral(".1")));
    }

    void SwitchedPortGetsNoBackupOfTheFirstController() {
        SimOptions good;
        good.rows = 3;
        SimController first(good);
        SimController second(Faulty(QStringLiteral("silent")));
        const QString firstPort = first.Start();
        const QString secondPort = second.Start();
        PlantGoodBackup(secondPort);
        auto window = OpenWindow(firstPort);
        QTRY_VERIFY_WITH_TIMEOUT(!test::RememberedPort().isNull(), TimeoutMs); // all read
        window->SetPortSource([&] {
            return QList<SerialPortInfo>{{firstPort, QStringLiteral("first")},
                                         {secondPort, QStringLiteral("second")}};
        });
        QAction* entry = ConnectEntry(*window, PortEntry({secondPort, QStringLiteral("second")}));
        QVERIFY(entry);
        entry->trigger();
        // The first controller's settings went to its own backup on the way out.
        QVERIFY(QFile::exists(BackupOf(firstPort)));
        QTRY_VERIFY_WITH_TIMEOUT(second.LinesReceived() >= 1 && window->Connected(), TimeoutMs);

        // A firmware transfer to the second one, then closing: both leave its backup alone.
        window->BeforeFirmwareTransfer(secondPort);
        QCOMPARE(ReadAll(BackupOf(secondPort)), GoodBackup);
        window->close();
        QCOMPARE(ReadAll(BackupOf(secondPort)), GoodBackup);
    }

    void CompleteReadIsKeptBeforeAFirmwareTransfer() {
        SimOptions good;
        good.rows = 3;
        SimController sim(good);
        const QString port = sim.Start();
        PlantGoodBackup(port);
        auto window = OpenWindow(port);
        QTRY_VERIFY_WITH_TIMEOUT(!test::RememberedPort().isNull(), TimeoutMs);
        // The controller restarts into its bootloader: no longer connected, but the records
        // are still the ones it sent.
        window->SetConnectedState(false);
        window->BeforeFirmwareTransfer(port);
        QVERIFY(ReadAll(BackupOf(port)) != GoodBackup);
        QCOMPARE(ReadAll(BackupOf(port) + QStringLiteral(".1")), GoodBackup);
    }
};

QTEST_MAIN(WindowBackupTest)
#include "window_backup_test.moc"
