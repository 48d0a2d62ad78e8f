// SPDX-License-Identifier: GPL-3.0-or-later
// The settings pages against a simulated controller: a change the user makes on a page reaches
// the controller once, as its block, and a change made on the controller itself shows on the
// page after the next read. The simulator's wire log is the judge of what crossed the line.

#include "com/line_transaction.h"
#include "main/frm_phorin.h"
#include "sim/sim_controller.h"
#include "support/by_value.h"
#include "support/window_controls.h"
#include "support/window_fixture.h"

#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

#include <memory>

using namespace zel;
using test::ByValue;
using test::Control;
using test::Press;
using test::Type;

namespace {
constexpr int ConnectTimeoutMs = 15000;

// The request lines of a code the controller has received so far.
int Received(const SimController& sim, const char* code) {
    return WithoutTimes(sim.WireLines())
        .filter(QRegularExpression(QStringLiteral("^IN ") + code))
        .size();
}

template <typename Block> QByteArray SetLine(const char* code, const Block& block) {
    return QByteArray(code) + HexDigits(reinterpret_cast<const uint8_t*>(&block), sizeof block);
}
} // namespace

class WindowSettingsSimTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;
    SimController sim_;
    std::unique_ptr<TfrmPHORIN> window_;

    // After the user's change, its block crosses the line once; the controller is read again
    // (a second copy would have been sent before that read) and nothing more was sent.
    void ExpectSentOnce(const char* code, int before) {
        QTRY_COMPARE_WITH_TIMEOUT(Received(sim_, code), before + 1, ConnectTimeoutMs);
        const int polls = Received(sim_, "82");
        QTRY_VERIFY_WITH_TIMEOUT(Received(sim_, "82") > polls, ConnectTimeoutMs);
        QCOMPARE(Received(sim_, code), before + 1);
    }

    void ShowPage(const char* page) { window_->ShowPage(Control(*window_, QLatin1String(page))); }

private slots:
    void initTestCase() {
        test::ForgetRememberedPort();
        const QString port = sim_.Start();
        window_ = fixture_.ShownWindow({port, "-english", "-expert"});
        QVERIFY(window_);
        QVERIFY(test::WaitForFirstRead(*window_, ConnectTimeoutMs));
    }

    void cleanupTestCase() {
        window_.reset();
        sim_.Stop();
    }

    void UserChangesReachTheControllerOnce() {
        ShowPage("tsConfig");
        auto* fanLow = Control<QSlider>(*window_, "trbFanLow");
        const uint8_t fanLowBefore = sim_.State().config.FanLow;
        int before = Received(sim_, "02");
        QVERIFY(Press(fanLow, fanLowBefore > 0 ? Qt::Key_Left : Qt::Key_Right));
        const uint8_t fanLowAfter = uint8_t(fanLow->value());
        QVERIFY(fanLowAfter != fanLowBefore);
        ExpectSentOnce("02", before);
        QCOMPARE(ByValue(sim_.State().config.FanLow), fanLowAfter);

        ShowPage("tsExpert");
        before = Received(sim_, "05");
        QVERIFY(Type(Control<QLineEdit>(*window_, "edtRandomInit"), "7"));
        ExpectSentOnce("05", before);
        QCOMPARE(ByValue(sim_.State().expert.RandomInit), uint8_t(7));

        ShowPage("tsMoon");
        auto* moon = Control<QSlider>(*window_, "trbMoon2");
        before = Received(sim_, "06");
        QVERIFY(Press(moon, moon->value() > 0 ? Qt::Key_Left : Qt::Key_Right));
        ExpectSentOnce("06", before);
        QCOMPARE(ByValue(sim_.State().expertWeather.MoonColor16[2]), int16_t(moon->value()));
    }

    void ChangesOnTheControllerShowAfterTheNextRead() {
        ShowPage("tsBalance");
        ExpertWeatherBlock weather = sim_.State().expertWeather;
        weather.Balance[1] = 42;
        weather.WeatherDelay[3] = 37;
        sim_.HandleLocally(SetLine("06", weather));
        ExpertBlock expert = sim_.State().expert;
        expert.LCDBLNight = 7;
        expert.JMPMode = 2;
        sim_.HandleLocally(SetLine("05", expert));
        ConfigBlock config = sim_.State().config;
        config.FanHigh = 93;
        sim_.HandleLocally(SetLine("02", config));

        const int writes = Received(sim_, "0[256]");
        QTest::keyClick(window_.get(), Qt::Key_F5);
        const auto text = [&](const char* name) {
            return Control<QLineEdit>(*window_, QLatin1String(name))->text();
        };
        QTRY_COMPARE_WITH_TIMEOUT(text("edtBalance1"), QStringLiteral("42"), ConnectTimeoutMs);
        QCOMPARE(text("edtWeatherDelay3"), QStringLiteral("3.7"));
        QTRY_COMPARE_WITH_TIMEOUT(text("edtLCDBLNight"), QStringLiteral("7"), ConnectTimeoutMs);
        QVERIFY(Control<QRadioButton>(*window_, "rbtJMPStorm")->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(text("edtFanHigh"), QStringLiteral("93"), ConnectTimeoutMs);
        // Reading and showing sent nothing back.
        QCOMPARE(Received(sim_, "0[256]"), writes);
    }
};

QTEST_MAIN(WindowSettingsSimTest)
#include "window_settings_sim_test.moc"
