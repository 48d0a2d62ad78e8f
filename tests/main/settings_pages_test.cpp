// SPDX-License-Identifier: GPL-3.0-or-later
// The pages Configuration, Weather, Delays, Moon and White balance offscreen, used as a person
// uses them: typing into the edits and moving the sliders with the keyboard. What reaches the
// records and the request word is the judge; a refresh must never raise a request.

#include "main/frm_phorin.h"
#include "main/zel_application.h"
#include "support/by_value.h"
#include "support/window_controls.h"
#include "support/window_fixture.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QWheelEvent>
#include <QtTest>

#include <memory>

using namespace zel;
using test::ByValue;
using test::Control;
using test::Press;
using test::Type;

class SettingsPagesTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;
    std::unique_ptr<TfrmPHORIN> window_;

    DeviceState& State() { return window_->State(); }
    QLineEdit* Edit(const QString& name) { return Control<QLineEdit>(*window_, name); }
    QSlider* Slider(const QString& name) { return Control<QSlider>(*window_, name); }
    QString LogText() {
        return Control<QPlainTextEdit>(*window_, QStringLiteral("mem"))->toPlainText();
    }

    void Open(const char* page) { test::OpenRefreshed(*window_, QLatin1String(page)); }

private slots:
    void init() {
        test::ForgetRememberedPort();
        window_ = fixture_.ShownWindow({"-english", "-expert"});
        QVERIFY(window_);
        window_->SetConnectedState(true);
    }

    void cleanup() { window_.reset(); }

    // ---- Configuration ----------------------------------------------------------------------

    void BacklightSlidersKeepTheirOrderTypedLevelsDoNot() {
        State().Config.LCDBLMax = 80;
        State().Config.LCDBLMin = 30;
        State().Expert.LCDBLNight = 20;
        Open("tsConfig");

        QVERIFY(Press(Slider("trbLCDBLMin"), Qt::Key_Home));
        QCOMPARE(Slider("trbLCDBLMin")->value(), 20); // stops at the night level
        QCOMPARE(ByValue(State().Config.LCDBLMin), uint8_t(20));
        QCOMPARE(Edit("edtLCDBLMin")->text(), QStringLiteral("20"));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetConfig));
        QVERIFY(Press(Slider("trbLCDBLMin"), Qt::Key_End));
        QCOMPARE(ByValue(State().Config.LCDBLMin), uint8_t(80)); // and at the bright level

        // Already where the ordering lets it go: nothing changes, nothing is sent.
        State().Replace(0);
        QVERIFY(Press(Slider("trbLCDBLMax"), Qt::Key_Home));
        QCOMPARE(Slider("trbLCDBLMax")->value(), 80);
        QCOMPARE(State().Snapshot(), 0u);

        QVERIFY(Press(Slider("trbLCDBLNight"), Qt::Key_End));
        QCOMPARE(ByValue(State().Expert.LCDBLNight), uint8_t(80));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpert));

        QVERIFY(Type(Edit("edtLCDBLMin"), "5"));
        QCOMPARE(ByValue(State().Config.LCDBLMin), uint8_t(5));
        QCOMPARE(Slider("trbLCDBLMin")->value(), 5);
        // A typed level is stored as typed, below the level the slider's order would allow.
        QVERIFY(Type(Edit("edtLCDBLMax"), "3"));
        QCOMPARE(ByValue(State().Config.LCDBLMax), uint8_t(3));
        QCOMPARE(Slider("trbLCDBLMax")->value(), 3);
        QVERIFY(Type(Edit("edtLCDBLNight"), "12.5")); // nearest, ties to even
        QCOMPARE(ByValue(State().Expert.LCDBLNight), uint8_t(12));
    }

    void FanSlidersKeepTheirOrder() {
        State().Config.FanHigh = 70;
        State().Config.FanLow = 40;
        State().Expert.FanOff = 10;
        Open("tsConfig");
        QVERIFY(Press(Slider("trbFanOff"), Qt::Key_End));
        QCOMPARE(ByValue(State().Expert.FanOff), uint8_t(40));
        QVERIFY(Press(Slider("trbFanHigh"), Qt::Key_Home));
        QCOMPARE(ByValue(State().Config.FanHigh), uint8_t(40));
        QVERIFY(Press(Slider("trbFanLow"), Qt::Key_PageDown)); // page step 51, then the limit
        QCOMPARE(ByValue(State().Config.FanLow), uint8_t(40));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetConfig | rqSetExpert));
    }

    void RealtimeSendsEvenWhenItWasRealtime() {
        State().Config.TimeLapse = 1;
        Open("tsConfig");
        QTest::mouseClick(Control<QPushButton>(*window_, "btnRealtime"), Qt::LeftButton);
        QCOMPARE(State().Snapshot(), uint32_t(rqSetConfig));
        QCOMPARE(Edit("edtTimeLapse")->text(), QStringLiteral("1"));
        QCOMPARE(Slider("trbTimeLapse")->value(), 1);
    }

    // ---- Weather ----------------------------------------------------------------------------

    void CloudAndStormFiguresComeFromTheSliders() {
        Open("tsWeather");
        QVERIFY(Type(Edit("edtCloudCount"), "5000"));
        QCOMPARE(Slider("trbCloudCount")->value(), 3000);
        QCOMPARE(ByValue(State().Config.CloudP), uint16_t(1820));
        QCOMPARE(Edit("edtCloudCount")->text(), QStringLiteral("5000"));
        QVERIFY(Type(Edit("edtCloudSeconds"), "0"));
        QCOMPARE(Slider("trbCloudSeconds")->value(), 1);
        QCOMPARE(ByValue(State().Config.CloudD), uint16_t(52428));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetConfig));
        QCOMPARE(Control<QLabel>(*window_, "lblCloudRatio")->text(),
                 QStringLiteral("Cloud ratio: 3.4%"));

        QVERIFY(Press(Slider("trbStormCount"), Qt::Key_End));
        QCOMPARE(ByValue(State().Config.StormP), uint16_t(1387));
        QCOMPARE(Edit("edtStormCount")->text(), QStringLiteral("1000"));
        QVERIFY(Type(Edit("edtStormCount"), "7"));
        QCOMPARE(ByValue(State().Config.StormP), uint16_t(9));
        // The duration comes from its slider too, even though only the count was typed.
        QCOMPARE(ByValue(State().Config.StormD), uint16_t(13981));
    }

    // A count shows one step lower than it was set (CloudP 14 is 23 clouds a day, though 24
    // set it; StormP 9 is 6 thunderstorms a week, though 7 set it). Neither the refreshes nor
    // the changes of the duration beside it may take that lower step back into the record.
    void CountsNobodyTouchedAreNeverRewritten() {
        State().Config.CloudP = 14;
        State().Config.StormP = 9;
        Open("tsWeather");
        for (int change = 0; change < 3; ++change) {
            QVERIFY(Press(Slider("trbCloudSeconds"), Qt::Key_Right));
            QVERIFY(Press(Slider("trbStormMinutes"), Qt::Key_Right));
            window_->RefreshControls();
        }
        QCOMPARE(ByValue(State().Config.CloudP), uint16_t(14));
        QCOMPARE(ByValue(State().Config.StormP), uint16_t(9));

        // Set by the user, the count stays where the user put it.
        QVERIFY(Type(Edit("edtCloudCount"), "24"));
        QVERIFY(Type(Edit("edtStormCount"), "7"));
        QVERIFY(Press(Slider("trbCloudSeconds"), Qt::Key_Right));
        window_->RefreshControls();
        QCOMPARE(Slider("trbCloudCount")->value(), 24);
        QCOMPARE(Edit("edtCloudCount")->text(), QStringLiteral("24"));
        QCOMPARE(Slider("trbStormCount")->value(), 7);
        QCOMPARE(ByValue(State().Config.CloudP), uint16_t(14));
        QCOMPARE(ByValue(State().Config.StormP), uint16_t(9));
    }

    void WeatherEffectsAreStoredInTheirFields() {
        Open("tsWeather");
        QVERIFY(Type(Edit("edtCloudAlpha"), "30"));
        QCOMPARE(ByValue(State().ExpertWeather.CloudAlpha), uint8_t(30));
        QCOMPARE(Slider("trbCloudAlpha")->value(), 30);
        QVERIFY(Type(Edit("edtCloudStep"), "4000"));
        QCOMPARE(ByValue(State().ExpertWeather.CloudStep), uint16_t(4000));
        QVERIFY(Press(Slider("trbLightningP"), Qt::Key_PageUp));
        QCOMPARE(ByValue(State().ExpertWeather.LightningP), uint16_t(1000));
        QCOMPARE(Edit("edtLightningP")->text(), QStringLiteral("1000"));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpertWeather));
    }

    // ---- Delays, moon, white balance ---------------------------------------------------------

    void ChannelFamiliesFindTheirChannel() {
        Open("tsWeatherDelay");
        QVERIFY(Type(Edit("edtWeatherDelay2"), "25.5"));
        const ExpertWeatherBlock& weather = State().ExpertWeather;
        QCOMPARE(ByValue(weather.WeatherDelay[2]), uint8_t(255));
        QCOMPARE(ByValue(weather.WeatherDelay[1] + weather.WeatherDelay[3]), 0);
        QCOMPARE(Slider("trbWeatherDelay2")->value(), 255);

        window_->ShowPage(Control(*window_, "tsMoon"));
        QVERIFY(Type(Edit("edtMoon1"), "50"));
        QCOMPARE(ByValue(weather.MoonColor16[1]), int16_t(2048));
        QCOMPARE(Slider("trbMoon1")->value(), 2048);
        QVERIFY(Press(Slider("trbMoon0"), Qt::Key_Right));
        QCOMPARE(ByValue(weather.MoonColor16[0]), int16_t(1));
        QCOMPARE(Edit("edtMoon0")->text(), QStringLiteral("0.02"));
        window_->RefreshWeatherPages();
        QCOMPARE(Edit("edtMoon1")->text(), QStringLiteral("50"));

        window_->ShowPage(Control(*window_, "tsBalance"));
        QVERIFY(Press(Slider("trbBalance3"), Qt::Key_PageUp));
        QCOMPARE(ByValue(weather.Balance[3]), uint8_t(10));
        QCOMPARE(Edit("edtBalance3")->text(), QStringLiteral("10"));
        QVERIFY(Type(Edit("edtBalanceSum"), "80"));
        QCOMPARE(ByValue(weather.BalanceSum), uint8_t(80));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpertWeather));
    }

    // A turn of the wheel over a slider moves it for the user: it takes the focus and sends.
    void TheWheelIsTheUsersInputToo() {
        Open("tsMoon");
        QVERIFY(test::Focus(Edit("edtMoon0")));
        QSlider* slider = Slider("trbMoon3");
        const QPoint centre = slider->rect().center();
        QWheelEvent wheel(centre, slider->mapToGlobal(centre), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(slider, &wheel);
        QVERIFY(slider->hasFocus());
        QVERIFY(State().ExpertWeather.MoonColor16[3] > 0);
        QCOMPARE(ByValue(State().ExpertWeather.MoonColor16[3]), int16_t(slider->value()));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpertWeather));
    }

    // ---- Refresh ----------------------------------------------------------------------------

    void RefreshShowsTheRecordsSendsNothingAndSparesTheFocus() {
        ExpertWeatherBlock& weather = State().ExpertWeather;
        weather.CloudAlpha = 30;
        weather.StormStep = 2500;
        weather.MoonColor16[2] = 1024;
        weather.WeatherDelay[0] = 15;
        weather.Balance[1] = 90;
        weather.BalanceSum = 75;
        weather.LightningMask[3] = 0xA5;
        State().Expert.FanOff = 12;
        Open("tsWeather");
        QCOMPARE(Edit("edtCloudAlpha")->text(), QStringLiteral("30"));
        QCOMPARE(Slider("trbStormStep")->value(), 2500);
        QCOMPARE(Edit("edtMoon2")->text(), QStringLiteral("25"));
        QCOMPARE(Edit("edtWeatherDelay0")->text(), QStringLiteral("1.5"));
        QCOMPARE(Slider("trbBalance1")->value(), 90);
        QCOMPARE(Edit("edtLightningMask3")->text(), QStringLiteral("165"));
        QCOMPARE(Edit("edtFanOff")->text(), QStringLiteral("12"));

        QVERIFY(Press(Slider("trbCloudAlpha"), Qt::Key_Right));
        State().Replace(0);
        weather.CloudAlpha = 60;
        weather.StormAlpha = 70;
        window_->RefreshControls();
        window_->RefreshExpertPage();
        window_->RefreshWeatherPages();
        QCOMPARE(Slider("trbCloudAlpha")->value(), 31); // the user is on it
        QCOMPARE(Slider("trbStormAlpha")->value(), 70);
        QCOMPARE(State().Snapshot(), 0u);

        // The balance sum is shown even while the user is in it.
        window_->ShowPage(Control(*window_, "tsBalance"));
        QVERIFY(Type(Edit("edtBalanceSum"), "4"));
        weather.BalanceSum = 76;
        window_->RefreshWeatherPages();
        QCOMPARE(Edit("edtBalanceSum")->text(), QStringLiteral("76"));
        QCOMPARE(Slider("trbBalanceSum")->value(), 76);
    }

    void ProgramChangesToTheControlsNeverSend() {
        Open("tsMoon");
        Slider("trbMoon3")->setValue(300);
        Edit("edtMoon3")->setText(QStringLiteral("12"));
        Slider("trbCloudAlpha")->setValue(20);
        QCOMPARE(ByValue(State().ExpertWeather.MoonColor16[3]), int16_t(0));
        QCOMPARE(State().Snapshot(), 0u);
    }

    // ---- Bad input --------------------------------------------------------------------------

    void TextThatIsNoNumberChangesNothing() {
        Open("tsWeatherDelay");
        const QString log = LogText();
        const QString texts[] = {
            "abc",  "",      "1e999",  "nan",
            "inf",  "1e300", "12,5.3", "1234567890123456789012345678901234567890",
            "0x10", "- 5"};
        const std::pair<const char*, const char*> edits[] = {{"tsWeatherDelay", "edtWeatherDelay0"},
                                                             {"tsMoon", "edtMoon0"},
                                                             {"tsBalance", "edtBalance0"},
                                                             {"tsWeather", "edtCloudAlpha"},
                                                             {"tsWeather", "edtCloudCount"},
                                                             {"tsConfig", "edtLCDBLMax"},
                                                             {"tsConfig", "edtTimeLapse"}};
        for (const auto& [page, name] : edits) {
            window_->ShowPage(Control(*window_, QLatin1String(page)));
            QLineEdit* edit = Edit(QLatin1String(name));
            for (const QString& text : texts) {
                QVERIFY(test::Paste(edit, text));
                QCOMPARE(edit->text(), text);
                QVERIFY2(State().Snapshot() == 0, qPrintable(QLatin1String(name) + ": " + text));
            }
        }
        QCOMPARE(ByValue(State().ExpertWeather.WeatherDelay[0]), uint8_t(0));
        QCOMPARE(LogText(), log);

        // Pasted lines are no number either.
        QVERIFY(test::Paste(Edit("edtCloudAlpha"), QStringLiteral("12\n34")));
        QCOMPARE(State().Snapshot(), 0u);

        QVERIFY(Type(Edit("edtCloudAlpha"), "-0"));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpertWeather));
        QCOMPARE(ByValue(State().ExpertWeather.CloudAlpha), uint8_t(0));
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    SettingsPagesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "settings_pages_test.moc"
