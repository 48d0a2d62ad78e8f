// SPDX-License-Identifier: GPL-3.0-or-later
// What the user types and what the controller hears of it: a number outside its field's range
// never crosses the line, and every change sent is answered in the log and the status bar. The
// simulator's wire log is the judge of what was sent.

#include "main/frm_phorin.h"
#include "main/status_panels.h"
#include "main/widgets/range_mark.h"
#include "sim/sim_controller.h"
#include "support/window_controls.h"
#include "support/window_fixture.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using namespace zel;
using test::Control;

namespace {
constexpr int ConnectTimeoutMs = 15000;

int Received(const SimController& sim, const QString& code) {
    return WithoutTimes(sim.WireLines())
        .filter(QRegularExpression(QStringLiteral("^IN ") + code))
        .size();
}

int LogCount(TfrmPHORIN& window, const QString& text) {
    return int(Control<QPlainTextEdit>(window, QStringLiteral("mem"))->toPlainText().count(text));
}

QString WritesPanel(TfrmPHORIN& window) {
    return Control<StatusPanels>(window, QStringLiteral("sb"))->PanelText(StatusPanel::Writes);
}

// The text pasted in one step over the whole text, so that the line sees it only as a whole.
void PasteInto(QLineEdit* edit, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

// The edit of a control name: a line edit, or "row:column" of the schedule grid, whose cell
// editor opens on a double click.
QLineEdit* OpenEdit(TfrmPHORIN& window, const QString& control) {
    if (!control.contains(QLatin1Char(':'))) {
        auto* edit = Control<QLineEdit>(window, control);
        return test::Focus(edit) ? edit : nullptr;
    }
    auto* grid = Control<QTableWidget>(window, QStringLiteral("sgSchedule"));
    const QModelIndex cell = grid->model()->index(control.section(QLatin1Char(':'), 0, 0).toInt(),
                                                  control.section(QLatin1Char(':'), 1).toInt());
    grid->scrollTo(cell);
    const QPoint centre = grid->visualRect(cell).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, centre);
    return qobject_cast<QLineEdit*>(QApplication::focusWidget());
}

// The text of the edit, or of the grid cell, when nobody is typing in it.
QString Shown(TfrmPHORIN& window, const QString& control, QLineEdit* edit) {
    if (!control.contains(QLatin1Char(':')))
        return edit->text();
    auto* grid = Control<QTableWidget>(window, QStringLiteral("sgSchedule"));
    return grid
        ->item(control.section(QLatin1Char(':'), 0, 0).toInt(),
               control.section(QLatin1Char(':'), 1).toInt())
        ->text();
}
} // namespace

class WindowInputSimTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;
    SimController sim_;
    std::unique_ptr<TfrmPHORIN> window_;

private slots:
    void initTestCase() {
        test::ForgetRememberedPort();
        window_ = fixture_.ShownWindow({sim_.Start(), "-english", "-expert"});
        QVERIFY(window_);
        QVERIFY(test::WaitForFirstRead(*window_, ConnectTimeoutMs));
        // The channel levels act in the mode Manual only.
        Control<QAction>(*window_, QStringLiteral("mnuModeManual"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(Control<QLineEdit>(*window_, QStringLiteral("edt0"))->isEnabled(),
                                 ConnectTimeoutMs);
    }

    void cleanupTestCase() {
        window_.reset();
        sim_.Stop();
    }

    void OutOfRangeIsNeverSent_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("code"); // of the block that would carry it
        QTest::addColumn<bool>("sent");
        QTest::addColumn<bool>("marked");
        const auto row = [](const char* name, const char* page, const char* control,
                            const char* text, const char* code, bool sent, bool marked) {
            QTest::newRow(name) << QString::fromLatin1(page) << QString::fromLatin1(control)
                                << QString::fromLatin1(text) << QString::fromLatin1(code) << sent
                                << marked;
        };
        row("channel 150 %", "tsChannels", "edt0", "150", "01", false, true);
        row("channel 50 %", "tsChannels", "edt0", "50", "01", true, false);
        row("moon 250 %", "tsMoon", "edtMoon1", "250", "06", false, true);
        row("moon 25 %", "tsMoon", "edtMoon1", "25", "06", true, false);
        row("fan 150 %", "tsConfig", "edtFanLow", "150", "02", false, true);
        row("clock 25:99", "tsGeo", "edtTime", "25:99", "01", false, true);
        row("latitude 95", "tsGeo", "edtLat", "95", "02", false, true);
        row("time zone month 13", "tsExpert", "edtTimeZoneStandardMonth", "13", "05", false, true);
        row("bit rate on its way to 15", "tsExpert", "edtTWIBitrate", "1", "05", false, false);
        row("grid 24:30", "tsSchedule", "1:1", "24:30", "03", false, true);
        row("grid 150 %", "tsSchedule", "1:2", "150", "03", false, true);
        row("grid 40 %", "tsSchedule", "1:2", "40", "03", true, false);
        row("grid timer -5", "tsSchedule", "1:9", "-5", "03", false, true);
    }

    // A value outside its field's range is neither stored nor sent; the edit is marked with
    // the range until the user leaves it, then shows the stored value again, and one log line
    // says why. Partial input on the way to a value is no error, but is not sent either.
    void OutOfRangeIsNeverSent() {
        QFETCH(QString, page);
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QString, code);
        QFETCH(bool, sent);
        QFETCH(bool, marked);
        TfrmPHORIN& window = *window_;
        window.ShowPage(Control(window, page));
        const int before = Received(sim_, code);
        const int refusals = LogCount(window, QStringLiteral("Not taken: "));
        // A cell editor is gone once it is left.
        const QPointer<QLineEdit> edit = OpenEdit(window, control);
        QVERIFY(edit);
        const QString shownBefore = Shown(window, control, edit);
        PasteInto(edit, text);
        QCOMPARE(MarkedOutOfRange(edit), marked);
        if (marked)
            QVERIFY(edit->toolTip().startsWith(QStringLiteral("Allowed: ")));
        QCOMPARE(LogCount(window, QStringLiteral("Not taken: ")), refusals + (marked ? 1 : 0));
        if (sent) {
            QTRY_COMPARE_WITH_TIMEOUT(Received(sim_, code), before + 1, ConnectTimeoutMs);
            // Done once the link has seen there is nothing more to send.
            QTRY_COMPARE(window.State().Snapshot() & rqAllWrites, 0u);
            return;
        }
        QCOMPARE(window.State().Snapshot() & rqAllWrites, 0u);
        // The controller is polled after anything raised would have gone out.
        const int polls = Received(sim_, QStringLiteral("81"));
        QTRY_VERIFY_WITH_TIMEOUT(Received(sim_, QStringLiteral("81")) > polls + 1,
                                 ConnectTimeoutMs);
        QCOMPARE(Received(sim_, code), before);

        QVERIFY(test::Focus(Control(window, QStringLiteral("pc"))));
        QTRY_VERIFY(!edit || !MarkedOutOfRange(edit));
        QTRY_COMPARE(Shown(window, control, edit), shownBefore);
        QCOMPARE(LogCount(window, QStringLiteral("Not taken: ")), refusals + 1);
    }
};

// Each change sent is answered once in the log, by block or by schedule lines; the status bar
// says "Sending…" while it is on its way. Every second acknowledgement is lost here.
class WindowWriteFeedbackTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;

private slots:
    void WritesAreAnsweredInTheLog() {
        SimOptions options;
        options.dropAcks = 2;
        SimController sim(options);
        auto window = fixture_.ShownWindow({sim.Start(), "-english"});
        QVERIFY(window);
        QVERIFY(test::WaitForFirstRead(*window, ConnectTimeoutMs));
        const QString acknowledged = QStringLiteral("Acknowledged by the controller: ");
        const QString failed = QStringLiteral("Not acknowledged by the controller: ");
        QCOMPARE(LogCount(*window, acknowledged), 0); // reads are never answered in the log

        window->ShowPage(Control(*window, QStringLiteral("tsConfig")));
        auto* fan = Control<QLineEdit>(*window, QStringLiteral("edtFanLow"));
        QVERIFY(test::Focus(fan));
        PasteInto(fan, QStringLiteral("7"));
        QTRY_COMPARE_WITH_TIMEOUT(LogCount(*window, acknowledged + "configuration."), 1,
                                  ConnectTimeoutMs);
        QTRY_VERIFY(WritesPanel(*window).startsWith(QStringLiteral("Last change acknowledged: ")));

        PasteInto(fan, QStringLiteral("8"));
        QTRY_COMPARE(WritesPanel(*window), QStringLiteral("Sending…"));
        QTRY_COMPARE_WITH_TIMEOUT(LogCount(*window, failed + "configuration."), 1,
                                  ConnectTimeoutMs);
        QVERIFY(test::WaitForFirstRead(*window, ConnectTimeoutMs));

        window->ShowPage(Control(*window, QStringLiteral("tsSchedule")));
        QLineEdit* cell = OpenEdit(*window, QStringLiteral("2:2"));
        QVERIFY(cell);
        PasteInto(cell, QStringLiteral("40"));
        QTRY_COMPARE_WITH_TIMEOUT(LogCount(*window, acknowledged + "schedule lines 2."), 1,
                                  ConnectTimeoutMs);
        QCOMPARE(LogCount(*window, acknowledged), 2);
        QCOMPARE(LogCount(*window, failed), 1);
    }
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    int failures = 0;
    {
        WindowInputSimTest input;
        failures += QTest::qExec(&input, argc, argv);
    }
    {
        WindowWriteFeedbackTest feedback;
        failures += QTest::qExec(&feedback, argc, argv);
    }
    return failures;
}

#include "window_input_sim_test.moc"
