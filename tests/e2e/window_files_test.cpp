// SPDX-License-Identifier: GPL-3.0-or-later
// The window's File menu against a simulated controller: export, the two imports and the
// firmware request, with the dialogs answered by the test.

#include "files/ini_document.h"
#include "files/settings_file.h"
#include "main/frm_phorin.h"
#include "sim/sim_controller.h"
#include "support/window_controls.h"
#include "support/window_fixture.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QtTest>

#include <memory>

using namespace zel;

namespace {
constexpr int TimeoutMs = 15000;

SimOptions WithRows(int rows) {
    SimOptions options;
    options.rows = rows;
    return options;
}

void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QString LogText(TfrmPHORIN& window) {
    return window.findChild<QPlainTextEdit*>(QStringLiteral("mem"))->toPlainText();
}
} // namespace

class WindowFilesTest : public QObject {
    Q_OBJECT

    test::WindowFixture fixture_;
    QStringList dialogTitles_;
    QString answer_; // what the file dialog answers; empty is a cancel
    QStringList questions_;
    bool agree_ = true; // the answer to an import's question

    std::unique_ptr<TfrmPHORIN> OpenWindow(const QStringList& parameters) {
        auto window = fixture_.Window(parameters);
        window->SettingsFileDialog = [this](const QString& title, bool) {
            dialogTitles_ << title;
            return answer_;
        };
        window->Confirm = [this](const QString& text, const QString& caption) {
            questions_ << caption << text;
            return agree_;
        };
        window->show();
        return window;
    }

    // A window connected to the simulator, with its first complete download stored.
    std::unique_ptr<TfrmPHORIN> Connected(SimController& sim) {
        auto window = OpenWindow({sim.Start(), QStringLiteral("-english")});
        return test::WaitForFirstRead(*window, TimeoutMs) ? std::move(window) : nullptr;
    }

    static void Trigger(TfrmPHORIN& window, const char* entry) {
        window.findChild<QAction*>(QLatin1String(entry))->trigger();
    }

    // The entries work only while connected; these tests reach the handlers without a link.
    static void EnableEntries(TfrmPHORIN& window) {
        for (const char* entry : {"mnuConfigImport", "mnuScheduleImport", "mnuScheduleConfigExport",
                                  "mnuFirmwareUpdate"})
            window.findChild<QAction*>(QLatin1String(entry))->setEnabled(true);
    }

private slots:
    void init() {
        test::ForgetRememberedPort();
        dialogTitles_.clear();
        answer_.clear();
        questions_.clear();
        agree_ = true;
    }

    void ExportWritesEveryBlockAndEveryRow() {
        SimController sim(WithRows(5));
        auto window = Connected(sim);
        QVERIFY(window);
        answer_ = fixture_.FilePath(QStringLiteral("export.ini"));
        Trigger(*window, "mnuScheduleConfigExport");
        QCOMPARE(dialogTitles_,
                 QStringList({QStringLiteral("Export schedule and configuration to...")}));
        const IniDocument file = IniDocument::FromFile(answer_);
        QCOMPARE(file.Integer(u"Config", u"Mode").value_or(99), uint64_t(sim.State().config.Mode));
        QVERIFY(file.Integer(u"4", u"Hour").has_value());
        QVERIFY(!file.Integer(u"5", u"Hour").has_value());
        QVERIFY(file.Integer(u"RC5", u"Step").has_value());
        // The dialog came with a request to read everything again; the reads are stored on
        // this thread, so none can have been taken over yet.
        QCOMPARE(window->State().Snapshot() & rqRefreshAll, uint32_t(rqRefreshAll));
    }

    void ImportedConfigurationReachesTheController() {
        SimController sim(WithRows(2));
        auto window = Connected(sim);
        QVERIFY(window);
        answer_ = fixture_.FilePath(QStringLiteral("config.ini"));
        WriteText(answer_, "[Config]\r\nMode=2\r\nTempOffset=251\r\n[Weather]\r\nCloudAlpha=33\r\n"
                           "[3]\r\nColor160=2048\r\n");
        Trigger(*window, "mnuConfigImport");
        QCOMPARE(dialogTitles_, QStringList({QStringLiteral("Import configuration from...")}));
        QTRY_VERIFY_WITH_TIMEOUT(sim.State().config.Mode == ModeGeo &&
                                     sim.State().expertWeather.CloudAlpha == 33 &&
                                     sim.State().expert.TempOffset == -5,
                                 TimeoutMs);
        QCOMPARE(int(sim.State().schedule[1].Color16[0]),
                 int(window->State().Schedule[1].Color16[0])); // rows are never imported here
        QTRY_VERIFY_WITH_TIMEOUT(LogText(*window).contains(QStringLiteral(
                                     "Import: the controller acknowledged 3 of 3 blocks and 0 of "
                                     "0 schedule lines.")),
                                 TimeoutMs);
    }

    // An import overwrites the controller: the user is asked, and its settings are kept first.
    void ImportAsksAndBacksUpFirst() {
        SimController sim(WithRows(2));
        QTemporaryDir backups;
        auto window = Connected(sim);
        QVERIFY(window);
        // The port is remembered once the read is complete: only then is there a backup to make.
        QTRY_VERIFY_WITH_TIMEOUT(!test::RememberedPort().isNull(), TimeoutMs);
        window->ProgramDir = backups.path();
        answer_ = fixture_.FilePath(QStringLiteral("geo.ini"));
        WriteText(answer_, "[Config]\r\nMode=2\r\n");
        agree_ = false;
        Trigger(*window, "mnuConfigImport");
        QCOMPARE(questions_, QStringList({QStringLiteral("Import"),
                                          QStringLiteral("Import settings from ") + answer_ +
                                              QStringLiteral(" into the controller?")}));
        QCOMPARE(window->State().Snapshot() & rqImportConfig, 0u);
        QVERIFY(QDir(backups.path()).isEmpty());

        agree_ = true;
        const uint8_t before = sim.State().config.Mode;
        Trigger(*window, "mnuConfigImport");
        const QString backup = backups.filePath(
            QStringLiteral("Backup_") + BackupPortName(sim.SlavePath()) + QStringLiteral(".ini"));
        QCOMPARE(IniDocument::FromFile(backup).Integer(u"Config", u"Mode").value_or(99),
                 uint64_t(before));
        QTRY_COMPARE_WITH_TIMEOUT(int(sim.State().config.Mode), int(ModeGeo), TimeoutMs);
    }

    void ImportedScheduleUploadsEveryRow() {
        SimController sim(WithRows(4));
        auto window = Connected(sim);
        QVERIFY(window);
        answer_ = fixture_.FilePath(QStringLiteral("schedule.ini"));
        WriteText(answer_, "[3]\r\nColor160=2048\r\n[9]\r\nColor160=7\r\n");
        const int before = sim.WireLines().size();
        Trigger(*window, "mnuScheduleImport");
        QCOMPARE(dialogTitles_, QStringList({QStringLiteral("Import schedule from...")}));
        QTRY_VERIFY_WITH_TIMEOUT(int(sim.State().schedule[3].Color16[0]) == 2048, TimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!window->State().Test(rqSetSchedule), TimeoutMs);
        int uploads = 0;
        for (const QString& line : WithoutTimes(sim.WireLines().mid(before)))
            uploads += line.startsWith(QLatin1String("IN 03"));
        QCOMPARE(uploads, 4);
        // One line for the rows, one for the import.
        QTRY_VERIFY_WITH_TIMEOUT(LogText(*window).contains(QStringLiteral(
                                     "Import: the controller acknowledged 0 of 0 blocks and 4 of "
                                     "4 schedule lines.")),
                                 TimeoutMs);
        QCOMPARE(LogText(*window).count(QStringLiteral("Acknowledged by the controller: ")), 1);
        QVERIFY(LogText(*window).contains(
            QStringLiteral("Acknowledged by the controller: schedule lines 0–3.")));
    }

    void CancelledDialogsAndUnreadableFilesChangeNothing() {
        auto window = OpenWindow({QStringLiteral("-english")});
        EnableEntries(*window);
        DeviceState& state = window->State();
        state.ResizeSchedule(3);
        state.Replace(0);
        const uint8_t mode = state.Config.Mode;
        Trigger(*window, "mnuConfigImport");
        Trigger(*window, "mnuScheduleImport");
        QCOMPARE(state.Snapshot(), 0u);

        answer_ = fixture_.FilePath(QStringLiteral("missing.ini"));
        const int logBefore = LogText(*window).size();
        Trigger(*window, "mnuConfigImport");
        Trigger(*window, "mnuScheduleImport");
        QCOMPARE(state.Snapshot(), 0u);
        QCOMPARE(state.Config.Mode, mode);
        QVERIFY(LogText(*window).size() > logBefore); // the user is told why

        // No import while the schedule is being downloaded: not even a dialog.
        dialogTitles_.clear();
        state.Raise(rqGetSchedule);
        Trigger(*window, "mnuScheduleImport");
        QVERIFY(dialogTitles_.isEmpty());
        QCOMPARE(state.RowDirty[0], uint8_t(0));
    }

    void AFileWithoutItsSectionsIsRefusedInTheLog() {
        auto window = OpenWindow({QStringLiteral("-english")});
        EnableEntries(*window);
        DeviceState& state = window->State();
        state.ResizeSchedule(3);
        state.Replace(0);
        answer_ = fixture_.FilePath(QStringLiteral("notes.ini"));
        WriteText(answer_, "[Notes]\r\nMode=2\r\n[5]\r\nHour=7\r\n");
        for (const char* entry : {"mnuConfigImport", "mnuScheduleImport"}) {
            Trigger(*window, entry);
            QVERIFY2(
                LogText(*window).endsWith(QStringLiteral("Cannot import ") + answer_ +
                                          (entry[3] == 'C' ? ": no section Config, Weather, "
                                                             "Names, RC5 or TimeZone"
                                                           : ": no section of the rows 0 to 2")),
                entry);
            QCOMPARE(state.Snapshot(), 0u); // nothing goes to the controller
        }
        QCOMPARE(state.Config.Mode, uint8_t(0));
    }

    // Records never read from a controller hold start values: no file is made of them.
    void AFailedExportIsLoggedAndKeepsTheOldFile() {
        auto window = OpenWindow({QStringLiteral("-english")});
        EnableEntries(*window);
        answer_ = fixture_.FilePath(QStringLiteral("unread.ini"));
        Trigger(*window, "mnuScheduleConfigExport");
        QVERIFY(!QFile::exists(answer_));
        QVERIFY(LogText(*window).contains(
            QStringLiteral("Not exported: the controller has not been read completely yet.")));

        window->State().BlocksRead = rqRefreshAll;
        answer_ = fixture_.FilePath(QStringLiteral("no-such-folder/export.ini"));
        const int logBefore = LogText(*window).size();
        Trigger(*window, "mnuScheduleConfigExport");
        QVERIFY(!QFile::exists(answer_));
        QVERIFY(LogText(*window).size() > logBefore);
    }

    void FirmwareUpdateAsksFirst() {
        auto window = OpenWindow({QStringLiteral("-english")});
        EnableEntries(*window);
        QStringList questions;
        bool yes = false;
        window->Confirm = [&](const QString& text, const QString& caption) {
            questions << caption << text;
            return yes;
        };
        Trigger(*window, "mnuFirmwareUpdate");
        QCOMPARE(questions.value(0), QStringLiteral("Update firmware"));
        QVERIFY(questions.value(1).endsWith(QLatin1String("Proceed?")));
        QVERIFY(!window->State().Test(rqFirmware));
        yes = true;
        Trigger(*window, "mnuFirmwareUpdate");
        QVERIFY(window->State().Test(rqFirmware));
    }
};

QTEST_MAIN(WindowFilesTest)
#include "window_files_test.moc"
