#pragma once

#include "cfg/device_state.h"

#include <QObject>
#include <QUndoStack>

#include <vector>

namespace zel {

// One schedule row as an edit left it, and as it was before.
struct RowChange {
    int Row = 0;
    ScheduleRow Before{};
    ScheduleRow After{};
};

// The undo and redo history of the user's schedule edits, on this window's pages. Every
// undo or redo writes the rows back, marks them dirty and raises rqSetSchedule, like any
// edit. Rows that come from elsewhere (a download, an import) end the history.
class ScheduleHistory : public QObject {
    Q_OBJECT
public:
    static constexpr int Depth = 200;

    ScheduleHistory(DeviceState& state, QObject* parent);
    ~ScheduleHistory() override;

    // Records an edit already made to the rows. Edits with the same non-zero mergeKey that
    // follow each other become one (the keystrokes typed into one cell).
    void Record(std::vector<RowChange> changes, int mergeKey = 0);
    void Undo();
    void Redo();
    void Clear();
    // Changes with every Clear: an edit begun before it belongs to other rows.
    int Generation() const { return generation_; }
    bool CanUndo() const { return stack_.canUndo(); }
    bool CanRedo() const { return stack_.canRedo(); }
    int Count() const { return stack_.count(); }

    // Writes rows as an undo or redo left them.
    void Apply(const std::vector<RowChange>& changes, bool after);

signals:
    void RowsChanged();
    void AvailabilityChanged();

private:
    DeviceState& state_;
    QUndoStack stack_;
    int generation_ = 0;
};

} // namespace zel
