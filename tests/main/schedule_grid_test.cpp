// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule grid offscreen, driven as a user drives it: typing into cells, clicking the
// switch cells, right clicks on line numbers and column headers, dragging lines, and the
// refills that must leave a cell being edited alone.

#include "main/frm_phorin.h"
#include "main/pages/schedule_cells.h"
#include "main/pages/schedule_page.h"
#include "support/window_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

#include <memory>

using namespace zel;

namespace {
ScheduleRow Row(int hour, int minute, std::array<int16_t, ChannelCount> levels, uint8_t sw = 0,
                int16_t timer = 0) {
    ScheduleRow row{};
    row.Hour = int8_t(hour);
    row.Minute = int8_t(minute);
    for (int channel = 0; channel < ChannelCount; ++channel)
        row.Color16[channel] = levels[size_t(channel)];
    row.Switch = sw;
    row.Timer = timer;
    return row;
}

bool SameRow(const ScheduleRow& a, const ScheduleRow& b) {
    return std::memcmp(&a, &b, sizeof(ScheduleRow)) == 0;
}
} // namespace

class ScheduleGridTest : public QObject {
    Q_OBJECT

    test::WindowFixture fixture_;
    std::unique_ptr<TfrmPHORIN> window_;
    SchedulePage* page_ = nullptr;
    QTableWidget* grid_ = nullptr;

    DeviceState& State() { return window_->State(); }

    // A connected window on the schedule page with `rows` rows i:00, levels i %, timer i.
    void Open(int rows, uint8_t mode = ModeAuto) {
        window_ = fixture_.ShownWindow({QStringLiteral("-english")});
        QVERIFY(window_);
        window_->SetConnectedState(true);
        State().Config.Mode = mode;
        State().ResizeSchedule(rows);
        for (int i = 0; i < rows; ++i)
            State().Schedule[size_t(i)] =
                Row(i % 25, 0, {int16_t(i), int16_t(2 * i), 0, 4096}, SwitchDisplay, int16_t(i));
        page_ = window_->findChild<SchedulePage*>(QStringLiteral("tsSchedule"));
        grid_ = page_->sgSchedule;
        window_->ShowPage(page_);
        window_->FillScheduleGrid();
        State().Replace(0);
    }

    QString Text(int row, int column) { return grid_->item(row, column)->text(); }

    QPoint Centre(int row, int column) {
        return grid_->visualRect(grid_->model()->index(row, column)).center();
    }

    void Click(int row, int column, Qt::MouseButton button = Qt::LeftButton) {
        grid_->scrollTo(grid_->model()->index(row, column));
        QTest::mouseClick(grid_->viewport(), button, {}, Centre(row, column));
    }

    void RightClickHeader(int column) {
        QHeaderView* header = grid_->horizontalHeader();
        const QPoint point(header->sectionViewportPosition(column) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::RightButton, {}, point);
    }

    // Opens the cell's editor as a user does and types `text` over what it shows.
    QLineEdit* StartTyping(int row, int column, const QString& text) {
        Click(row, column);
        QTest::mouseDClick(grid_->viewport(), Qt::LeftButton, {}, Centre(row, column));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (!editor)
            return nullptr;
        editor->selectAll();
        QTest::keyClicks(editor, text);
        return editor;
    }

    bool Type(int row, int column, const QString& text) {
        QLineEdit* editor = StartTyping(row, column, text);
        if (!editor)
            return false;
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        return true;
    }

    std::vector<int> DirtyRows() {
        std::vector<int> rows;
        for (size_t i = 0; i < State().RowDirty.size(); ++i)
            if (State().RowDirty[i])
                rows.push_back(int(i));
        return rows;
    }

    void ClearDirty() {
        std::fill(State().RowDirty.begin(), State().RowDirty.end(), uint8_t(0));
        State().Replace(0);
    }

private slots:
    void cleanup() {
        window_.reset();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void FillShowsEveryColumnByMode() {
        Open(3);
        State().Schedule[1] = Row(7, 5, {2048, 1365, 4096, 0}, SwitchClouds | 0x03, -12);
        State().Info.CurrentRow = 1;
        window_->FillScheduleGrid();
        QCOMPARE(grid_->rowCount(), 3);
        QCOMPARE(grid_->horizontalHeaderItem(ColTime)->text(), QStringLiteral("Time"));
        const QStringList expected = {"1", "07:05", "50", "33.33", "100",
                                      "0", "OFF",   "ON", "OFF",   "-12"};
        for (int column = 0; column < ScheduleColumnCount; ++column)
            QCOMPARE(Text(1, column), expected[column]);
        QCOMPARE(page_->MarkedRow(), 1);
        QCOMPARE(page_->CellColour(1, ColLine), grid_->palette().color(QPalette::Highlight));
        QCOMPARE(page_->CellColour(1, ColDisplay), grid_->palette().color(QPalette::Button));
        QCOMPARE(page_->CellColour(1, ColClouds), grid_->palette().color(QPalette::Base));

        State().Config.Mode = ModeGeo;
        State().Schedule[0].Alt = 10000;
        State().Schedule[1].Alt = -10000;
        State().Schedule[2].Alt = 20000; // no altitude at all
        window_->FillScheduleGrid();
        QCOMPARE(grid_->horizontalHeaderItem(ColTime)->text(), QStringLiteral("Alt"));
        QCOMPARE(Text(0, ColTime), QStringLiteral("90"));
        QCOMPARE(Text(1, ColTime), QStringLiteral("-90"));
        QCOMPARE(Text(2, ColTime), QStringLiteral("0"));
        QCOMPARE(State().Snapshot(), 0u); // showing sends nothing
    }

    void EmptyScheduleShowsOneLineThatChangesNothing() {
        Open(0);
        QCOMPARE(grid_->rowCount(), 1);
        QCOMPARE(Text(0, ColTime), QString());
        Click(0, ColDisplay);
        Click(0, ColLine, Qt::RightButton);
        QVERIFY(!StartTyping(0, ColTimer, QStringLiteral("5")));
        QCOMPARE(State().Snapshot(), 0u);
        QCOMPARE(Text(0, ColDisplay), QString());
        // Rows arrive before the grid is filled again: a click on the empty line's switch sets
        // that switch alone, the empty cells beside it change nothing.
        State().ResizeSchedule(2);
        State().Schedule[0].Switch = 0x01;
        Click(0, ColDisplay);
        QCOMPARE(int(State().Schedule[0].Switch), 0x01 | SwitchDisplay);
    }

    void TypingCommitsTheRowAtEveryKeystroke() {
        Open(4);
        QLineEdit* editor = StartTyping(2, ColTime, QStringLiteral("12:3"));
        QVERIFY(editor);
        // "1", "12" set the minute, "12:" the hour (keeping minute 12), "12:3" minute 3.
        QCOMPARE(int(State().Schedule[2].Hour), 12);
        QCOMPARE(int(State().Schedule[2].Minute), 3);
        QCOMPARE(DirtyRows(), std::vector<int>{2});
        QVERIFY(State().Snapshot() & rqSetSchedule);
        QTest::keyClick(editor, Qt::Key_0);
        QCOMPARE(int(State().Schedule[2].Minute), 30);
        QCOMPARE(editor->text(), QStringLiteral("12:30"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(Text(2, ColTime), QStringLiteral("12:30"));
        // The other fields were taken from their cells as they stood.
        QVERIFY(SameRow(State().Schedule[1], Row(1, 0, {1, 2, 0, 4096}, SwitchDisplay, 1)));
        QCOMPARE(int(State().Schedule[2].Color16[1]), 4);
    }

    void EachCellIsParsedOnItsOwn_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("pasted"); // else typed key by key, each key committing the row
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("level"); // channel R
        QTest::addColumn<int>("timer");
        // Row 3 holds 03:00, R level 6, timer 3.
        const int time = ColTime;
        const int red = ColFirstChannel + 1;
        const int timer = ColTimer;
        QTest::newRow("end of day") << time << "24:00" << false << 24 << 0 << 6 << 3;
        // "1" and "12" were minutes before the colon came.
        QTest::newRow("hour typed with its colon") << time << "12:" << false << 12 << 12 << 6 << 3;
        QTest::newRow("hour pasted with its colon") << time << "12:" << true << 12 << 0 << 6 << 3;
        QTest::newRow("minute only keeps the hour") << time << ":30" << false << 3 << 30 << 6 << 3;
        QTest::newRow("no colon is the minute") << time << "45" << false << 3 << 45 << 6 << 3;
        QTest::newRow("letters") << time << "ab:cd" << false << 3 << 0 << 6 << 3;
        QTest::newRow("line break") << time << "12\n30" << true << 3 << 0 << 6 << 3;
        QTest::newRow("half") << red << "50" << false << 3 << 0 << 2048 << 3;
        QTest::newRow("ties to even") << red << "33.33" << false << 3 << 0 << 1365 << 3;
        QTest::newRow("comma") << red << "12,5" << false << 3 << 0 << 512 << 3;
        QTest::newRow("minus alone") << red << "-" << false << 3 << 0 << 6 << 3;
        QTest::newRow("infinite") << red << "1e999" << true << 3 << 0 << 6 << 3;
        QTest::newRow("forty digits")
            << red << "1234567890123456789012345678901234567890" << true << 3 << 0 << 6 << 3;
        QTest::newRow("timer beyond any integer")
            << timer << "99999999999999999999" << true << 3 << 0 << 6 << 3;
    }

    void EachCellIsParsedOnItsOwn() {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(bool, pasted);
        Open(5);
        auto* log = window_->findChild<QPlainTextEdit*>(QStringLiteral("mem"));
        const int logLines = log->blockCount();
        QLineEdit* editor = StartTyping(3, column, pasted ? QString() : text);
        QVERIFY(editor);
        if (pasted) {
            QGuiApplication::clipboard()->setText(text);
            editor->selectAll();
            QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
            QVERIFY(!editor->text().isEmpty());
        }
        QTest::keyClick(editor, Qt::Key_Return);
        const ScheduleRow& row = State().Schedule[3];
        QTEST(int(row.Hour), "hour");
        QTEST(int(row.Minute), "minute");
        QTEST(int(row.Color16[1]), "level");
        QTEST(int(row.Timer), "timer");
        QCOMPARE(int(row.Color16[3]), 4096);
        QCOMPARE(DirtyRows(), std::vector<int>{3});
        // Ordinary typing never writes to the log.
        QCOMPARE(log->blockCount(), logLines);
    }

    void AltitudeIsTypedInDegreesInTheModeGeo() {
        Open(3, ModeGeo);
        QVERIFY(Type(0, ColTime, QStringLiteral("90")));
        QCOMPARE(int(State().Schedule[0].Alt), 10000);
        QVERIFY(Type(1, ColTime, QStringLiteral("-6")));
        QCOMPARE(int(State().Schedule[1].Alt), -1045);
        QCOMPARE(int(State().Schedule[1].Hour), 1); // the time is not touched
    }

    void GermanDecimalSeparatorsBothCount() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        Open(2);
        QCOMPARE(Text(1, ColFirstChannel), QStringLiteral("0,02"));
        QVERIFY(Type(0, ColFirstChannel, QStringLiteral("12,5")));
        QCOMPARE(int(State().Schedule[0].Color16[0]), 512);
        QVERIFY(Type(1, ColFirstChannel, QStringLiteral("12.500")));
        QCOMPARE(int(State().Schedule[1].Color16[0]), 512);
    }

    void SwitchCellsToggleOneBitAndAreNeverEdited() {
        Open(3);
        State().Schedule[1].Switch = SwitchDisplay | SwitchStorms | 0x05;
        window_->FillScheduleGrid();
        Click(1, ColDisplay);
        QCOMPARE(Text(1, ColDisplay), QStringLiteral("OFF"));
        QCOMPARE(int(State().Schedule[1].Switch), SwitchStorms | 0x05);
        QCOMPARE(DirtyRows(), std::vector<int>{1});
        QVERIFY(State().Snapshot() & rqSetSchedule);
        QVERIFY(grid_->selectedItems().isEmpty());
        // A double click is two clicks; no editor opens on a switch.
        Click(1, ColClouds);
        QTest::mouseDClick(grid_->viewport(), Qt::LeftButton, {}, Centre(1, ColClouds));
        QVERIFY(!qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        QCOMPARE(int(State().Schedule[1].Switch), SwitchStorms | 0x05);
        Click(1, ColStorms);
        QCOMPARE(int(State().Schedule[1].Switch), 0x05);
        QCOMPARE(page_->CellColour(1, ColStorms), grid_->palette().color(QPalette::Button));
    }

    void RightClickOnALineNumberSendsTheCurrentRow() {
        Open(6);
        Click(3, ColLine, Qt::RightButton);
        QCOMPARE(int(State().Info.CurrentRow), 3);
        QCOMPARE(page_->MarkedRow(), 3);
        QCOMPARE(State().Snapshot(), uint32_t(rqSetRow));
        QCOMPARE(page_->CellColour(3, ColLine), grid_->palette().color(QPalette::Highlight));
        QCOMPARE(page_->CellColour(2, ColLine), grid_->palette().color(QPalette::Button));
        // Anywhere else a right click only chooses the column.
        State().Replace(0);
        Click(4, ColFirstChannel + 2, Qt::RightButton);
        QCOMPARE(page_->SelectedColumn, 2);
        QCOMPARE(State().Snapshot(), 0u);
    }

    void DraggingLineFiveToTwoRenumbersAndUploadsTheRange() {
        Open(8);
        std::vector<ScheduleRow> before = State().Schedule;
        QTest::mousePress(grid_->viewport(), Qt::LeftButton, {}, Centre(5, ColLine));
        QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, {}, Centre(2, ColLine));
        QVERIFY(SameRow(State().Schedule[2], before[5]));
        QVERIFY(SameRow(State().Schedule[3], before[2]));
        QVERIFY(SameRow(State().Schedule[5], before[4]));
        QVERIFY(SameRow(State().Schedule[6], before[6]));
        QCOMPARE(DirtyRows(), (std::vector<int>{2, 3, 4, 5}));
        for (int row = 0; row < 8; ++row)
            QCOMPARE(Text(row, ColLine), QString::number(row));
        QCOMPARE(Text(2, ColTimer), QStringLiteral("5"));

        ClearDirty();
        QTest::mousePress(grid_->viewport(), Qt::LeftButton, {}, Centre(1, ColLine));
        QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, {}, Centre(6, ColLine));
        QCOMPARE(DirtyRows(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
        QVERIFY(SameRow(State().Schedule[6], before[1]));
        // A line dropped where it was changes nothing.
        ClearDirty();
        QTest::mousePress(grid_->viewport(), Qt::LeftButton, {}, Centre(4, ColLine));
        QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, {}, Centre(4, ColLine));
        QCOMPARE(State().Snapshot(), 0u);
    }

    void CopyWAndPasteIntoB() {
        Open(4);
        State().Config.ColorName[0] = 7;
        State().Config.ColorName[3] = 4;
        window_->RefreshChannelNames();
        RightClickHeader(ColFirstChannel + 0);
        QVERIFY(page_->pumCol->isVisible());
        QVERIFY(!page_->mnuPasteCol->isEnabled());
        QVERIFY(!page_->mnuSwapCol->isEnabled());
        page_->mnuCopyCol->trigger();
        page_->pumCol->close();
        RightClickHeader(ColFirstChannel + 3);
        QVERIFY(page_->mnuPasteCol->isEnabled());
        page_->mnuPasteCol->trigger();
        page_->pumCol->close();
        QCOMPARE(int(State().Config.ColorName[3]), 7);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(int(State().Schedule[size_t(i)].Color16[3]), i);
            QCOMPARE(Text(i, ColFirstChannel + 3), Text(i, ColFirstChannel));
        }
        QCOMPARE(DirtyRows(), (std::vector<int>{0, 1, 2, 3}));
        QCOMPARE(State().Snapshot(), uint32_t(rqColumnEdit));
        QCOMPARE(grid_->horizontalHeaderItem(ColFirstChannel + 3)->text(),
                 QStringLiteral("ColdWhite: B"));
    }

    void SwapExchangesNamesAndLevels() {
        Open(3);
        State().Config.ColorName[1] = 2;
        State().Config.ColorName[2] = 3;
        RightClickHeader(ColFirstChannel + 1);
        page_->mnuCopyCol->trigger();
        page_->pumCol->close();
        RightClickHeader(ColFirstChannel + 2);
        page_->mnuSwapCol->trigger();
        page_->pumCol->close();
        QCOMPARE(int(State().Config.ColorName[1]), 3);
        QCOMPARE(int(State().Config.ColorName[2]), 2);
        QCOMPARE(int(State().Schedule[2].Color16[1]), 0);
        QCOMPARE(int(State().Schedule[2].Color16[2]), 4);
        QCOMPARE(grid_->horizontalHeaderItem(ColFirstChannel + 1)->text(),
                 QStringLiteral("Green: R"));
    }

    void ARefillLeavesTheCellBeingEditedAlone() {
        Open(3);
        QLineEdit* editor = StartTyping(1, ColFirstChannel, QStringLiteral("7"));
        QVERIFY(editor);
        State().Schedule[1].Color16[1] = 4096;
        State().Schedule[2].Timer = 77;
        window_->FillScheduleGrid();
        QCOMPARE(editor->text(), QStringLiteral("7"));
        QCOMPARE(Text(1, ColFirstChannel), QStringLiteral("7"));
        QCOMPARE(Text(1, ColFirstChannel + 1), QStringLiteral("100"));
        QCOMPARE(Text(2, ColTimer), QStringLiteral("77"));
        QTest::keyClick(editor, Qt::Key_5);
        QCOMPARE(editor->text(), QStringLiteral("75"));
        QCOMPARE(int(State().Schedule[1].Color16[0]), 3072);
    }

    void RowsThatCannotBeSentAreReadOnly() {
        Open(130);
        grid_->scrollToBottom();
        QTableWidgetItem* item = grid_->item(129, ColTimer);
        QVERIFY(!(item->flags() & Qt::ItemIsEditable));
        QVERIFY(!(item->flags() & Qt::ItemIsEnabled));
        QVERIFY(!item->toolTip().isEmpty());
        QVERIFY(grid_->item(127, ColTimer)->flags() & Qt::ItemIsEditable);
        Click(129, ColDisplay);
        Click(129, ColLine, Qt::RightButton);
        QCOMPARE(State().Snapshot(), 0u);
        QCOMPARE(Text(129, ColDisplay), QStringLiteral("ON"));
        // Dropped beyond the last sendable line, a line lands on it.
        QTest::mousePress(grid_->viewport(), Qt::LeftButton, {}, Centre(126, ColLine));
        QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, {}, Centre(129, ColLine));
        QCOMPARE(DirtyRows(), (std::vector<int>{126, 127}));
        QCOMPARE(int(State().Schedule[127].Timer), 126);
        QCOMPARE(int(State().Schedule[129].Timer), 129);
    }

    // ---- Undo and redo ----------------------------------------------------------------------

    void UndoTakesBackATypedCellInOneStep() {
        Open(4);
        const ScheduleRow before = State().Schedule[2];
        QVERIFY(Type(2, ColTime, QStringLiteral("12:30")));
        QVERIFY(Type(2, ColTimer, QStringLiteral("99")));
        // The closed editor goes once the event loop runs, as it does before the next key.
        QTRY_VERIFY(!grid_->findChild<QLineEdit*>());
        ClearDirty();
        QTest::keyClick(grid_, Qt::Key_Z, Qt::ControlModifier); // the timer cell
        QCOMPARE(int(State().Schedule[2].Timer), 2);
        QCOMPARE(Text(2, ColTimer), QStringLiteral("2"));
        QTest::keyClick(grid_, Qt::Key_Z, Qt::ControlModifier); // five keystrokes of time
        QVERIFY(SameRow(State().Schedule[2], before));
        QCOMPARE(Text(2, ColTime), QStringLiteral("02:00"));
        QCOMPARE(DirtyRows(), std::vector<int>{2});
        QVERIFY(State().Snapshot() & rqSetSchedule);
        QVERIFY(!window_->findChild<QAction*>(QStringLiteral("mnuUndo"))->isEnabled());
        QTest::keyClick(grid_, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Text(2, ColTime), QStringLiteral("12:30"));
        QCOMPARE(int(State().Schedule[2].Minute), 30);
    }

    // From the Options menu while the editor is still open: the cell shows the row restored.
    void UndoAndRedoFromTheMenuCloseTheCellEditor() {
        Open(4);
        QVERIFY(StartTyping(1, ColTimer, QStringLiteral("77")));
        QCOMPARE(int(State().Schedule[1].Timer), 77);
        window_->findChild<QAction*>(QStringLiteral("mnuUndo"))->trigger();
        QCOMPARE(int(State().Schedule[1].Timer), 1);
        QCOMPARE(Text(1, ColTimer), QStringLiteral("1"));
        QTRY_VERIFY(!grid_->findChild<QLineEdit*>());
        QVERIFY(StartTyping(1, ColTimer, QStringLiteral("1"))); // what it holds: no edit
        window_->findChild<QAction*>(QStringLiteral("mnuRedo"))->trigger();
        QCOMPARE(int(State().Schedule[1].Timer), 77);
        QCOMPARE(Text(1, ColTimer), QStringLiteral("77"));
    }

    void UndoTakesBackALineMoveAndAPaste() {
        Open(6);
        const std::vector<ScheduleRow> before = State().Schedule;
        QTest::mousePress(grid_->viewport(), Qt::LeftButton, {}, Centre(5, ColLine));
        QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, {}, Centre(1, ColLine));
        State().Config.ColorName[0] = 7;
        RightClickHeader(ColFirstChannel + 0);
        page_->mnuCopyCol->trigger();
        page_->pumCol->close();
        RightClickHeader(ColFirstChannel + 3);
        page_->mnuPasteCol->trigger();
        page_->pumCol->close();
        ClearDirty();

        window_->findChild<QAction*>(QStringLiteral("mnuUndo"))->trigger();
        QCOMPARE(int(State().Config.ColorName[3]), 0);
        QCOMPARE(State().Snapshot(), uint32_t(rqColumnEdit));
        QCOMPARE(grid_->horizontalHeaderItem(ColFirstChannel + 3)->text(),
                 QStringLiteral("Unnamed: B"));
        QCOMPARE(Text(1, ColFirstChannel + 3), QStringLiteral("100"));
        window_->findChild<QAction*>(QStringLiteral("mnuUndo"))->trigger();
        for (size_t row = 0; row < before.size(); ++row)
            QVERIFY(SameRow(State().Schedule[row], before[row]));
        QCOMPARE(Text(1, ColTimer), QStringLiteral("1"));
    }
};

QTEST_MAIN(ScheduleGridTest)
#include "schedule_grid_test.moc"
