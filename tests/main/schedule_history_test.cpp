// The undo history of schedule edits: rows written back and uploaded, keystrokes of one cell
// as one edit, its depth, and what ends it.

#include "main/schedule_history.h"

#include <QCoreApplication>
#include <QtTest>

using namespace zel;

namespace {
ScheduleRow Level(int level) {
    ScheduleRow row{};
    row.Color16[0] = int16_t(level);
    return row;
}
} // namespace

class ScheduleHistoryTest : public QObject {
    Q_OBJECT

private:
    DeviceState state_;

    // Makes an edit as a page does: the row changes, then the history hears of it.
    void Edit(ScheduleHistory& history, int row, int level, int mergeKey = 0) {
        const ScheduleRow before = state_.Schedule[size_t(row)];
        state_.Schedule[size_t(row)] = Level(level);
        history.Record({{row, before, state_.Schedule[size_t(row)]}}, mergeKey);
    }

    int LevelOf(int row) { return state_.Schedule[size_t(row)].Color16[0]; }

    void Uploaded() {
        std::fill(state_.RowDirty.begin(), state_.RowDirty.end(), 0);
        state_.Replace(0);
    }

private slots:
    void init() {
        state_.Replace(0);
        state_.ResizeSchedule(0);
        state_.ResizeSchedule(4);
    }

    void UndoAndRedoWriteAndUploadTheRows() {
        ScheduleHistory history(state_, nullptr);
        QSignalSpy changed(&history, &ScheduleHistory::RowsChanged);
        Edit(history, 2, 100);
        Edit(history, 3, 200);
        Uploaded();
        history.Undo();
        QCOMPARE(LevelOf(3), 0);
        QCOMPARE(LevelOf(2), 100);
        QCOMPARE(state_.RowDirty, (std::vector<uint8_t>{0, 0, 0, 1}));
        QVERIFY(state_.Test(rqSetSchedule));
        QCOMPARE(changed.count(), 1);
        history.Undo();
        QCOMPARE(LevelOf(2), 0);
        Uploaded();
        history.Redo();
        QCOMPARE(LevelOf(2), 100);
        QCOMPARE(state_.RowDirty, (std::vector<uint8_t>{0, 0, 1, 0}));
        QVERIFY(history.CanRedo());
    }

    void EditsThatChangeNothingAreNotKept() {
        ScheduleHistory history(state_, nullptr);
        Edit(history, 1, 0);
        QCOMPARE(history.Count(), 0);
        QVERIFY(!history.CanUndo());
    }

    void KeystrokesOfOneCellAreOneEdit() {
        ScheduleHistory history(state_, nullptr);
        Edit(history, 1, 1, 7);
        Edit(history, 1, 12, 7);
        Edit(history, 1, 123, 7);
        Edit(history, 2, 5, 8); // the next cell
        QCOMPARE(history.Count(), 2);
        history.Undo();
        QCOMPARE(LevelOf(2), 0);
        QCOMPARE(LevelOf(1), 123);
        history.Undo();
        QCOMPARE(LevelOf(1), 0);
        history.Redo();
        QCOMPARE(LevelOf(1), 123);
    }

    void TypingBackTheOldTextLeavesNothingToUndo() {
        ScheduleHistory history(state_, nullptr);
        Edit(history, 1, 4, 3);
        Edit(history, 1, 0, 3);
        QVERIFY(!history.CanUndo());
    }

    void KeepsTheLatestEditsBeyondAHundred() {
        ScheduleHistory history(state_, nullptr);
        const int edits = ScheduleHistory::Depth + 50;
        for (int edit = 1; edit <= edits; ++edit)
            Edit(history, 0, edit);
        QCOMPARE(history.Count(), ScheduleHistory::Depth);
        QVERIFY(ScheduleHistory::Depth >= 100);
        while (history.CanUndo())
            history.Undo();
        QCOMPARE(LevelOf(0), edits - ScheduleHistory::Depth);
    }

    void RowsTheControllerNoLongerHasAreSkipped() {
        ScheduleHistory history(state_, nullptr);
        Edit(history, 3, 50);
        Edit(history, 1, 60);
        state_.ResizeSchedule(2);
        Uploaded();
        history.Undo();
        history.Undo();
        QCOMPARE(LevelOf(1), 0);
        QCOMPARE(state_.RowDirty, (std::vector<uint8_t>{0, 1}));
    }

    void ClearEndsTheHistoryAndPendingDownloadRefusesUndo() {
        ScheduleHistory history(state_, nullptr);
        Edit(history, 0, 10);
        state_.Raise(rqGetSchedule);
        history.Undo();
        QCOMPARE(LevelOf(0), 10);
        const int generation = history.Generation();
        history.Clear();
        QVERIFY(history.Generation() != generation);
        QVERIFY(!history.CanUndo());
    }
};

QTEST_MAIN(ScheduleHistoryTest)
#include "schedule_history_test.moc"
