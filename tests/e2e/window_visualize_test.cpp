// Dragging the simulated controller's schedule in the window: the drag reaches the controller
// as one row upload on release, and undo sends the old row back.

#include "main/frm_phorin.h"
#include "main/pages/visualize_page.h"
#include "main/views/image_box.h"
#include "sim/sim_controller.h"
#include "support/window_controls.h"
#include "support/wait.h"
#include "support/window_fixture.h"

#include <QTabWidget>
#include <QtTest>

#include <memory>

using namespace zel;

namespace {
constexpr int ConnectTimeoutMs = 15000;

// "IN 03..." lines of the wire log, without their times.
QStringList RowUploads(const SimController& sim) {
    return WithoutTimes(sim.WireLines()).filter(QRegularExpression(QStringLiteral("^IN 03")));
}

int Polls(const SimController& sim) {
    return int(WithoutTimes(sim.WireLines()).count(QStringLiteral("IN 81")));
}

// The upload of one row as it crosses the line: index, then the row's 15 bytes.
QString UploadLine(int index, const ScheduleRow& row) {
    QByteArray bytes(1, char(index));
    bytes.append(reinterpret_cast<const char*>(&row), sizeof(ScheduleRow));
    return QStringLiteral("IN 03") + QString::fromLatin1(bytes.toHex().toUpper());
}
} // namespace

class WindowVisualizeTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;

private slots:
    void DragUploadsOneRowAndUndoSendsTheOldOne() {
        SimController sim;
        const QString port = sim.Start();
        TfrmPHORIN window({port, QStringLiteral("-english")});
        window.ProgramDir = fixture_.Path();
        window.resize(1000, 640);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(test::WaitForFirstRead(window, ConnectTimeoutMs));
        DeviceState& state = window.State();
        QVERIFY(state.Schedule.size() > 2);
        QCOMPARE(int(state.Config.Mode), int(ModeAuto));

        auto* page = window.findChild<VisualizePage*>("tsVisualize");
        auto* img = window.findChild<ImageBox*>("img");
        window.ShowPage(page);
        QTRY_VERIFY(img->Picture().size() == img->size());
        const ScheduleRow before = state.Schedule[1];
        const PointCacheEntry& point = state.PointCache[1];
        const int uploadsBefore = int(RowUploads(sim).size());

        QTest::mousePress(img, Qt::LeftButton, {}, QPoint(qRound(point[0]), qRound(point[1])));
        QCOMPARE(page->DragPoint(), 1);
        // Three steps, each shown by the timer while the link keeps polling.
        for (int step = 1; step <= 3; ++step) {
            QTest::mouseMove(img, QPoint(img->width() * step / 5, img->height() * step / 5));
            const int polls = Polls(sim);
            QVERIFY(test::WaitUntil([&] { return Polls(sim) > polls; }));
        }
        QCOMPARE(int(RowUploads(sim).size()), uploadsBefore);
        QTest::mouseRelease(img, Qt::LeftButton, {},
                            QPoint(img->width() * 3 / 5, img->height() * 3 / 5));
        const ScheduleRow dragged = state.Schedule[1];
        QVERIFY(memcmp(&dragged, &before, sizeof(ScheduleRow)) != 0);
        QVERIFY(test::WaitUntil([&] { return int(RowUploads(sim).size()) > uploadsBefore; }));
        const int polls = Polls(sim);
        QVERIFY(test::WaitUntil([&] { return Polls(sim) > polls + 1; }));
        QCOMPARE(RowUploads(sim).mid(uploadsBefore), QStringList{UploadLine(1, dragged)});

        window.findChild<QAction*>("mnuUndo")->trigger();
        QVERIFY(test::WaitUntil([&] { return int(RowUploads(sim).size()) > uploadsBefore + 1; }));
        QCOMPARE(RowUploads(sim).last(), UploadLine(1, before));
        window.close();
    }
};

QTEST_MAIN(WindowVisualizeTest)
#include "window_visualize_test.moc"
