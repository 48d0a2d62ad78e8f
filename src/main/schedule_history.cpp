#include "main/schedule_history.h"

#include <QUndoCommand>

#include <algorithm>
#include <cstring>

namespace zel {

namespace {
bool SameRow(const ScheduleRow& a, const ScheduleRow& b) {
    return std::memcmp(&a, &b, sizeof(ScheduleRow)) == 0;
}

class RowsCommand : public QUndoCommand {
public:
    RowsCommand(ScheduleHistory& history, std::vector<RowChange> changes, int mergeKey)
        : history_(history), changes_(std::move(changes)), mergeKey_(mergeKey) {}

    void undo() override { history_.Apply(changes_, false); }
    void redo() override {
        // The first redo is the edit itself, which the user has already made.
        if (done_)
            history_.Apply(changes_, true);
        done_ = true;
    }
    int id() const override { return mergeKey_ != 0 ? 1 : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* later = static_cast<const RowsCommand*>(other);
        if (later->mergeKey_ != mergeKey_)
            return false;
        for (const RowChange& change : later->changes_) {
            auto same = std::find_if(changes_.begin(), changes_.end(),
                                     [&](const RowChange& own) { return own.Row == change.Row; });
            if (same != changes_.end())
                same->After = change.After;
            else
                changes_.push_back(change);
        }
        // Typed back to what it was: nothing is left to undo.
        setObsolete(std::all_of(changes_.begin(), changes_.end(), [](const RowChange& change) {
            return SameRow(change.Before, change.After);
        }));
        return true;
    }

private:
    ScheduleHistory& history_;
    std::vector<RowChange> changes_;
    int mergeKey_;
    bool done_ = false;
};
} // namespace

ScheduleHistory::ScheduleHistory(DeviceState& state, QObject* parent)
    : QObject(parent), state_(state) {
    stack_.setUndoLimit(Depth);
    connect(&stack_, &QUndoStack::canUndoChanged, this, &ScheduleHistory::AvailabilityChanged);
    connect(&stack_, &QUndoStack::canRedoChanged, this, &ScheduleHistory::AvailabilityChanged);
}

// The stack empties itself as it goes and would report that to a window half gone.
ScheduleHistory::~ScheduleHistory() {
    stack_.disconnect(this);
}

void ScheduleHistory::Record(std::vector<RowChange> changes, int mergeKey) {
    changes.erase(std::remove_if(
                      changes.begin(), changes.end(),
                      [](const RowChange& change) { return SameRow(change.Before, change.After); }),
                  changes.end());
    if (changes.empty())
        return;
    stack_.push(new RowsCommand(*this, std::move(changes), mergeKey));
}

// While a download is pending the rows are about to be replaced: nothing is written.
void ScheduleHistory::Undo() {
    if (!state_.ScheduleDownloadPending())
        stack_.undo();
}

void ScheduleHistory::Redo() {
    if (!state_.ScheduleDownloadPending())
        stack_.redo();
}

void ScheduleHistory::Clear() {
    stack_.clear();
    ++generation_;
}

void ScheduleHistory::Apply(const std::vector<RowChange>& changes, bool after) {
    for (const RowChange& change : changes) {
        // The controller may hold fewer rows by now.
        if (change.Row < 0 || change.Row >= int(state_.Schedule.size()))
            continue;
        state_.Schedule[size_t(change.Row)] = after ? change.After : change.Before;
        state_.MarkRow(change.Row);
    }
    emit RowsChanged();
}

} // namespace zel
