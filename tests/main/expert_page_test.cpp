// SPDX-License-Identifier: GPL-3.0-or-later
// The pages Expert options and JMP pin offscreen, and the menu entry that shows them: typed
// values with their units, the radio groups, the unit switch, the time zone edits and the
// time zone taken from a (fixed) zone of this PC.

#include "main/frm_phorin.h"
#include "main/pages/expert_page.h"
#include "main/zel_application.h"
#include "support/by_value.h"
#include "support/window_controls.h"
#include "support/window_fixture.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

#include <memory>

using namespace zel;
using test::ByValue;
using test::Click;
using test::Control;
using test::Press;
using test::Type;

class ExpertPageTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;
    std::unique_ptr<TfrmPHORIN> window_;

    DeviceState& State() { return window_->State(); }
    QLineEdit* Edit(const QString& name) { return Control<QLineEdit>(*window_, name); }
    QRadioButton* Radio(const QString& name) { return Control<QRadioButton>(*window_, name); }

    // With a water probe and a valid clock.
    void Open(const char* page) {
        State().Info.TempWater = 215;
        State().Info.Year = 26;
        State().Info.Month = State().Info.Day = 1;
        test::OpenRefreshed(*window_, QLatin1String(page));
    }

    QString PageName() {
        return Control<QTabWidget>(*window_, "pc")->currentWidget()->objectName();
    }

    bool Shown(const char* page) {
        auto* pc = Control<QTabWidget>(*window_, "pc");
        return pc->isTabVisible(pc->indexOf(Control(*window_, QLatin1String(page))));
    }

private slots:
    void init() {
        test::ForgetRememberedPort();
        window_ = fixture_.ShownWindow({"-english", "-expert"});
        QVERIFY(window_);
    }

    void cleanup() { window_.reset(); }

    // ---- Typed values -----------------------------------------------------------------------

    void TemperaturesFollowTheUnitExceptOffsetAndClouds() {
        State().Config.Flag = FlagFahrenheit;
        State().Expert.FanMode = 1;
        State().Info.TempBoard = 250;
        Open("tsExpert");
        QVERIFY(Edit("edtTempWaterHigh")->isEnabled());
        QVERIFY(Type(Edit("edtTempWaterHigh"), "77"));
        QCOMPARE(ByValue(State().Expert.TempWaterHigh), int16_t(250));
        QVERIFY(Type(Edit("edtTempOffset"), "-1.5"));
        QCOMPARE(ByValue(State().Expert.TempOffset), int8_t(-15));
        QVERIFY(Type(Edit("edtCloudTempBoard"), "30.5"));
        QCOMPARE(ByValue(State().Expert.CloudTempBoard), int16_t(305));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpert));

        // Back to °C: every temperature is shown again, the stored ones unchanged.
        Click(Radio("rbtCelsius"));
        QCOMPARE(ByValue(State().Config.Flag & FlagFahrenheit), 0);
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpert | rqSetConfig));
        QCOMPARE(Edit("edtTempWaterHigh")->text(), QStringLiteral("25.0"));
        QCOMPARE(Edit("edtTempOffset")->text(), QStringLiteral("-1.5"));
        QCOMPARE(Edit("edtCloudTempBoard")->text(), QStringLiteral("30.5"));
        QVERIFY(Control<QLabel>(*window_, "lblBoard")->text().contains(QStringLiteral("25.0°C")));
        QVERIFY(Type(Edit("edtTempOffset"), "-1.5"));
        QCOMPARE(ByValue(State().Expert.TempOffset), int8_t(-15));

        window_->ShowPage(Control(*window_, "tsJMP"));
        QVERIFY(Type(Edit("edtTempHeatLow"), "-2.25"));
        QCOMPARE(ByValue(State().Expert.TempHeatLow), int16_t(-22)); // nearest, ties to even
    }

    void NumbersAreStoredInTheirFields() {
        Open("tsExpert");
        const std::tuple<const char*, const char*, int64_t> cases[] = {
            {"edtPWMPrescaler", "200", 200},   {"edtTWIBitrate", "23", 23},
            {"edtRandomInit", "255", 255},     {"edtChartInterval", "65535", 65535},
            {"edtChartScale", "0.5", 5},       {"edtBalanceSumRamp", "-100", -100},
            {"edtBalanceSumRamp", "100", 100}, {"edtCloudTempWater", "-12.5", -125}};
        const ExpertBlock& expert = State().Expert;
        const std::map<QString, std::function<int64_t()>> fields = {
            {"edtPWMPrescaler", [&] { return expert.PWMPrescaler; }},
            {"edtTWIBitrate", [&] { return expert.TWIBitrate; }},
            {"edtRandomInit", [&] { return expert.RandomInit; }},
            {"edtChartInterval", [&] { return expert.ChartInterval; }},
            {"edtChartScale", [&] { return expert.ChartScale; }},
            {"edtBalanceSumRamp", [&] { return expert.BalanceSumRamp; }},
            {"edtCloudTempWater", [&] { return expert.CloudTempWater; }}};
        for (const auto& [name, text, stored] : cases) {
            QVERIFY(Type(Edit(QLatin1String(name)), QLatin1String(text)));
            QCOMPARE(fields.at(QLatin1String(name))(), stored);
        }
        QVERIFY(Type(Edit("edtLightningMask2"), "255"));
        QCOMPARE(ByValue(State().ExpertWeather.LightningMask[2]), uint8_t(255));
        QCOMPARE(ByValue(State().ExpertWeather.LightningMask[1]), uint8_t(0));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpert | rqSetExpertWeather));
    }

    // ---- Time zone --------------------------------------------------------------------------

    void TimeZoneEditsStopAtTheFirstThatIsNoNumber() {
        Open("tsExpert");
        auto* page = Control<ExpertPage>(*window_, "tsExpert");
        const char* const typed[] = {"60", "10", "31", "3", "0", "3", "31", "2", "0"};
        for (size_t i = 0; i < 9; ++i)
            page->TimeZoneEdits()[i]->setText(QLatin1String(typed[i]));
        QCOMPARE(State().Snapshot(), 0u);

        QVERIFY(Type(Edit("edtTimeZoneStandardHour"), ""));
        const ExpertBlock& expert = State().Expert;
        QCOMPARE(ByValue(expert.Bias), int16_t(60));
        QCOMPARE(ByValue(expert.StandardMonth), int8_t(10));
        QCOMPARE(ByValue(expert.StandardDay), int8_t(31));
        QCOMPARE(ByValue(expert.StandardHour), int8_t(0));
        QCOMPARE(ByValue(expert.DaylightMonth), int8_t(0));
        QCOMPARE(State().Snapshot(), 0u);

        QVERIFY(Type(Edit("edtTimeZoneStandardHour"), "3"));
        QCOMPARE(ByValue(expert.StandardHour), int8_t(3));
        QCOMPARE(ByValue(expert.DaylightMonth), int8_t(3));
        QCOMPARE(ByValue(expert.DaylightHour), int8_t(2));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpert));
        State().Replace(0);
        QVERIFY(test::Paste(Edit("edtTimeZoneBias"), "-1e3"));
        QCOMPARE(State().Snapshot(), 0u);
    }

    void TimeZoneFromThisPc() {
        Open("tsExpert");
        auto* page = Control<ExpertPage>(*window_, "tsExpert");
        page->SystemZone = [] { return QTimeZone("Europe/Berlin"); };
        Click(Control<QPushButton>(*window_, "btnApplyTZI"));
        const ExpertBlock& expert = State().Expert;
        QCOMPARE(ByValue(expert.Bias), int16_t(60));
        QCOMPARE(ByValue(expert.DaylightMonth), int8_t(3));
        QCOMPARE(ByValue(expert.DaylightDay), int8_t(31));
        QCOMPARE(ByValue(expert.DaylightDayOfWeek), int8_t(0));
        QCOMPARE(ByValue(expert.DaylightHour), int8_t(2));
        QCOMPARE(ByValue(expert.StandardMonth), int8_t(10));
        QCOMPARE(ByValue(expert.StandardHour), int8_t(3));
        QCOMPARE(Edit("edtTimeZoneBias")->text(), QStringLiteral("60"));
        QCOMPARE(Edit("edtTimeZoneDaylightDay")->text(), QStringLiteral("31"));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpert));

        page->SystemZone = [] { return QTimeZone("Asia/Kolkata"); };
        Click(Control<QPushButton>(*window_, "btnApplyTZI"));
        QCOMPARE(ByValue(expert.Bias), int16_t(330));
        QCOMPARE(ByValue(expert.DaylightMonth), int8_t(0));
        QCOMPARE(ByValue(expert.StandardMonth), int8_t(0));
        QCOMPARE(Edit("edtTimeZoneStandardMonth")->text(), QStringLiteral("0"));

        // A PC without time zone information changes nothing.
        State().Replace(0);
        page->SystemZone = [] { return QTimeZone(); };
        Click(Control<QPushButton>(*window_, "btnApplyTZI"));
        QCOMPARE(ByValue(expert.Bias), int16_t(330));
        QCOMPARE(State().Snapshot(), 0u);
    }

    // ---- Choices ----------------------------------------------------------------------------

    void RefreshSelectsButtonsAndSendsNothingAClickSends() {
        State().Expert.JMPMode = 1;
        State().Expert.ChartMode = 3;
        Open("tsJMP");
        QVERIFY(Radio("rbtJMPCloud")->isChecked());
        QVERIFY(Radio("rbtCHMTempSlave")->isChecked());
        QCOMPARE(ByValue(State().Expert.JMPMode), uint8_t(1));
        QCOMPARE(State().Snapshot(), 0u);

        Click(Radio("rbtJMPLightning"));
        QCOMPARE(ByValue(State().Expert.JMPMode), uint8_t(5));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpert));

        // The servo is shown when the controller has it; a mode without a button leaves the
        // group as it is.
        State().Expert.JMPMode = 7;
        window_->RefreshExpertPage();
        QVERIFY(Radio("rbtJMPServo")->isChecked());
        QCOMPARE(ByValue(State().Expert.JMPMode), uint8_t(7));
        State().Expert.JMPMode = 9;
        State().Expert.FanMode = 2;
        window_->RefreshExpertPage();
        QVERIFY(Radio("rbtJMPServo")->isChecked());
        QCOMPARE(ByValue(State().Expert.JMPMode), uint8_t(9));

        // A click without the keyboard focus is the program's: stored, not sent.
        State().Replace(0);
        Radio("rbtJMPTimer")->click();
        QCOMPARE(ByValue(State().Expert.JMPMode), uint8_t(6));
        QCOMPARE(State().Snapshot(), 0u);
    }

    // A click on the button already chosen, or the language already shown, sends nothing.
    void ChoosingWhatIsChosenSendsNothing() {
        State().Config.Flag = Flag12Hour | FlagDisplay20x4 | FlagFahrenheit;
        State().Expert.FanMode = 1;
        State().Expert.ChartMode = 2;
        State().Expert.JMPMode = 4;
        const std::pair<const char*, const char*> chosen[] = {
            {"tsExpert", "rbtFMOWater"},   {"tsExpert", "rbtCHMVoltage"},
            {"tsExpert", "rbtFahrenheit"}, {"tsExpert", "rbt12h"},
            {"tsExpert", "rbt20x4"},       {"tsJMP", "rbtJMPHeater"}};
        for (const auto& [page, name] : chosen) {
            Open(page);
            QVERIFY2(Radio(name)->isChecked(), name);
            Click(Radio(name));
            QVERIFY2(Radio(name)->hasFocus(), name);
            QVERIFY2(State().Snapshot() == 0, name);
        }
        Open("tsExpert");
        auto* language = Control<QComboBox>(*window_, "cmbLanguage");
        QVERIFY(test::Focus(language));
        language->showPopup();
        QTRY_VERIFY(language->view()->isVisible());
        QTest::keyClick(language->view(), Qt::Key_Return);
        QTRY_VERIFY(!language->view()->isVisible());
        QCOMPARE(State().Snapshot(), 0u);
        QCOMPARE(ByValue(State().Config.Flag),
                 uint8_t(Flag12Hour | FlagDisplay20x4 | FlagFahrenheit));
    }

    void FanModeDecidesWhichLevelsCount() {
        State().Expert.FanMode = 0;
        Open("tsExpert");
        QVERIFY(!Edit("edtTempWaterLow")->isEnabled());
        QVERIFY(Control(*window_, "trbFanOff")->isEnabled());

        Click(Radio("rbtFMOWater"));
        QCOMPARE(ByValue(State().Expert.FanMode), uint8_t(1));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpert));
        QVERIFY(Edit("edtTempWaterLow")->isEnabled());
        QVERIFY(Edit("edtTempWaterHigh")->isEnabled());
        QVERIFY(!Edit("edtFanOff")->isEnabled());
        QVERIFY(!Control(*window_, "trbFanOff")->isEnabled());

        // A refresh that reports the LEDs driving the fan turns it back, without sending.
        State().Replace(0);
        State().Expert.FanMode = 0;
        window_->RefreshExpertPage();
        QVERIFY(!Edit("edtTempWaterLow")->isEnabled());
        QVERIFY(Edit("edtFanOff")->isEnabled());
        QCOMPARE(State().Snapshot(), 0u);
    }

    void ClockDisplayAndLanguageChoices() {
        State().Config.Flag = 0x10; // a bit this window does not know, kept
        Open("tsExpert");
        Click(Radio("rbt12h"));
        QCOMPARE(ByValue(State().Config.Flag), uint8_t(0x10 | Flag12Hour));
        Click(Radio("rbt20x4"));
        QCOMPARE(ByValue(State().Config.Flag), uint8_t(0x10 | Flag12Hour | FlagDisplay20x4));
        Click(Radio("rbt24h"));
        QCOMPARE(ByValue(State().Config.Flag), uint8_t(0x10 | FlagDisplay20x4));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetConfig));

        State().Replace(0);
        auto* language = Control<QComboBox>(*window_, "cmbLanguage");
        QCOMPARE(language->currentIndex(), 0);
        QVERIFY(Press(language, Qt::Key_Down));
        QCOMPARE(ByValue(State().Expert.Language), uint8_t(1));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpert));

        // A refresh shows the controller's language and sends nothing.
        State().Replace(0);
        State().Expert.Language = 0;
        window_->RefreshExpertPage();
        QCOMPARE(language->currentIndex(), 0);
        QCOMPARE(State().Snapshot(), 0u);
    }

    void RefreshSparesTheEditTheUserIsIn() {
        Open("tsExpert");
        QVERIFY(Type(Edit("edtPWMPrescaler"), "9"));
        State().Replace(0);
        State().Expert.PWMPrescaler = 19;
        State().Expert.TWIBitrate = 98;
        State().Expert.DaylightMonth = 3;
        window_->RefreshExpertPage();
        QCOMPARE(Edit("edtPWMPrescaler")->text(), QStringLiteral("9"));
        QCOMPARE(Edit("edtTWIBitrate")->text(), QStringLiteral("98"));
        QCOMPARE(Edit("edtTimeZoneDaylightMonth")->text(), QStringLiteral("3"));
        QCOMPARE(State().Snapshot(), 0u);
    }

    // ---- Showing the pages ------------------------------------------------------------------

    void F6ShowsAndHidesTheExpertPagesTogether() {
        window_ = fixture_.ShownWindow({"-english"});
        QVERIFY(window_);
        for (const char* page : {"tsExpert", "tsBalance", "tsJMP"})
            QVERIFY2(!Shown(page), page);
        QTest::keyClick(window_.get(), Qt::Key_F6);
        for (const char* page : {"tsExpert", "tsBalance", "tsJMP"})
            QVERIFY2(Shown(page), page);
        QCOMPARE(PageName(), QStringLiteral("tsExpert"));
        QVERIFY(Control<QAction>(*window_, "mnuShowExpert")->isChecked());

        QTest::keyClick(window_.get(), Qt::Key_F6);
        for (const char* page : {"tsExpert", "tsBalance", "tsJMP"})
            QVERIFY2(!Shown(page), page);
        QVERIFY(!Control<QAction>(*window_, "mnuShowExpert")->isChecked());
        QVERIFY(!Shown("tsRC433"));
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    ExpertPageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "expert_page_test.moc"
