// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/schedule_history.h"

#include <QUndoCommand>

#include <algorithm>
#include <cstring>

namespace zel {

namespace {
bool SameChange(const ScheduleChange& a, const ScheduleChange& b) {
    return a.FirstRow == b.FirstRow && a.ColorNames == b.ColorNames &&
           a.Rows.size() == b.Rows.size() &&
           std::equal(a.Rows.begin(), a.Rows.end(), b.Rows.begin(),
                      [](const ScheduleRow& x, const ScheduleRow& y) {
                          return std::memcmp(&x, &y, sizeof(ScheduleRow)) == 0;
                      });
}

class ChangeCommand : public QUndoCommand {
public:
    ChangeCommand(const ScheduleHistory::Road& road, ScheduleChange before, ScheduleChange after,
                  int mergeKey)
        : road_(road), before_(std::move(before)), after_(std::move(after)), mergeKey_(mergeKey) {}

    void undo() override { road_(before_); }
    void redo() override {
        // The first redo is the edit itself, which has been made already.
        if (done_)
            road_(after_);
        done_ = true;
    }
    int id() const override { return mergeKey_ != 0 ? 1 : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* later = static_cast<const ChangeCommand*>(other);
        if (later->mergeKey_ != mergeKey_ || later->after_.FirstRow != after_.FirstRow ||
            later->after_.Rows.size() != after_.Rows.size())
            return false;
        after_ = later->after_;
        // Typed back to what it was: nothing is left to undo.
        setObsolete(SameChange(before_, after_));
        return true;
    }

private:
    const ScheduleHistory::Road& road_;
    ScheduleChange before_;
    ScheduleChange after_;
    int mergeKey_;
    bool done_ = false;
};
} // namespace

ScheduleHistory::ScheduleHistory(DeviceState& state, Road road, QObject* parent)
    : QObject(parent), state_(state), road_(std::move(road)) {
    stack_.setUndoLimit(Depth);
    connect(&stack_, &QUndoStack::canUndoChanged, this, &ScheduleHistory::AvailabilityChanged);
    connect(&stack_, &QUndoStack::canRedoChanged, this, &ScheduleHistory::AvailabilityChanged);
}

// The stack empties itself as it goes and would report that to a window half gone.
ScheduleHistory::~ScheduleHistory() {
    stack_.disconnect(this);
}

ScheduleChange ScheduleHistory::Current(const ScheduleChange& change) const {
    ScheduleChange current;
    current.FirstRow = change.FirstRow;
    for (size_t k = 0; k < change.Rows.size(); ++k) {
        const size_t index = size_t(change.FirstRow) + k;
        if (change.FirstRow < 0 || index >= state_.Schedule.size())
            break;
        current.Rows.push_back(state_.Schedule[index]);
    }
    if (change.ColorNames) {
        current.ColorNames.emplace();
        for (int channel = 0; channel < ChannelCount; ++channel)
            (*current.ColorNames)[size_t(channel)] = state_.Config.ColorName[channel];
    }
    return current;
}

void ScheduleHistory::Make(const ScheduleChange& change, int mergeKey) {
    ScheduleChange before = Current(change);
    road_(change);
    // What the road took: rows beyond the schedule are not part of the edit.
    Keep(std::move(before), Current(change), mergeKey);
}

void ScheduleHistory::Record(const ScheduleChange& before, const ScheduleChange& after) {
    Keep(before, after, 0);
}

void ScheduleHistory::Keep(ScheduleChange before, ScheduleChange after, int mergeKey) {
    // A change that changed nothing is not an edit: it keeps the redo history, which any
    // push would end.
    if (SameChange(before, after))
        return;
    stack_.push(new ChangeCommand(road_, std::move(before), std::move(after), mergeKey));
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

} // namespace zel
