// SPDX-License-Identifier: GPL-3.0-or-later
// The channel page and the Options menu offscreen, driven with keys and clicks: levels from
// the sliders, the edits and the buttons, colour names, the five modes, all channels at once,
// the big step, saving, IR pairing, the weather buttons, and the firmware update's progress.

#include "cfg/conversions.h"
#include "lang/translate.h"
#include "main/frm_phorin.h"
#include "main/pages/channels_page.h"
#include "main/pages/schedule_cells.h"
#include "support/window_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using namespace zel;

class ChannelsOptionsTest : public QObject {
    Q_OBJECT

    test::WindowFixture fixture_;
    std::unique_ptr<TfrmPHORIN> window_;
    QStringList questions_;
    bool answer_ = true;

    DeviceState& State() { return window_->State(); }

    template <typename Widget = QWidget> Widget* Control(const QString& name) {
        auto* control = window_->findChild<Widget*>(name);
        if (!control)
            qFatal("no control %s", qPrintable(name));
        return control;
    }

    QString PageName() { return Control<QTabWidget>("pc")->currentWidget()->objectName(); }

    // A connected window in the given mode, with nothing pending.
    void Open(uint8_t mode = ModeManual) {
        window_ = fixture_.Window(QStringList{QStringLiteral("-english")});
        window_->Confirm = [this](const QString& text, const QString&) {
            questions_ << text;
            return answer_;
        };
        window_ = test::WindowFixture::Active(std::move(window_));
        QVERIFY(window_);
        State().Config.Mode = mode;
        State().ResizeSchedule(4);
        window_->SetConnectedState(true);
        window_->RefreshControls();
        window_->ShowPage(Control("tsChannels"));
        State().Replace(0);
        questions_.clear();
        answer_ = true;
    }

    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window_.get(), Qt::Key(key), modifiers);
    }

    // Replaces the text of a focused edit by typing, key by key.
    void TypeInto(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        QVERIFY(edit->hasFocus());
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

private slots:
    void cleanup() {
        window_.reset();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    // ---- Channel rows -------------------------------------------------------------------

    void SliderKeysSetTheLevelAndSendIt() {
        Open();
        auto* slider = Control<QSlider>("trb1");
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_PageUp);
        QCOMPARE(int(State().Info.Channel[1]), 128);
        QCOMPARE(Control<QLineEdit>("edt1")->text(), LevelText(128));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetChannels));
        State().Replace(0);
        QTest::keyClick(slider, Qt::Key_End);
        QCOMPARE(int(State().Info.Channel[1]), 4096);
        QCOMPARE(Control<QLineEdit>("edt1")->text(), QStringLiteral("100"));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetChannels));
        // At the end already: no change, nothing sent.
        State().Replace(0);
        QTest::keyClick(slider, Qt::Key_End);
        QCOMPARE(State().Snapshot(), 0u);
    }

    void ARefreshNeverSendsAndLeavesFocusedControlsAlone() {
        Open();
        auto* slider = Control<QSlider>("trb0");
        slider->setFocus();
        State().Info.Channel[0] = 3000;
        State().Info.Channel[2] = 1024;
        window_->RefreshStatus();
        QCOMPARE(slider->value(), 0);
        QCOMPARE(Control<QSlider>("trb2")->value(), 1024);
        QCOMPARE(Control<QLineEdit>("edt2")->text(), QStringLiteral("25"));
        QCOMPARE(Control<QLineEdit>("edt0")->text(), QStringLiteral("73.24"));
        Control<QLineEdit>("edt0")->setFocus();
        State().Info.Channel[0] = 2048;
        window_->RefreshStatus();
        QCOMPARE(slider->value(), 2048);
        QCOMPARE(Control<QLineEdit>("edt0")->text(), QStringLiteral("73.24"));
        State().Config.ColorName[3] = 5;
        window_->RefreshControls();
        QCOMPARE(Control<QComboBox>("cmbName3")->currentIndex(), 5);
        QCOMPARE(State().Snapshot(), 0u);
    }

    void TypedPercentagesBecomeLevels_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("level");
        QTest::newRow("half") << "en_US"
                              << "50" << 2048;
        QTest::newRow("nearest, ties to even") << "en_US"
                                               << "33.33" << 1365;
        QTest::newRow("German comma") << "de_DE"
                                      << "12,5" << 512;
        QTest::newRow("German with a point") << "de_DE"
                                             << "12.5" << 512;
    }

    void TypedPercentagesBecomeLevels() {
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QLocale::setDefault(QLocale(locale));
        Open();
        auto* edit = Control<QLineEdit>("edt3");
        TypeInto(edit, typed);
        QTEST(int(State().Info.Channel[3]), "level");
        QTEST(Control<QSlider>("trb3")->value(), "level");
        QVERIFY(State().Snapshot() & rqSetChannels);
        QCOMPARE(edit->text(), typed); // the edit keeps what was typed
    }

    void TextThatIsNoNumberChangesNothing() {
        Open();
        State().Info.Channel[0] = 100;
        TypeInto(Control<QLineEdit>("edt0"), QStringLiteral("abc"));
        QCOMPARE(int(State().Info.Channel[0]), 100);
        QCOMPARE(State().Snapshot(), 0u);
    }

    void OffAndOnButtons() {
        Open();
        QTest::mouseClick(Control<QPushButton>("btnOn2"), Qt::LeftButton);
        QCOMPARE(int(State().Info.Channel[2]), 4096);
        QCOMPARE(Control<QSlider>("trb2")->value(), 4096);
        QCOMPARE(Control<QLineEdit>("edt2")->text(), QStringLiteral("100"));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetChannels));
        QTest::mouseClick(Control<QPushButton>("btnOff2"), Qt::LeftButton);
        QCOMPARE(int(State().Info.Channel[2]), 0);
        QCOMPARE(Control<QLineEdit>("edt2")->text(), QStringLiteral("0"));
    }

    void AColourNameRenamesTheChannelEverywhere() {
        Open();
        auto* box = Control<QComboBox>("cmbName1");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(int(State().Config.ColorName[1]), 1);
        QCOMPARE(State().Snapshot(), uint32_t(rqSetConfig));
        QCOMPARE(
            Control<QTableWidget>("sgSchedule")->horizontalHeaderItem(ColFirstChannel + 1)->text(),
            ColorCaption(1) + QStringLiteral(": R"));
    }

    // The page says which mode runs and, outside Manual, how to reach it.
    void LevelsCanBeSetOnlyInTheModeManual() {
        Open(ModeAuto);
        QVERIFY(!Control("trb0")->isEnabled());
        QVERIFY(!Control("btnOn0")->isEnabled());
        QVERIFY(Control("cmbName0")->isEnabled());
        const QString note = Control<QLabel>("lblModeNote")->text();
        QVERIFY2(note.startsWith(QLatin1String("Mode Auto runs")) && note.contains("Ctrl+F1"),
                 qPrintable(note));
        State().Config.Mode = ModeManual;
        window_->RefreshControls();
        QVERIFY(Control("trb0")->isEnabled());
        QCOMPARE(Control<QLabel>("lblModeNote")->text(),
                 QStringLiteral("Mode Manual: the channels follow these controls."));
    }

    // ---- Modes --------------------------------------------------------------------------

    void ModeShortcutsSetTheModeAndShowItsPage_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("page");
        QTest::newRow("Manual") << int(Qt::Key_F1) << int(ModeManual) << "tsChannels";
        QTest::newRow("Auto") << int(Qt::Key_F2) << int(ModeAuto) << "tsSchedule";
        QTest::newRow("Geo") << int(Qt::Key_F3) << int(ModeGeo) << "tsGeo";
        QTest::newRow("RGB demo") << int(Qt::Key_F4) << int(ModeRGBDemo) << "tsChannels";
        QTest::newRow("Flash") << int(Qt::Key_F5) << int(ModeFlash) << "tsChannels";
    }

    void ModeShortcutsSetTheModeAndShowItsPage() {
        QFETCH(int, key);
        QFETCH(int, mode);
        Open(mode == ModeAuto ? ModeManual : ModeAuto);
        window_->ShowPage(Control("tsMessages"));
        Press(key, Qt::ControlModifier);
        QCOMPARE(int(State().Config.Mode), mode);
        QTEST(PageName(), "page");
        QCOMPARE(State().Snapshot(), uint32_t(rqSetConfig));
        QVERIFY(window_->findChild<QAction*>(QStringLiteral("mnuModeManual"))
                    ->actionGroup()
                    ->checkedAction()
                    ->shortcut()
                    .matches(QKeySequence(Qt::CTRL | Qt::Key(key))));
    }

    void RgbDemoDropsAPendingUploadWhileAutoKeepsIt() {
        Open(ModeManual);
        State().Replace(rqSetSchedule | rqGetInfo);
        Press(Qt::Key_F2, Qt::ControlModifier);
        QCOMPARE(State().Snapshot(), uint32_t(rqSetSchedule | rqGetInfo | rqSetConfig));
        Press(Qt::Key_F4, Qt::ControlModifier);
        QCOMPARE(State().Snapshot(), uint32_t(rqSetConfig));
    }

    void TheGridShowsTheModesTimeColumnUnlessADownloadIsPending() {
        Open(ModeAuto);
        auto* grid = Control<QTableWidget>("sgSchedule");
        window_->FillScheduleGrid();
        QCOMPARE(grid->horizontalHeaderItem(ColTime)->text(), QStringLiteral("Time"));
        State().Replace(rqGetSchedule);
        Press(Qt::Key_F3, Qt::ControlModifier);
        QCOMPARE(grid->horizontalHeaderItem(ColTime)->text(), QStringLiteral("Time"));
        State().Replace(0);
        Press(Qt::Key_F2, Qt::ControlModifier);
        Press(Qt::Key_F3, Qt::ControlModifier);
        QCOMPARE(grid->horizontalHeaderItem(ColTime)->text(), QStringLiteral("Alt"));
    }

    void TheTickFollowsTheControllersMode() {
        Open(ModeAuto);
        Press(Qt::Key_F5, Qt::ControlModifier);
        QVERIFY(Control<QAction>("mnuModeFlash")->isChecked());
        // The controller refused: its configuration, read back after the write, still says Auto.
        window_->WriteFinished(rqSetConfig, true);
        State().Config.Mode = ModeAuto;
        window_->RefreshControls();
        QVERIFY(Control<QAction>("mnuModeAuto")->isChecked());
        QVERIFY(!Control<QAction>("mnuModeFlash")->isChecked());
    }

    // ---- Options entries ----------------------------------------------------------------

    void AllChannelsAtOnce() {
        Open(ModeManual);
        window_->ShowPage(Control("tsGeo"));
        Press(Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(PageName(), QStringLiteral("tsChannels"));
        for (int channel = 0; channel < ChannelCount; ++channel) {
            QCOMPARE(int(State().Info.Channel[channel]), 819);
            QCOMPARE(Control<QLineEdit>(QStringLiteral("edt%1").arg(channel))->text(),
                     QStringLiteral("20"));
        }
        QCOMPARE(State().Snapshot(), uint32_t(rqSetChannels));
        Press(Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(int(State().Info.Channel[3]), 4096);
        QCOMPARE(Control<QSlider>("trb3")->value(), 4096);
        Press(Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(int(State().Info.Channel[0]), 0);
        QCOMPARE(Control<QLineEdit>("edt0")->text(), QStringLiteral("0"));
    }

    void BigStepSaveAndWeatherButtons() {
        Open(ModeAuto);
        State().Config.Flag = FlagFahrenheit;
        Press(Qt::Key_F4);
        QCOMPARE(int(State().Config.Flag), FlagFahrenheit | FlagStepBig);
        QCOMPARE(State().Snapshot(), uint32_t(rqSetConfig));
        Press(Qt::Key_F4);
        QCOMPARE(int(State().Config.Flag), int(FlagFahrenheit));
        State().Replace(0);
        Press(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(State().Snapshot(), uint32_t(rqSaveEEPROM));
        State().Replace(0);
        QTest::mouseClick(Control<QPushButton>("btnCloud"), Qt::LeftButton);
        QTest::mouseClick(Control<QPushButton>("btnStorm"), Qt::LeftButton);
        QCOMPARE(State().Snapshot(), uint32_t(rqToggleCloud | rqToggleStorm));
    }

    void PairingTwiceLeavesTheCodesAsTheyWere() {
        Open();
        ExpertBlock& expert = State().Expert;
        expert.Up = 0x1234;
        expert.Step = 0x0F00;
        answer_ = false;
        Press(Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(questions_.size(), 1);
        QCOMPARE(questions_.first(),
                 TranslateFormat(QStringLiteral("IRLearnDlgText"), {QStringLiteral("ZELPHORIN2")}));
        QCOMPARE(State().Snapshot(), 0u);
        answer_ = true;
        Press(Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(int(expert.Up), 0x0234);
        QCOMPARE(int(expert.Step), 0x1F00);
        QCOMPARE(int(expert.Down), 0x1000);
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpert));
        State().Replace(0);
        Press(Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(int(expert.Up), 0x1234);
        QCOMPARE(int(expert.Step), 0x0F00);
        QCOMPARE(int(expert.Down), 0);
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpert));
    }

    // ---- Firmware update progress -------------------------------------------------------

    void AFirmwareUpdateShowsItsProgressAndAsksBeforeClosing() {
        Open();
        auto* progress = Control<QProgressBar>("pbFirmware");
        QVERIFY(!progress->isVisible());
        window_->SetTaskbarProgress(256, 1024);
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->text(), QStringLiteral("Update firmware: 25 %"));
        QVERIFY(window_->FirmwareUpdateRunning());
        answer_ = false;
        window_->close();
        QVERIFY(window_->isVisible());
        QCOMPARE(questions_, QStringList{Translate(QStringLiteral("FlashRunningText"))});
        // The status text after the last block ends the display.
        window_->SetStatusText(Translate(QStringLiteral("FirmwareUpdateSuccessful")));
        QVERIFY(!progress->isVisible());
        QVERIFY(!window_->FirmwareUpdateRunning());
        window_->close();
        QVERIFY(!window_->isVisible());
        QCOMPARE(questions_.size(), 1);
    }
};

QTEST_MAIN(ChannelsOptionsTest)
#include "channels_options_test.moc"
