// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"

#include <QObject>
#include <QUndoStack>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace zel {

// A change the user makes to schedule rows: rows FirstRow, FirstRow + 1, ... take the given
// contents. A column paste or swap renames the channels as well.
struct ScheduleChange {
    int FirstRow = 0;
    std::vector<ScheduleRow> Rows;
    std::optional<std::array<uint8_t, ChannelCount>> ColorNames;
};

// The undo and redo history of the user's schedule edits, on the schedule and visualisation
// pages. Undo and redo make their change through the same road as the edit itself, so the
// rows are stored, shown, marked dirty and uploaded like any edit. Rows that come from
// elsewhere (a download, an import) end the history.
class ScheduleHistory : public QObject {
    Q_OBJECT
public:
    static constexpr int Depth = 200;
    using Road = std::function<void(const ScheduleChange&)>;

    // road: stores a change in the records, shows it and uploads it.
    ScheduleHistory(DeviceState& state, Road road, QObject* parent);
    ~ScheduleHistory() override;

    // Makes the change through the road and keeps it. Changes with the same non-zero mergeKey
    // that follow each other become one edit (the keystrokes typed into one cell).
    void Make(const ScheduleChange& change, int mergeKey = 0);
    // Keeps a change already made (a drag): `before` holds the rows as they were.
    void Record(const ScheduleChange& before, const ScheduleChange& after);
    void Undo();
    void Redo();
    void Clear();
    // Changes with every Clear: an edit begun before it belongs to other rows.
    int Generation() const { return generation_; }
    bool CanUndo() const { return stack_.canUndo(); }
    bool CanRedo() const { return stack_.canRedo(); }
    int Count() const { return stack_.count(); }

signals:
    void AvailabilityChanged();

private:
    // The rows and names a change would replace, as they are now.
    ScheduleChange Current(const ScheduleChange& change) const;
    void Keep(ScheduleChange before, ScheduleChange after, int mergeKey);

    DeviceState& state_;
    Road road_;
    QUndoStack stack_;
    int generation_ = 0;
};

} // namespace zel
