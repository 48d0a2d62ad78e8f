// SPDX-License-Identifier: GPL-3.0-or-later
// The undo history of schedule edits: changes made and taken back through one road, the
// keystrokes of one cell as one edit, the channel names of a column paste, its depth, and
// what ends it.

#include "main/pages/schedule_history.h"

#include <QCoreApplication>
#include <QtTest>

using namespace zel;

namespace {
ScheduleRow Level(int level) {
    ScheduleRow row{};
    row.Color16[0] = int16_t(level);
    return row;
}

ScheduleChange RowChange(int row, int level) {
    return {row, {Level(level)}, std::nullopt};
}
} // namespace

class ScheduleHistoryTest : public QObject {
    Q_OBJECT

private:
    DeviceState state_;
    QList<ScheduleChange> travelled_; // every change that went the road

    // The road as a page has it: the rows and names stored and marked for upload.
    ScheduleHistory::Road Road() {
        return [this](const ScheduleChange& change) {
            travelled_.append(change);
            for (size_t k = 0; k < change.Rows.size(); ++k) {
                const size_t index = size_t(change.FirstRow) + k;
                if (index >= state_.Schedule.size())
                    break;
                state_.Schedule[index] = change.Rows[k];
                state_.MarkRow(int(index));
            }
            if (change.ColorNames)
                for (int channel = 0; channel < ChannelCount; ++channel)
                    state_.Config.ColorName[channel] = (*change.ColorNames)[size_t(channel)];
        };
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
        travelled_.clear();
    }

    void UndoAndRedoGoTheRoadOfTheEdit() {
        ScheduleHistory history(state_, Road(), nullptr);
        history.Make(RowChange(2, 100));
        history.Make(RowChange(3, 200));
        QCOMPARE(travelled_.size(), 2);
        Uploaded();
        history.Undo();
        QCOMPARE(LevelOf(3), 0);
        QCOMPARE(LevelOf(2), 100);
        QCOMPARE(state_.RowDirty, (std::vector<uint8_t>{0, 0, 0, 1}));
        QVERIFY(state_.Test(rqSetSchedule));
        history.Undo();
        QCOMPARE(LevelOf(2), 0);
        Uploaded();
        history.Redo();
        QCOMPARE(LevelOf(2), 100);
        QCOMPARE(state_.RowDirty, (std::vector<uint8_t>{0, 0, 1, 0}));
        QVERIFY(history.CanRedo());
        QCOMPARE(travelled_.size(), 5);
    }

    void RecordedEditIsNotMadeAgain() {
        ScheduleHistory history(state_, Road(), nullptr);
        state_.Schedule[1] = Level(70); // a drag, already made
        history.Record(RowChange(1, 0), RowChange(1, 70));
        QVERIFY(travelled_.isEmpty());
        history.Undo();
        QCOMPARE(LevelOf(1), 0);
    }

    void EditsThatChangeNothingAreNotKept() {
        ScheduleHistory history(state_, Road(), nullptr);
        history.Make(RowChange(1, 0));
        history.Record(RowChange(1, 0), RowChange(1, 0));
        QCOMPARE(history.Count(), 0);
        QVERIFY(!history.CanUndo());

        // Nor do they end the redo history.
        history.Make(RowChange(2, 30));
        history.Undo();
        QSignalSpy availability(&history, &ScheduleHistory::AvailabilityChanged);
        history.Make(RowChange(1, 0));
        history.Make(RowChange(3, 0), 4);
        QVERIFY(history.CanRedo());
        QVERIFY(availability.isEmpty());
        history.Redo();
        QCOMPARE(LevelOf(2), 30);
    }

    void KeystrokesOfOneCellAreOneEdit() {
        ScheduleHistory history(state_, Road(), nullptr);
        history.Make(RowChange(1, 1), 7);
        history.Make(RowChange(1, 12), 7);
        history.Make(RowChange(1, 123), 7);
        history.Make(RowChange(2, 5), 8); // the next cell
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
        ScheduleHistory history(state_, Road(), nullptr);
        history.Make(RowChange(1, 4), 3);
        history.Make(RowChange(1, 0), 3);
        QVERIFY(!history.CanUndo());
    }

    void ColumnPasteTakesItsNamesBack() {
        ScheduleHistory history(state_, Road(), nullptr);
        state_.Config.ColorName[0] = 2;
        state_.Config.ColorName[1] = 4;
        ScheduleChange paste{0, {Level(9), Level(9), Level(9), Level(9)}, std::nullopt};
        paste.ColorNames = std::array<uint8_t, ChannelCount>{4, 4, 0, 0};
        history.Make(paste);
        QCOMPARE(int(state_.Config.ColorName[0]), 4);
        history.Undo();
        QCOMPARE(int(state_.Config.ColorName[0]), 2);
        QCOMPARE(int(state_.Config.ColorName[1]), 4);
        QCOMPARE(LevelOf(3), 0);
    }

    void KeepsTheLatestEditsBeyondAHundred() {
        ScheduleHistory history(state_, Road(), nullptr);
        const int edits = ScheduleHistory::Depth + 50;
        for (int edit = 1; edit <= edits; ++edit)
            history.Make(RowChange(0, edit));
        QCOMPARE(history.Count(), ScheduleHistory::Depth);
        QVERIFY(ScheduleHistory::Depth >= 100);
        while (history.CanUndo())
            history.Undo();
        QCOMPARE(LevelOf(0), edits - ScheduleHistory::Depth);
    }

    void RowsBeyondTheScheduleAreNotPartOfTheEdit() {
        ScheduleHistory history(state_, Road(), nullptr);
        history.Make({3, {Level(5), Level(6)}, std::nullopt}); // row 4 does not exist
        history.Make(RowChange(1, 60));
        state_.ResizeSchedule(2);
        Uploaded();
        history.Undo();
        history.Undo();
        QCOMPARE(LevelOf(1), 0);
        QCOMPARE(state_.RowDirty, (std::vector<uint8_t>{0, 1}));
    }

    void ClearEndsTheHistoryAndPendingDownloadRefusesUndo() {
        ScheduleHistory history(state_, Road(), nullptr);
        history.Make(RowChange(0, 10));
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
