// SPDX-License-Identifier: GPL-3.0-or-later
// The window's controls against a simulated controller, judged by the simulator's wire log:
// what a user changes reaches the controller exactly once, and a refresh sends nothing.

#include "main/frm_phorin.h"
#include "main/pages/schedule_cells.h"
#include "sim/sim_controller.h"
#include "support/window_controls.h"
#include "support/window_fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QSlider>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using namespace zel;

namespace {
constexpr int TimeoutMs = 15000;

// Request lines the controller received, in order, without times ("0304...").
QStringList Requests(const SimController& sim) {
    QStringList requests;
    for (const QString& line : WithoutTimes(sim.WireLines()))
        if (line.startsWith(QLatin1String("IN ")))
            requests.append(line.mid(3));
    return requests;
}

QStringList RequestsStartingWith(const SimController& sim, const QString& prefix) {
    return Requests(sim).filter(QRegularExpression(QLatin1Char('^') + prefix));
}

// Byte `offset` of a block request's payload, as two hex digits.
QString PayloadByte(const QString& request, int offset) {
    return request.mid(2 + 2 * offset, 2).toUpper();
}

// The requests that change something on the controller (everything but the reads "8x").
QStringList Writes(const SimController& sim) {
    return Requests(sim).filter(QRegularExpression(QStringLiteral("^[0-7]")));
}
} // namespace

class WindowControlsTest : public QObject {
    Q_OBJECT

    test::WindowFixture fixture_;

    // A window connected to the simulator, shown and active, with its first complete
    // download stored and shown.
    std::unique_ptr<TfrmPHORIN> Connected(SimController& sim) {
        auto window = fixture_.ShownWindow({sim.Start(), QStringLiteral("-english")});
        return window && test::WaitForFirstRead(*window, TimeoutMs) ? std::move(window) : nullptr;
    }

    // Waits for the next status read after everything pending went out, so that a second,
    // unwanted copy of a request would have been sent by then.
    static bool Settled(TfrmPHORIN& window, const SimController& sim) {
        if (!QTest::qWaitFor([&] { return (window.State().Snapshot() & rqAllWrites) == 0; },
                             TimeoutMs))
            return false;
        const qsizetype reads = RequestsStartingWith(sim, QStringLiteral("81")).size();
        return QTest::qWaitFor(
            [&] { return RequestsStartingWith(sim, QStringLiteral("81")).size() > reads + 1; },
            TimeoutMs);
    }

private slots:
    void init() { test::ForgetRememberedPort(); }

    void AnEditedCellReachesTheControllerAsOneRow() {
        SimController sim;
        auto window = Connected(sim);
        QVERIFY(window);
        auto* grid = window->findChild<QTableWidget*>(QStringLiteral("sgSchedule"));
        // The simulator starts in the mode Auto: the schedule page shows its rows.
        QTRY_COMPARE_WITH_TIMEOUT(
            window->findChild<QTabWidget*>(QStringLiteral("pc"))->currentWidget()->objectName(),
            QStringLiteral("tsSchedule"), TimeoutMs);
        QCOMPARE(grid->rowCount(), int(window->State().Info.RowCount));
        QCOMPARE(grid->item(4, ColLine)->text(), QStringLiteral("4"));
        QVERIFY(!grid->item(4, ColTime)->text().isEmpty());
        QVERIFY(Settled(*window, sim));
        QVERIFY(RequestsStartingWith(sim, QStringLiteral("03")).isEmpty());

        const QPoint cell = grid->visualRect(grid->model()->index(4, ColTimer)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_7);
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(Settled(*window, sim));
        const QStringList rows = RequestsStartingWith(sim, QStringLiteral("03"));
        QCOMPARE(rows.size(), 1);
        QVERIFY(rows.first().startsWith(QLatin1String("0304")));
        QCOMPARE(int(sim.State().schedule[4].Timer), 7);
    }

    // In the mode Manual a slider, the menu shortcuts and a refresh, each judged by the lines
    // that reached the controller.
    void ChannelsAndShortcutsReachTheControllerOnce() {
        SimController sim;
        auto window = Connected(sim);
        QVERIFY(window);
        QVERIFY(Settled(*window, sim));
        qsizetype writes = Writes(sim).size();
        const auto newWrites = [&] {
            const QStringList all = Writes(sim);
            const QStringList added = all.mid(writes);
            writes = all.size();
            return added;
        };

        QTest::keyClick(window.get(), Qt::Key_F1, Qt::ControlModifier);
        QVERIFY(Settled(*window, sim));
        QStringList added = newWrites();
        QCOMPARE(added.size(), 1);
        QVERIFY(added[0].startsWith(QLatin1String("02")));
        QCOMPARE(PayloadByte(added[0], 0), QStringLiteral("00"));
        QCOMPARE(int(sim.State().config.Mode), int(ModeManual));

        auto* slider = window->findChild<QSlider*>(QStringLiteral("trb0"));
        QTRY_VERIFY_WITH_TIMEOUT(slider->isEnabled(), TimeoutMs);
        slider->setFocus();
        const int start = slider->value();
        QTest::keyClick(slider, start < 4096 ? Qt::Key_Right : Qt::Key_Left);
        const int level = slider->value();
        QVERIFY(level != start);
        QVERIFY(Settled(*window, sim));
        added = newWrites();
        QCOMPARE(added.size(), 1);
        QVERIFY(added[0].startsWith(QLatin1String("01")));
        // Clock and marked row are marked as not to be applied; the level is sent.
        QCOMPARE(PayloadByte(added[0], 7), QStringLiteral("FF"));
        QCOMPARE(PayloadByte(added[0], 4), QStringLiteral("FF"));
        QCOMPARE(PayloadByte(added[0], 17) + PayloadByte(added[0], 18),
                 QStringLiteral("%1%2")
                     .arg(level & 0xFF, 2, 16, QLatin1Char('0'))
                     .arg(level >> 8, 2, 16, QLatin1Char('0'))
                     .toUpper());
        QCOMPARE(int(sim.State().info.Channel[0]), level);

        // The slider keeps the focus while the status reads refresh the window: nothing goes
        // out.
        QVERIFY(Settled(*window, sim));
        QVERIFY(Settled(*window, sim));
        QVERIFY(slider->hasFocus());
        QCOMPARE(newWrites(), QStringList());

        QTest::keyClick(window.get(), Qt::Key_2, Qt::ControlModifier);
        QVERIFY(Settled(*window, sim));
        added = newWrites();
        QCOMPARE(added.size(), 1);
        for (int channel = 0; channel < ChannelCount; ++channel)
            QCOMPARE(PayloadByte(added[0], 17 + 2 * channel) +
                         PayloadByte(added[0], 18 + 2 * channel),
                     QStringLiteral("3303")); // 819
        QCOMPARE(int(sim.State().info.Channel[3]), 819);

        const uint8_t flag = window->State().Config.Flag;
        QTest::keyClick(window.get(), Qt::Key_F4);
        QVERIFY(Settled(*window, sim));
        added = newWrites();
        QCOMPARE(added.size(), 1);
        QVERIFY(added[0].startsWith(QLatin1String("02")));
        QCOMPARE(int(sim.State().config.Flag), flag ^ FlagStepBig);

        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(Settled(*window, sim));
        QCOMPARE(newWrites(), QStringList{QStringLiteral("7F01")});
    }
};

QTEST_MAIN(WindowControlsTest)
#include "window_controls_test.moc"
