// SPDX-License-Identifier: GPL-3.0-or-later
// The visualisation as a person uses it: dragging points with the mouse, the time lock and the
// mode Geo, the refusal during a download, the mouse wheel, and undo and redo of the edits.

#include "files/settings_file.h"
#include "main/frm_phorin.h"
#include "main/pages/visualize_page.h"
#include "main/views/image_box.h"
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTabWidget>
#include <QtTest>

#include <cstring>
#include <memory>

using namespace zel;

namespace {
ScheduleRow Row(int hour, int minute, int level) {
    ScheduleRow row{};
    row.Hour = int8_t(hour);
    row.Minute = int8_t(minute);
    for (int16_t& channel : row.Color16)
        channel = int16_t(level);
    return row;
}

bool SameRow(const ScheduleRow& a, const ScheduleRow& b) {
    return std::memcmp(&a, &b, sizeof(ScheduleRow)) == 0;
}

void Wheel(QWidget* widget, int delta) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}
} // namespace

class VisualizePageTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;
    std::unique_ptr<TfrmPHORIN> window_;
    VisualizePage* page_ = nullptr;
    ImageBox* img_ = nullptr;

    DeviceState& State() { return window_->State(); }
    QAction* Entry(const char* name) { return window_->findChild<QAction*>(name); }

    // Where row k of the visualised channel was drawn.
    QPoint PointOf(int k) {
        const PointCacheEntry& cached = State().PointCache[size_t(k)];
        return QPoint(qRound(cached[0]), qRound(cached[size_t(page_->VisualisedChannel()) + 1]));
    }

    void Drag(int k, QPoint to) {
        QTest::mousePress(img_, Qt::LeftButton, {}, PointOf(k));
        QTest::mouseMove(img_, to);
        QTest::mouseRelease(img_, Qt::LeftButton, {}, to);
    }

    // Forgets the upload marks, as the link does when it has sent them.
    void Uploaded() {
        std::fill(State().RowDirty.begin(), State().RowDirty.end(), 0);
        State().Clear(rqSetSchedule);
    }

private slots:
    void init() {
        window_ = fixture_.Window(QStringList{"-english"});
        window_->resize(1000, 640);
        window_ = test::WindowFixture::Active(std::move(window_));
        QVERIFY(window_);
        State().Config.Mode = ModeAuto;
        State().ResizeSchedule(3);
        State().Schedule = {Row(6, 0, 0), Row(12, 0, 2048), Row(20, 0, 0)};
        window_->SetConnectedState(true);
        window_->RefreshControls();
        page_ = window_->findChild<VisualizePage*>("tsVisualize");
        img_ = window_->findChild<ImageBox*>("img");
        window_->ShowPage(page_);
        window_->FillScheduleGrid();
        QTRY_VERIFY(img_->isVisible() && img_->Picture().size() == img_->size());
        Uploaded();
    }

    void cleanup() { window_.reset(); }

    void DragBeyondTheCornerGivesMidnightAndFullLevel() {
        Drag(2, QPoint(img_->width() + 40, -40));
        const ScheduleRow& row = State().Schedule[2];
        QCOMPARE(int(row.Hour), 24);
        QCOMPARE(int(row.Minute), 0);
        QCOMPARE(int(row.Color16[0]), 4096);
        QCOMPARE(int(row.Color16[1]), 0); // only the visualised channel
        QCOMPARE(State().RowDirty, (std::vector<uint8_t>{0, 0, 1}));
        QVERIFY(State().Test(rqSetSchedule));
        QCOMPARE(page_->DragPoint(), -1);
        QVERIFY(!page_->tmrVisualize->isActive());
    }

    // The schedule runs in time order: a point dragged past a neighbour stops at its time.
    void DragStopsAtTheNeighboursTimes_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("toMinutes");
        QTest::addColumn<int>("minutes");
        QTest::newRow("first row before midnight") << 0 << -60 << 0;
        QTest::newRow("first row past the second") << 0 << 13 * 60 << 12 * 60;
        QTest::newRow("middle row before the first") << 1 << 2 * 60 << 6 * 60;
        QTest::newRow("middle row past the last") << 1 << 23 * 60 << 20 * 60;
        QTest::newRow("last row before the middle one") << 2 << 11 * 60 << 12 * 60;
    }

    void DragStopsAtTheNeighboursTimes() {
        QFETCH(int, row);
        QFETCH(int, toMinutes);
        const int x = qRound(toMinutes * (img_->width() - 40) / 1440.0 + 20);
        Drag(row, QPoint(x, PointOf(row).y()));
        const ScheduleRow& dragged = State().Schedule[size_t(row)];
        QTEST(dragged.Hour * 60 + dragged.Minute, "minutes");
    }

    void DragFollowsTheMouseWhileTheTimerRuns() {
        QTest::mousePress(img_, Qt::LeftButton, {}, PointOf(1));
        QVERIFY(page_->tmrVisualize->isActive());
        QCOMPARE(page_->tmrVisualize->interval(), 25);
        QCOMPARE(page_->DragPoint(), 1);
        // Half way across and at the bottom: about noon at 0 %.
        const int x = img_->width() / 2;
        QTest::mouseMove(img_, QPoint(x, img_->height() - 21));
        const ScheduleRow& row = State().Schedule[1];
        QCOMPARE(row.Hour * 60 + row.Minute, qRound(1440.0 * (x - 20) / (img_->width() - 40)));
        QCOMPARE(int(row.Color16[0]), 0);
        QVERIFY(!State().Test(rqSetSchedule)); // nothing sent before the release
        QTest::mouseRelease(img_, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(State().Test(rqSetSchedule));
    }

    void PressBesideEveryPointStartsNoDrag() {
        const QPoint beside = PointOf(1) + QPoint(9, 0);
        QTest::mousePress(img_, Qt::LeftButton, {}, beside);
        QCOMPARE(page_->DragPoint(), -1);
        QTest::mouseMove(img_, QPoint(30, 30));
        QTest::mouseRelease(img_, Qt::LeftButton, {}, QPoint(30, 30));
        QVERIFY(SameRow(State().Schedule[1], Row(12, 0, 2048)));
        QVERIFY(!State().Test(rqSetSchedule));
    }

    void LockedTimesAndTheModeGeoChangeOnlyTheLevel() {
        page_->cbxTimeLock->setChecked(true);
        Drag(1, QPoint(30, 20));
        QCOMPARE(int(State().Schedule[1].Hour), 12);
        QCOMPARE(int(State().Schedule[1].Color16[0]), 4096);

        page_->cbxTimeLock->setChecked(false);
        State().Config.Mode = ModeGeo;
        State().Schedule[2].Alt = -1045; // a falling row at 276°
        window_->FillScheduleGrid();
        QVERIFY(!page_->cbxTimeLock->isVisible());
        Drag(2, QPoint(30, img_->height() - 21));
        QCOMPARE(int(State().Schedule[2].Hour), 20);
        QCOMPARE(int(State().Schedule[2].Color16[0]), 0);
        QCOMPARE(int(State().Schedule[2].Alt), -1045);
    }

    void PendingDownloadRefusesTheDrag() {
        State().Raise(rqGetSchedule);
        QTest::mousePress(img_, Qt::LeftButton, {}, PointOf(1));
        QVERIFY(!page_->tmrVisualize->isActive());
        QCOMPARE(page_->DragPoint(), -1);
        QTest::mouseMove(img_, QPoint(30, 20));
        QTest::mouseRelease(img_, Qt::LeftButton, {}, QPoint(30, 20));
        QVERIFY(SameRow(State().Schedule[1], Row(12, 0, 2048)));
        QVERIFY(!State().Test(rqSetSchedule));
    }

    void RowsTheGridCannotSendAreNotDragged() {
        std::vector<ScheduleRow> rows(130, Row(1, 0, 0));
        rows[129] = Row(20, 0, 2048);
        State().ResizeSchedule(int(rows.size()));
        State().Schedule = rows;
        window_->FillScheduleGrid();
        Uploaded();
        Drag(129, QPoint(30, 20));
        QVERIFY(SameRow(State().Schedule[129], Row(20, 0, 2048)));
        QCOMPARE(State().RowDirty[129], uint8_t(0));
        QVERIFY(!State().Test(rqSetSchedule));
        QVERIFY(!Entry("mnuUndo")->isEnabled());
    }

    // The curves take a new colour at once, whether the user or the controller renamed it.
    void NewChannelNamesRedrawTheCurves() {
        State().Config.ColorName[0] = 1; // white, as the code 0 is
        window_->RefreshControls();
        window_->FillScheduleGrid();
        const QImage drawn = img_->Picture();
        auto* name = window_->findChild<QComboBox*>("cmbName0");
        window_->ShowPage(window_->findChild<QWidget*>("tsChannels"));
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Down);
        QCOMPARE(int(State().Config.ColorName[0]), 2); // light red
        QVERIFY(img_->Picture() != drawn);

        const QImage renamed = img_->Picture();
        State().Config.ColorName[0] = 4;
        window_->RefreshControls();
        QVERIFY(img_->Picture() != renamed);
    }

    void WheelChoosesTheChannelOnThisPageOnly() {
        auto* list = window_->findChild<QComboBox*>("cmbVisualize");
        Wheel(img_, -120);
        QCOMPARE(page_->VisualisedChannel(), 1);
        QCOMPARE(list->currentIndex(), 1);
        Wheel(list, -120); // anywhere in the window
        Wheel(img_, -120);
        Wheel(img_, -120); // no wrap beyond B
        QCOMPARE(page_->VisualisedChannel(), 3);
        Wheel(img_, 120);
        QCOMPARE(page_->VisualisedChannel(), 2);

        // During a drag the wheel is left alone.
        QTest::mousePress(img_, Qt::LeftButton, {}, PointOf(1));
        Wheel(img_, 120);
        QCOMPARE(page_->VisualisedChannel(), 2);
        QTest::mouseRelease(img_, Qt::LeftButton, {}, PointOf(1));

        window_->ShowPage(window_->findChild<QWidget*>("tsChannels"));
        Wheel(window_->findChild<QWidget*>("trb0"), 120);
        QCOMPARE(page_->VisualisedChannel(), 2);
    }

    void CrossHairInsideThePicture() {
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(img_, &enter);
        QCOMPARE(img_->cursor().shape(), Qt::CrossCursor);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(img_, &leave);
        QCOMPARE(img_->cursor().shape(), Qt::ArrowCursor);
    }

    void StatusReadMovesTheCurrentTimeLine() {
        InfoBlock& info = State().Info;
        info.Year = 26;
        info.Month = 12;
        info.Day = 8;
        info.Hour = 3;
        info.Minute = 0;
        window_->RefreshStatus();
        const int x = 20 + qRound(180.0 * (img_->width() - 40) / 1440);
        QCOMPARE(img_->Picture().pixel(x, 3), 0xFFC0C0C0u);
        info.Hour = 4;
        window_->RefreshStatus();
        QVERIFY(img_->Picture().pixel(x, 3) != 0xFFC0C0C0u);
    }

    void ListChoosesTheDraggedChannel() {
        auto* list = window_->findChild<QComboBox*>("cmbVisualize");
        list->setCurrentIndex(2);
        emit list->activated(2);
        QCOMPARE(page_->VisualisedChannel(), 2);
        Drag(0, QPoint(PointOf(0).x(), 20));
        QCOMPARE(int(State().Schedule[0].Color16[2]), 4096);
        QCOMPARE(int(State().Schedule[0].Color16[0]), 0);
    }

    void UndoAndRedoRestoreAndUploadTheRow() {
        QVERIFY(!Entry("mnuUndo")->isEnabled());
        Drag(1, QPoint(img_->width() + 40, -40));
        const ScheduleRow dragged = State().Schedule[1];
        Uploaded();
        QVERIFY(Entry("mnuUndo")->isEnabled());
        QVERIFY(!Entry("mnuRedo")->isEnabled());

        QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(SameRow(State().Schedule[1], Row(12, 0, 2048)));
        QCOMPARE(State().RowDirty, (std::vector<uint8_t>{0, 1, 0}));
        QVERIFY(State().Test(rqSetSchedule));
        QVERIFY(Entry("mnuRedo")->isEnabled());
        Uploaded();

        QTest::keyClick(window_.get(), Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(SameRow(State().Schedule[1], dragged));
        QVERIFY(State().Test(rqSetSchedule));
        QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(SameRow(State().Schedule[1], dragged));
    }

    void DownloadEndsTheHistoryAndRefusesUndoMeanwhile() {
        Drag(1, QPoint(30, 20));
        const ScheduleRow dragged = State().Schedule[1];
        State().Raise(rqGetSchedule);
        Entry("mnuUndo")->trigger();
        QVERIFY(SameRow(State().Schedule[1], dragged));
        // The link fills the grid when the rows have arrived, its flag still raised.
        window_->FillScheduleGrid();
        State().Clear(rqGetSchedule);
        QVERIFY(!Entry("mnuUndo")->isEnabled());
        Entry("mnuUndo")->trigger();
        QVERIFY(SameRow(State().Schedule[1], dragged));
    }

    void ImportEndsTheHistory() {
        Drag(1, QPoint(30, 20));
        const QString path = fixture_.FilePath(QStringLiteral("schedule.ini"));
        WriteSettingsFile(path, State());
        window_->SettingsFileDialog = [&](const QString&, bool) { return path; };
        window_->Confirm = [](const QString&, const QString&) { return true; };
        Entry("mnuScheduleImport")->trigger();
        QVERIFY(!Entry("mnuUndo")->isEnabled());
    }

    void UndoNeedsAConnection() {
        Drag(1, QPoint(30, 20));
        window_->SetConnectedState(false);
        QVERIFY(!Entry("mnuUndo")->isEnabled());
        window_->SetConnectedState(true);
        QVERIFY(Entry("mnuUndo")->isEnabled());
    }
};

QTEST_MAIN(VisualizePageTest)
#include "visualize_page_test.moc"
