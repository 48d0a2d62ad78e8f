// The main window offscreen: start-up from the command line and the remembered port, the
// languages, the log, the enabled states, the refreshes from the records and the menus.

#include "host/built_in_controller.h"
#include "host/status_texts.h"
#include "lang/date_time_text.h"
#include "lang/translate.h"
#include "main/frm_phorin.h"
#include "main/pages/messages_page.h"
#include "main/status_panels.h"
#include "main/widgets/labeled_edit.h"
#include "main/zel_application.h"
#include "support/window_fixture.h"

#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QtTest>

#include <ctime>
#include <memory>
#include <stdexcept>
#include <tuple>

using namespace zel;

namespace {
const QString MissingPort = QStringLiteral("/nonexistent/zel-port");

template <typename Widget = QWidget> Widget* Control(QWidget& window, const QString& name) {
    auto* control = window.findChild<Widget*>(name);
    if (!control)
        qFatal("no control %s", qPrintable(name));
    return control;
}

QAction* Entry(QWidget& window, const QString& name) {
    return Control<QAction>(window, name);
}

QStringList LogLines(QWidget& window) {
    return Control<QPlainTextEdit>(window, QStringLiteral("mem"))->toPlainText().split('\n');
}

QString PageName(QWidget& window) {
    return Control<QTabWidget>(window, QStringLiteral("pc"))->currentWidget()->objectName();
}

bool TabShown(QWidget& window, const QString& page) {
    auto* pc = Control<QTabWidget>(window, QStringLiteral("pc"));
    return pc->isTabVisible(pc->indexOf(Control(window, page)));
}

QString TabText(QWidget& window, const QString& page) {
    auto* pc = Control<QTabWidget>(window, QStringLiteral("pc"));
    return pc->tabText(pc->indexOf(Control(window, page)));
}

QString EditLabel(QWidget& window, const QString& name) {
    return Control<LabeledEdit>(window, name)->EditLabel()->text();
}

QString Panel(QWidget& window, StatusPanel panel) {
    return Control<StatusPanels>(window, QStringLiteral("sb"))->PanelText(panel);
}

QColor TextColour(QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

void SetValidClock(InfoBlock& info) {
    info.Year = 24;
    info.Month = 6;
    info.Day = 21;
    info.Hour = 12;
    info.Minute = 5;
    info.Second = 9;
}

// An object whose event handler fails, as a faulty handler of the window would.
class FailingReceiver : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw std::runtime_error("handler failed: boom");
        return QObject::event(event);
    }
};
} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;

    std::unique_ptr<TfrmPHORIN> Window(const QStringList& parameters = {"-english"}) {
        return fixture_.Window(parameters);
    }

    std::unique_ptr<TfrmPHORIN> ShownWindow(const QStringList& parameters = {"-english"}) {
        auto window = fixture_.ShownWindow(parameters);
        [&] { QVERIFY(window); }();
        return window;
    }

private slots:
    void init() { test::ForgetRememberedPort(); }

    // ---- Start-up ---------------------------------------------------------------------------

    void WithoutPortTheWindowWaitsOnTheChannels() {
        auto window = Window();
        QVERIFY(window->Link().CurrentPort.isEmpty());
        QVERIFY(!window->Link().LinkThread);
        QCOMPARE(PageName(*window), QStringLiteral("tsChannels"));
        QCOMPARE(window->windowTitle(),
                 QStringLiteral("www.zelphorin.example \u2022 ZELPHORIN 2.x.0"));
        QVERIFY(!Entry(*window, "mnuModeManual")->isEnabled());
        const QStringList lines = LogLines(*window);
        QVERIFY(lines.first().startsWith(QStringLiteral("IMPORTANT: BEFORE POWERON")));
        QVERIFY(lines.filter(QStringLiteral("] started ZELPHORIN 2.x.0")).size() == 1);
        for (const char* page : {"tsChannelsGL", "tsExpert", "tsBalance", "tsJMP", "tsRC433"})
            QVERIFY2(!TabShown(*window, page), page);
        QVERIFY(TabShown(*window, "tsChannels"));
        auto* pc = Control<QTabWidget>(*window, "pc");
        QCOMPARE(pc->count(), 15);
        QCOMPARE(pc->widget(14)->objectName(), QStringLiteral("tsMessages"));
    }

    void CommandLineTakesPortPathsAndSwitchesInAnyCase() {
        auto window = Window({MissingPort, "-GERMAN", "-Expert", "-rc433", "-Debug", "-bogus"});
        QCOMPARE(window->Link().CurrentPort, MissingPort);
        QVERIFY(window->Link().DebugMessages);
        for (const char* page : {"tsExpert", "tsBalance", "tsJMP", "tsRC433"})
            QVERIFY2(TabShown(*window, page), page);
        QCOMPARE(TabText(*window, "tsSchedule"), QStringLiteral("Zeitplan"));
        const QStringList lines = LogLines(*window);
        QVERIFY(lines.first().startsWith(QStringLiteral("WICHTIG:")));
        // Every parameter is logged, the switch nobody knows included, after the safety note.
        QCOMPARE(lines.filter(QStringLiteral("] Parameter: ")).size(), 6);
        QVERIFY(lines.filter(QStringLiteral("] Parameter: -bogus")).size() == 1);
        QVERIFY(window->LinkRunning());
    }

    void UnusablePortIsReportedAndTheWindowStaysUsable() {
        auto window = Window({MissingPort, "-english"});
        QTRY_VERIFY_WITH_TIMEOUT(!window->LinkRunning(), 15000);
        const QString log = LogLines(*window).join('\n');
        QVERIFY2(log.contains(MissingPort + QStringLiteral(" does not exist")), qPrintable(log));
        QVERIFY(log.contains(QStringLiteral("Error while connecting to zel-port")) ||
                log.contains(QStringLiteral("Error while connecting to ") + MissingPort));
        QVERIFY(!window->Connected());
        emit Control<QMenu>(*window, "mnuConnection")->aboutToShow();
        QVERIFY(!Entry(*window, "mnuDisconnect")->isEnabled());
    }

    void RememberedPortIsUsedOnlyWhenWellFormed() {
        QSettings settings(QStringLiteral("ZELPHORIN2"));
        settings.setValue("Port", QStringList{"ttyUSB0", "ttyUSB1"});
        settings.sync();
        QVERIFY(Window()->Link().CurrentPort.isEmpty());
        settings.setValue("Port", QStringLiteral("tty\nUSB0"));
        settings.sync();
        QVERIFY(Window()->Link().CurrentPort.isEmpty());

        settings.setValue("Port", MissingPort);
        settings.sync();
        auto window = Window();
        QCOMPARE(window->Link().CurrentPort, MissingPort);
        QVERIFY(window->LinkRunning());
        QVERIFY(LogLines(*window)
                    .filter(QStringLiteral("] Read from registry: ") + MissingPort)
                    .size() == 1);
    }

    // ---- Languages --------------------------------------------------------------------------

    void GermanReachesCaptionsHintsRowsAndMenus() {
        auto window = Window({"-german"});
        QCOMPARE(TabText(*window, "tsChannels"), QStringLiteral("Kanäle"));
        const char* const letters[] = {"W", "R", "G", "B"};
        for (int n = 0; n < 4; ++n) {
            const QString suffix = QString::number(n);
            QCOMPARE(Control<QLabel>(*window, "lblName" + suffix)->text(),
                     QStringLiteral("Beschriftung für Kanal ") + letters[n]);
            QCOMPARE(Control<QPushButton>(*window, "btnOn" + suffix)->text(),
                     QStringLiteral("EIN"));
            QCOMPARE(Control<QPushButton>(*window, "btnOff" + suffix)->text(),
                     QStringLiteral("AUS"));
            QCOMPARE(EditLabel(*window, "edtLightningMask" + suffix), QString(letters[n]));
        }
        QCOMPARE(Control<QMenu>(*window, "mnuFile")->title(), QStringLiteral("&Datei"));
        QCOMPARE(Entry(*window, "mnuCopyCol")->text(),
                 QStringLiteral("Inhalt dieser Spalte kopieren"));
        QCOMPARE(Control(*window, "edtLat")->toolTip(),
                 QStringLiteral("positiv: Nord, negativ: Süd"));
        QCOMPARE(EditLabel(*window, "edtLat"), QStringLiteral("Breite"));
        QCOMPARE(Control<QGroupBox>(*window, "gbxFan")->title(), QStringLiteral("Lüfter"));
        QCOMPARE(Entry(*window, "mnuCHMVoltage")->text(), QStringLiteral("Eingangsspannung"));
        QCOMPARE(EditLabel(*window, "edtCloudTempBoard"),
                 Control<QRadioButton>(*window, "rbtCHMTempBoard")->text());
        auto* language = Control<QComboBox>(*window, "cmbLanguage");
        QCOMPARE(language->count(), 2);
        QCOMPARE(language->itemText(0), QStringLiteral("Englisch"));
        QCOMPARE(language->currentIndex(), 1);
        QCOMPARE(Control<QComboBox>(*window, "cmbName0")->itemText(1), QStringLiteral("Reinweiß"));
        QCOMPARE(Control<QTableWidget>(*window, "sgSchedule")->horizontalHeaderItem(0)->text(),
                 QStringLiteral("Zeile"));
        QVERIFY(Control<QPlainTextEdit>(*window, "memDescription")->toPlainText().contains('\n'));
    }

    void LocaleDecidesWithoutASwitch() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        auto german = Window({});
        auto english = Window({"-english"});
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(TabText(*german, "tsMessages"), QStringLiteral("Meldungen"));
        QCOMPARE(TabText(*english, "tsMessages"), QStringLiteral("Messages"));
    }

    // Options / Language is stored and used from the next start on; a start switch wins.
    void ChosenLanguageComesWithTheNextStartUnlessASwitchSays() {
        {
            auto window = Window();
            QVERIFY(Entry(*window, "mnuLanguageSystem")->isChecked());
            Entry(*window, "mnuLanguageGerman")->trigger();
            QCOMPARE(TabText(*window, "tsMessages"), QStringLiteral("Messages"));
            QCOMPARE(Panel(*window, StatusPanel::Status),
                     QStringLiteral("The language you chose takes effect at the next start of "
                                    "the program."));
        }
        auto next = Window({});
        QCOMPARE(TabText(*next, "tsMessages"), QStringLiteral("Meldungen"));
        QVERIFY(Entry(*next, "mnuLanguageGerman")->isChecked());
        QCOMPARE(TabText(*Window({"-english"}), "tsMessages"), QStringLiteral("Messages"));
        Entry(*next, "mnuLanguageSystem")->trigger();
        QCOMPARE(TabText(*Window({}), "tsMessages"), QStringLiteral("Messages"));
    }

    void EnglishSwitchBeatsAnEarlierGerman() {
        auto window = Window({"-german", "-english"});
        QCOMPARE(TabText(*window, "tsChannels"), QStringLiteral("Channels"));
        QCOMPARE(Control<QLabel>(*window, "lblName2")->text(),
                 QStringLiteral("Label for channel G"));
        QCOMPARE(Control<QComboBox>(*window, "cmbLanguage")->currentIndex(), 0);
    }

    // ---- Menus ------------------------------------------------------------------------------

    void EveryMenuEntryHasItsShortcut() {
        auto window = Window();
        const std::pair<const char*, QKeySequence> entries[] = {
            {"mnuDiscover", Qt::CTRL | Qt::Key_I},
            {"mnuRemove", Qt::CTRL | Qt::Key_U},
            {"mnuDisconnect", Qt::CTRL | Qt::Key_D},
            {"mnuScheduleImport", Qt::CTRL | Qt::Key_T},
            {"mnuConfigImport", Qt::CTRL | Qt::Key_K},
            {"mnuScheduleConfigExport", Qt::CTRL | Qt::Key_E},
            {"mnuFirmwareUpdate", Qt::CTRL | Qt::Key_F},
            {"mnuExit", Qt::ALT | Qt::Key_F4},
            {"mnuModeManual", Qt::CTRL | Qt::Key_F1},
            {"mnuModeAuto", Qt::CTRL | Qt::Key_F2},
            {"mnuModeGeo", Qt::CTRL | Qt::Key_F3},
            {"mnuModeRGBDemo", Qt::CTRL | Qt::Key_F4},
            {"mnuModeFlash", Qt::CTRL | Qt::Key_F5},
            {"mnuAllOff", Qt::CTRL | Qt::Key_0},
            {"mnuAll20", Qt::CTRL | Qt::Key_2},
            {"mnuAllOn", Qt::CTRL | Qt::Key_1},
            {"mnuSetTimeDate", Qt::CTRL | Qt::Key_C},
            {"mnuStepBig", QKeySequence(Qt::Key_F4)},
            {"mnuShowExpert", QKeySequence(Qt::Key_F6)},
            {"mnuShowRC433", QKeySequence(Qt::Key_F8)},
            {"mnuRefresh", QKeySequence(Qt::Key_F5)},
            {"mnuSaveEEPROM", Qt::CTRL | Qt::Key_S},
            {"mnuIRLearn", Qt::CTRL | Qt::Key_R},
            {"mnuHealth", Qt::SHIFT | Qt::CTRL | Qt::ALT | Qt::Key_X},
            {"mnuDebug", Qt::CTRL | Qt::ALT | Qt::Key_D},
            {"mnuHardware", QKeySequence()},
            {"mnuSoftware", QKeySequence()},
            {"mnuFAQ", QKeySequence(Qt::Key_F1)}};
        for (const auto& [name, shortcut] : entries)
            QVERIFY2(Entry(*window, name)->shortcut() == shortcut, name);
        // Hidden entries are in no menu but still answer their shortcuts.
        for (const char* name : {"mnuShowRC433", "mnuHealth", "mnuDebug"}) {
            QVERIFY2(window->actions().contains(Entry(*window, name)), name);
            for (QMenu* menu : window->findChildren<QMenu*>())
                QVERIFY2(!menu->actions().contains(Entry(*window, name)), name);
        }
    }

    // Help / About names the version, the licence and the world map's credit.
    void AboutNamesVersionLicenceAndMapCredit() {
        auto window = ShownWindow();
        QString text;
        QTimer::singleShot(0, window.get(), [&text] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            text = box->text();
            box->accept();
        });
        QCoreApplication::setApplicationVersion(QStringLiteral("9.8.7"));
        Entry(*window, "mnuAbout")->trigger();
        for (const char* part : {"version 9.8.7", "GNU General Public License", "Credit: NASA"})
            QVERIFY2(text.contains(QLatin1String(part)), qPrintable(text));
    }

    void HiddenDebugEntryWorksByShortcut() {
        auto window = ShownWindow();
        QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(window->Link().DebugMessages);
        QVERIFY(LogLines(*window).last().endsWith(QStringLiteral("] Debug messages active")));
        QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(!window->Link().DebugMessages);
        QVERIFY(LogLines(*window).last().endsWith(QStringLiteral("] Debug messages inactive")));
    }

    void OptionsMenuTicksModeStepAndPages() {
        auto window = Window({"-english", "-expert"});
        window->State().Config.Mode = ModeGeo;
        window->State().Config.Flag = FlagStepBig;
        emit Control<QMenu>(*window, "mnuOptions")->aboutToShow();
        QVERIFY(Entry(*window, "mnuModeGeo")->isChecked());
        QVERIFY(!Entry(*window, "mnuModeManual")->isChecked());
        QVERIFY(Entry(*window, "mnuStepBig")->isChecked());
        QVERIFY(Entry(*window, "mnuShowExpert")->isChecked());
        QVERIFY(!Entry(*window, "mnuShowRC433")->isChecked());
        // A mode the menu does not know leaves the last tick.
        window->State().Config.Mode = 9;
        window->State().Config.Flag = 0;
        emit Control<QMenu>(*window, "mnuOptions")->aboutToShow();
        QVERIFY(Entry(*window, "mnuModeGeo")->isChecked());
        QVERIFY(!Entry(*window, "mnuStepBig")->isChecked());
    }

    void EntriesWithoutAHandlerStayDisabled() {
        auto window = ShownWindow();
        window->State().Config.Mode = ModeManual;
        window->SetConnectedState(true);
        emit Control<QMenu>(*window, "mnuConnection")->aboutToShow();
        emit Control<QMenu>(*window, "mnuOptions")->aboutToShow();
        // The mode entries belong to a group that moves the tick by itself: a mode chosen
        // either goes to the controller or leaves the tick where the controller's mode is.
        window->State().Replace(0);
        QTest::keyClick(window.get(), Qt::Key_F2, Qt::ControlModifier);
        QVERIFY(Entry(*window, "mnuModeManual")->isChecked() || window->State().Test(rqSetConfig));
        // Every other entry the user can choose, in the menus or hidden, has a handler. (The
        // probe, disconnecting whatever listens, ends this window's use.)
        QList<QAction*> entries = window->actions();
        for (QAction* menu : window->menuBar()->actions())
            for (QAction* entry : menu->menu()->actions())
                if (!entry->isSeparator() && !entry->menu())
                    entries.append(entry);
        for (QAction* entry : entries)
            if (entry->isEnabled() && !entry->actionGroup())
                QVERIFY2(QObject::disconnect(entry, &QAction::triggered, nullptr, nullptr),
                         qPrintable(entry->objectName()));
    }

    void RefreshAsksForTheFiveBlocks() {
        auto window = Window();
        window->SetConnectedState(true);
        window->State().Replace(0);
        Entry(*window, "mnuRefresh")->trigger();
        QCOMPARE(window->State().Snapshot(), uint32_t(rqRefreshAll));
    }

    void ConnectionMenuListsPortsNewestLast() {
        auto window = Window({MissingPort, "-english"});
        window->SetPortSource([] {
            return QList<SerialPortInfo>{{"ttyUSB0", "FT232R USB UART"}, {MissingPort, ""}};
        });
        emit Control<QMenu>(*window, "mnuConnection")->aboutToShow();
        QStringList captions;
        for (QAction* item : Control<QMenu>(*window, "mnuConnect")->actions())
            if (!item->isSeparator())
                captions.append(item->text());
        QCOMPARE(captions, (QStringList{"ttyUSB0 (FT232R USB UART)", MissingPort + " (serial port)",
                                        BuiltInController::Entry}));
        QVERIFY(Entry(*window, "mnuDisconnect")->isEnabled());
        QVERIFY(LogLines(*window).filter(QStringLiteral("] Listing seral ports...")).size() == 1);
        // The firmware can be updated only through a running link.
        emit Control<QMenu>(*window, "mnuFile")->aboutToShow();
        QVERIFY(Entry(*window, "mnuFirmwareUpdate")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!window->LinkRunning(), 15000);
        emit Control<QMenu>(*window, "mnuFile")->aboutToShow();
        QVERIFY(!Entry(*window, "mnuFirmwareUpdate")->isEnabled());
    }

    void DoubleClickInTheLogConnectsToTheNewestPort() {
        auto window = Window();
        window->SetPortSource([] {
            return QList<SerialPortInfo>{{"/nonexistent/a", "first"}, {"/nonexistent/b", "second"}};
        });
        emit Control<LogView>(*window, "mem")->DoubleClicked();
        QCOMPARE(window->Link().CurrentPort, QStringLiteral("/nonexistent/b (second)"));
        QVERIFY(window->LinkRunning());
        QVERIFY(LogLines(*window)
                    .filter(QStringLiteral("] Most recently added: /nonexistent/b (second)"))
                    .size() == 1);
    }

    // ---- Log --------------------------------------------------------------------------------

    void EveryLineOfAMessageCarriesTheTimeStamp() {
        auto window = Window();
        window->LogMessage(Translate(QStringLiteral("FlashDlgText")));
        QStringList lines = LogLines(*window);
        const auto first = std::find_if(lines.begin(), lines.end(), [](const QString& line) {
            return line.endsWith(
                QStringLiteral("] Updating the firmware will happen at your own risk."));
        });
        QVERIFY(first != lines.end());
        lines.erase(lines.begin(), first);
        QCOMPARE(lines.size(),
                 ExpandLineBreaks(Translate(QStringLiteral("FlashDlgText"))).count('\n') + 1);
        const QString prefix = lines.first().left(lines.first().indexOf(QStringLiteral("] ")) + 2);
        QVERIFY(QRegularExpression(QStringLiteral("^\\[.+\\] $")).match(prefix).hasMatch());
        for (const QString& line : lines)
            QVERIFY2(line.startsWith(prefix), qPrintable(line));
        QCOMPARE(lines.at(1).mid(prefix.size()),
                 QStringLiteral("A partially or faulty transmitted firmware is not"));
        QCOMPARE(lines.last(), prefix + QStringLiteral("Proceed?"));
    }

    // A link that keeps failing logs for as long as the window stays open: the oldest lines,
    // the safety note first, give way to the newest.
    void LogKeepsItsNewestLinesWithinItsLimit() {
        auto window = Window();
        const int entries = LogView::LineLimit + 50;
        for (int entry = 0; entry < entries; ++entry)
            window->LogMessage(QStringLiteral("entry %1").arg(entry));
        const QStringList lines = LogLines(*window);
        QCOMPARE(lines.size(), LogView::LineLimit);
        QVERIFY2(lines.first().endsWith(QStringLiteral("] entry 50")), qPrintable(lines.first()));
        QVERIFY2(lines.last().endsWith(QStringLiteral("] entry %1").arg(entries - 1)),
                 qPrintable(lines.last()));
    }

    // Ctrl+C is the shortcut of "Set current time and date" everywhere but in the log.
    void CtrlCInTheLogCopiesItsSelection() {
        auto window = ShownWindow();
        window->LogMessage(QStringLiteral("line to copy"));
        auto* mem = Control<LogView>(*window, QStringLiteral("mem"));
        QSignalSpy setTime(Entry(*window, QStringLiteral("mnuSetTimeDate")), &QAction::triggered);
        QTextCursor lastLine = mem->textCursor();
        lastLine.movePosition(QTextCursor::End);
        lastLine.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        mem->setTextCursor(lastLine);
        mem->setFocus();
        QTest::keyClick(mem, Qt::Key_C, Qt::ControlModifier);
        QVERIFY2(QGuiApplication::clipboard()->text().endsWith(QStringLiteral("] line to copy")),
                 qPrintable(QGuiApplication::clipboard()->text()));
        QCOMPARE(setTime.count(), 0);
    }

    // The log's context menu saves it whole; it follows the newest line unless scrolled up.
    void LogSavesFromItsMenuAndFollowsTheNewestLine() {
        auto window = ShownWindow();
        window->ShowPage(Control(*window, "tsMessages"));
        auto* mem = Control<LogView>(*window, QStringLiteral("mem"));
        const QString path = fixture_.FilePath(QStringLiteral("saved.log"));
        mem->SaveLogDialog = [&path] { return path; };
        QTimer::singleShot(0, mem, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction* entry : menu->actions())
                if (entry->text() == QStringLiteral("Save log as…"))
                    entry->trigger();
            menu->close();
        });
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                                mem->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(mem->viewport(), &click);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), mem->toPlainText() + QLatin1Char('\n'));

        QScrollBar* bar = mem->verticalScrollBar();
        const auto fill = [&window] {
            for (int entry = 0; entry < 200; ++entry)
                window->LogMessage(QStringLiteral("entry %1").arg(entry));
        };
        fill();
        QCOMPARE(bar->value(), bar->maximum());
        bar->setValue(bar->maximum() / 2);
        const int scrolledTo = bar->value();
        fill();
        QCOMPARE(bar->value(), scrolledTo);
    }

    // Size, position and page come back at the next start, and file dialogs open where the
    // last one ended.
    void WindowPlaceAndFolderAreRemembered() {
        const QString chosen = fixture_.FilePath(QStringLiteral("chosen"));
        QVERIFY(QDir().mkpath(chosen));
        QString openedIn;
        QRect placed;
        const auto answerDialog = [&openedIn](const QString& file) {
            QTimer::singleShot(0, [&openedIn, file] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                openedIn = dialog->directory().absolutePath();
                dialog->selectFile(file);
                static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it
            });
        };
        {
            auto window = ShownWindow();
            window->setGeometry(40, 30, 1100, 720);
            placed = window->geometry();
            window->ShowPage(Control(*window, "tsGeo"));
            answerDialog(chosen + QStringLiteral("/first.ini"));
            QCOMPARE(window->SettingsFileDialog(QStringLiteral("Export"), true),
                     chosen + QStringLiteral("/first.ini"));
            window->close();
        }
        auto window = ShownWindow();
        QCOMPARE(window->geometry(), placed);
        QCOMPARE(PageName(*window), QStringLiteral("tsGeo"));
        answerDialog(chosen + QStringLiteral("/second.ini"));
        window->SettingsFileDialog(QStringLiteral("Export"), true);
        QCOMPARE(openedIn, chosen);
    }

    void StatusTextGoesToPanelAndLog() {
        auto window = Window();
        window->SetStatusText(
            TranslateFormat(QStringLiteral("ConnectedToOn"),
                            {QStringLiteral("ZELPHORIN2x"), QStringLiteral("COM4")}));
        QCOMPARE(Panel(*window, StatusPanel::Status),
                 QStringLiteral("Connected to ZELPHORIN2x on COM4"));
        QVERIFY(LogLines(*window).last().endsWith(
            QStringLiteral("] Connected to ZELPHORIN2x on COM4")));
    }

    void HandlerErrorBecomesOneLogLine() {
        auto window = Window();
        FailingReceiver receiver;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&receiver, &event);
        QVERIFY(LogLines(*window).last().endsWith(QStringLiteral("] handler failed: boom")));
    }

    // ---- Enabled states ---------------------------------------------------------------------

    void ConnectedStateFollowsModeFanModeAndProbe() {
        auto window = Window();
        DeviceState& state = window->State();
        state.Config.Mode = ModeManual;
        state.Expert.FanMode = 0;
        state.Info.TempWater = 250;
        window->SetConnectedState(true);
        for (const char* name :
             {"trb0", "edt3", "btnOn1", "cmbName2", "lblName0", "edtFanOff", "trbFanOff",
              "edtTempOffset", "edtCloudTempWater", "edtTempWaterLow", "edtTempWaterHigh",
              "tsSchedule", "edtMoon2", "trbBalanceSum", "rbtJMPServo", "imgTemp"})
            QVERIFY2(Control(*window, name)->isEnabled(), name);
        // The information page itself stays disabled; its controls follow the connection.
        QVERIFY(!Control(*window, "tsRC433")->isEnabled());
        QVERIFY(Control(*window, "cbxRC433System5")->isEnabledTo(Control(*window, "tsRC433")));
        for (const char* name : {"btnCloud", "btnStorm"})
            QVERIFY2(!Control(*window, name)->isEnabled(), name);
        QVERIFY(Entry(*window, "mnuScheduleConfigExport")->isEnabled());

        state.Config.Mode = ModeAuto;
        state.Expert.FanMode = 1;
        state.Info.TempWater = NoMeasurement;
        window->SetConnectedState(true);
        for (const char* name :
             {"trb0", "edt0", "btnOff3", "edtFanOff", "trbFanOff", "edtTempOffset",
              "edtCloudTempWater", "edtTempWaterLow", "edtTempWaterHigh"})
            QVERIFY2(!Control(*window, name)->isEnabled(), name);
        for (const char* name :
             {"cmbName0", "lblName3", "btnCloud", "btnStorm", "edtCloudTempBoard"})
            QVERIFY2(Control(*window, name)->isEnabled(), name);

        // The water limits count only while the water temperature drives the fan.
        state.Info.TempWater = 250;
        Control<QRadioButton>(*window, "rbtFMOLED")->setChecked(true);
        window->SetConnectedState(true);
        QVERIFY(Control(*window, "edtTempOffset")->isEnabled());
        QVERIFY(!Control(*window, "edtTempWaterLow")->isEnabled());

        window->SetConnectedState(false);
        for (const char* name : {"cmbName0", "btnCloud", "edtLCDBLMax", "lblMoon", "cmbLanguage",
                                 "rbtJMPCloud", "tsVisualize", "cmbVisualize", "edtLightningMask1"})
            QVERIFY2(!Control(*window, name)->isEnabled(), name);
        QVERIFY(!Entry(*window, "mnuModeManual")->isEnabled());
        // The geo page can be used without a controller.
        QVERIFY(Control(*window, "edtLat")->isEnabled());
        QVERIFY(Control(*window, "btnNow")->isEnabled());
    }

    void LogComesBackOnlyWhenAConnectionIsLost() {
        auto window = Window();
        window->ShowPage(Control(*window, "tsGeo"));
        window->SetConnectedState(false);
        QCOMPARE(PageName(*window), QStringLiteral("tsGeo"));
        window->SetConnectedState(true);
        QCOMPARE(PageName(*window), QStringLiteral("tsGeo"));
        window->SetConnectedState(false);
        QCOMPARE(PageName(*window), QStringLiteral("tsMessages"));
        QCOMPARE(Panel(*window, StatusPanel::Clock), QString());
    }

    void CompleteReadLeavesTheLogForThePageOfTheMode() {
        auto window = Window();
        window->Link().CurrentPort = QStringLiteral("ttyUSB3 (FT232R USB UART)");
        window->ShowPage(Control(*window, "tsMessages")); // as after a lost connection
        window->State().Config.Mode = ModeGeo;
        window->RefreshWeatherPages();
        QCOMPARE(PageName(*window), QStringLiteral("tsGeo"));
        QCOMPARE(test::RememberedPort().toString(), window->Link().CurrentPort);
        // Later reads leave the page the user chose.
        window->ShowPage(Control(*window, "tsMoon"));
        window->RefreshWeatherPages();
        QCOMPARE(PageName(*window), QStringLiteral("tsMoon"));
    }

    // ---- Status refresh ---------------------------------------------------------------------

    void StatusTextStartsWithThePortEntry() {
        auto window = ShownWindow();
        window->Link().CurrentPort = QStringLiteral("ttyUSB0 (FT232R USB UART)");
        InfoBlock& info = window->State().Info;
        SetValidClock(info);
        info.Errors = 0x02;
        info.TempBoard = 315;
        info.TempWater = NoMeasurement;
        info.Voltage = 1234;
        window->RefreshStatus();
        const QString expected = QStringLiteral(
            "ttyUSB0 (FT232R USB UART) \u2022 Undervoltage \u2022 Board temperature: 31.5°C \u2022 "
            "Input voltage: 12.34 Volt");
        QCOMPARE(Control<QLabel>(*window, "lblBoard")->text(), expected);
        QCOMPARE(window->windowTitle(),
                 QStringLiteral("www.zelphorin.example \u2022 ZELPHORIN 2.x.0 \u2022 ") + expected);
        QCOMPARE(TextColour(Control(*window, "lblBoard")), QColor(Qt::red));
        QCOMPARE(Panel(*window, StatusPanel::Clock),
                 LocalDateTimeText(QDateTime(QDate(2024, 6, 21), QTime(12, 5, 9))));
        // Without the probe its fields are of no use.
        QVERIFY(!Control(*window, "edtTempOffset")->isEnabled());
        QVERIFY(!Control(*window, "rbtJMPCooler")->isEnabled());
    }

    void FahrenheitAndWaterProbe() {
        auto window = ShownWindow();
        InfoBlock& info = window->State().Info;
        SetValidClock(info);
        info.TempBoard = 250;
        info.TempWater = 200;
        info.Voltage = NoMeasurement;
        window->State().Config.Flag = FlagFahrenheit;
        window->RefreshStatus();
        QCOMPARE(Control<QLabel>(*window, "lblBoard")->text(),
                 QStringLiteral("Board temperature: 77.0°F \u2022 VarnoProbe: 68.0°F"));
        QVERIFY(Control(*window, "rbtJMPHeater")->isEnabled());
    }

    void RamFullAloneKeepsTheNormalColour() {
        auto window = ShownWindow();
        InfoBlock& info = window->State().Info;
        SetValidClock(info);
        info.TempBoard = info.TempWater = info.Voltage = NoMeasurement;
        info.Errors = 0x10;
        window->RefreshStatus();
        auto* board = Control<QLabel>(*window, "lblBoard");
        QCOMPARE(board->text(), QStringLiteral("RAM full"));
        QCOMPARE(TextColour(board), window->palette().color(QPalette::WindowText));
        info.Errors = 0x11;
        window->RefreshStatus();
        QCOMPARE(board->text(), QStringLiteral("Overtemperature \u2022 RAM full"));
        QCOMPARE(TextColour(board), QColor(Qt::red));
    }

    void ImpossibleClockKeepsTheLastStatus() {
        auto window = ShownWindow();
        InfoBlock& info = window->State().Info;
        SetValidClock(info);
        info.Voltage = 1200;
        window->RefreshStatus();
        const QString title = window->windowTitle();
        info.Month = 13;
        info.Voltage = 1100;
        info.Channel[2] = 4096;
        window->RefreshStatus();
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(Control<QSlider>(*window, "trb2")->value(), 4096);
    }

    void ClockIsShownAsTheControllerHasIt() {
        // The controller's clock follows no zone rule of this PC: 02:30 on the morning Berlin
        // skips that hour is a reading like any other.
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        auto window = ShownWindow();
        InfoBlock& info = window->State().Info;
        info.Year = 24;
        info.Month = 3;
        info.Day = 31;
        info.Hour = 2;
        info.Minute = 30;
        info.Second = 15;
        window->RefreshStatus();
        QCOMPARE(Panel(*window, StatusPanel::Clock), QStringLiteral("3/31/24 2:30:15 AM"));
        // Impossible times are no readings: the last good one stays.
        for (const auto& [hour, minute, second] : {std::tuple{25, 0, 0}, {2, 60, 0}, {2, 0, 60}}) {
            info.Hour = uint8_t(hour);
            info.Minute = uint8_t(minute);
            info.Second = uint8_t(second);
            window->RefreshStatus();
            QCOMPARE(Panel(*window, StatusPanel::Clock), QStringLiteral("3/31/24 2:30:15 AM"));
        }
        if (zone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
        tzset();
    }

    void HiddenWindowIsNotRefreshed() {
        auto window = Window();
        SetValidClock(window->State().Info);
        window->State().Info.Channel[0] = 2048;
        window->State().Config.Lat = -335;
        window->State().Config.Mode = ModeAuto;
        window->RefreshStatus();
        window->RefreshControls();
        QCOMPARE(Control<QSlider>(*window, "trb0")->value(), 0);
        QCOMPARE(Panel(*window, StatusPanel::Mode), QString());
        QCOMPARE(Control<QLineEdit>(*window, "edtLat")->text(), QStringLiteral("-33.5"));
    }

    void RefreshLeavesFocusedControlsAlone() {
        auto window = ShownWindow();
        window->State().Config.Mode = ModeManual;
        window->SetConnectedState(true);
        window->ShowPage(Control(*window, "tsChannels"));
        auto* edit = Control<QLineEdit>(*window, "edt0");
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        edit->setText(QStringLiteral("12"));
        InfoBlock& info = window->State().Info;
        SetValidClock(info);
        info.Channel[0] = 4096;
        info.Channel[1] = 2048;
        window->RefreshStatus();
        QCOMPARE(edit->text(), QStringLiteral("12"));
        QCOMPARE(Control<QSlider>(*window, "trb0")->value(), 4096);
        QCOMPARE(Control<QLineEdit>(*window, "edt1")->text(), QStringLiteral("50"));

        window->ShowPage(Control(*window, "tsGeo"));
        auto* latitude = Control<QLineEdit>(*window, "edtLat");
        latitude->setFocus();
        QTRY_VERIFY(latitude->hasFocus());
        latitude->setText(QStringLiteral("4"));
        window->State().Config.Lat = 123;
        window->State().Config.Lon = -45;
        window->RefreshControls();
        QCOMPARE(latitude->text(), QStringLiteral("4"));
        QCOMPARE(Control<QLineEdit>(*window, "edtLon")->text(), QStringLiteral("-4.5"));
    }

    // ---- Configuration refresh --------------------------------------------------------------

    void ModeLettersAndWeatherNotes() {
        auto window = ShownWindow();
        ConfigBlock& config = window->State().Config;
        InfoBlock& info = window->State().Info;
        config.Mode = ModeAuto;
        config.StormP = 1;
        config.StormD = 3;
        info.Activity = ActivityCloud | ActivityStorm;
        window->RefreshControls();
        QCOMPARE(Panel(*window, StatusPanel::Mode), QStringLiteral("AutoOS"));
        QCOMPARE(Control<QLabel>(*window, "lblStormRatio")->text(),
                 QStringLiteral("Thunderstorm ratio: 25% \u2022 Thunderstorm currently active"));
        QVERIFY(Control(*window, "btnCloud")->isEnabled());

        config.Mode = ModeManual;
        info.Activity = ActivityCloud | ActivityCooler | ActivityTimer;
        window->RefreshControls();
        QCOMPARE(Panel(*window, StatusPanel::Mode), QStringLiteral("ManualCT"));
        QCOMPARE(Control<QLabel>(*window, "lblCloudRatio")->text(), QString());
        QVERIFY(!Control(*window, "btnCloud")->isEnabled());
        QVERIFY(Control(*window, "trb1")->isEnabled());

        info.Busy = BusySaving;
        window->RefreshControls();
        QCOMPARE(Panel(*window, StatusPanel::Mode), QStringLiteral("Saving"));
    }

    void LevelsFiguresAndFormats() {
        auto window = ShownWindow();
        ConfigBlock& config = window->State().Config;
        config.LCDBLMax = 150;
        config.FanLow = 30;
        config.TimeLapse = 60;
        config.CloudP = 6000;  // 10000 clouds a day: beyond the slider's 3000
        config.CloudD = 0;     // keeps the seconds slider where it is
        config.StormP = 60000; // beyond the slider's 1000 a week
        config.StormD = 466;
        config.Flag = FlagDisplay20x4 | Flag12Hour;
        Control<QSlider>(*window, "trbCloudSeconds")->setValue(77);
        window->RefreshControls();
        QCOMPARE(Control<QLineEdit>(*window, "edtLCDBLMax")->text(), QStringLiteral("150"));
        QCOMPARE(Control<QSlider>(*window, "trbLCDBLMax")->value(), 100);
        QCOMPARE(Control<QLineEdit>(*window, "edtFanLow")->text(), QStringLiteral("30"));
        QCOMPARE(Control<QLineEdit>(*window, "edtTimeLapse")->text(), QStringLiteral("60"));
        QCOMPARE(Control<QLineEdit>(*window, "edtCloudCount")->text(), QStringLiteral("3000"));
        QCOMPARE(Control<QLineEdit>(*window, "edtCloudSeconds")->text(), QStringLiteral("77"));
        QCOMPARE(Control<QSlider>(*window, "trbStormCount")->value(), 1000);
        QCOMPARE(Control<QLineEdit>(*window, "edtStormMinutes")->text(), QStringLiteral("30"));
        QVERIFY(Control<QRadioButton>(*window, "rbt20x4")->isChecked());
        QVERIFY(Control<QRadioButton>(*window, "rbtCelsius")->isChecked());
        QVERIFY(Control<QRadioButton>(*window, "rbt12h")->isChecked());
    }

    void ChannelNamesReachEveryPage() {
        auto window = ShownWindow();
        ConfigBlock& config = window->State().Config;
        const uint8_t codes[] = {2, 0, 16, 11};
        std::copy(std::begin(codes), std::end(codes), config.ColorName);
        window->RefreshControls();
        QCOMPARE(Control<QComboBox>(*window, "cmbName0")->currentIndex(), 2);
        QCOMPARE(Control<QComboBox>(*window, "cmbName2")->currentIndex(), -1);
        QCOMPARE(EditLabel(*window, "edtMoon0"), QStringLiteral("Red: W"));
        QCOMPARE(EditLabel(*window, "edtWeatherDelay2"), QStringLiteral("Unnamed: G"));
        QCOMPARE(EditLabel(*window, "edtBalance3"), QStringLiteral("RoyalBlue: B"));
        QCOMPARE(Control<QTableWidget>(*window, "sgSchedule")->horizontalHeaderItem(2)->text(),
                 QStringLiteral("Red: W"));
        auto* visualize = Control<QComboBox>(*window, "cmbVisualize");
        QCOMPARE(visualize->count(), 4);
        QCOMPARE(visualize->itemText(3), QStringLiteral("RoyalBlue: B"));
        QCOMPARE(visualize->currentIndex(), 0);
        const auto base = [&](const char* name) {
            return Control(*window, name)->palette().color(QPalette::Base);
        };
        QCOMPARE(base("edt0"), QColor(0xFF, 0x80, 0x80));
        QCOMPARE(base("edtLightningMask3"), QColor(0xA0, 0x80, 0xFF));
        QCOMPARE(base("edtMoon1"), QColor(Qt::white));
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"
