// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What became of the user's changes. The link reports every write it starts and how each ended;
// this keeps the account the window shows: one log line when the controller has acknowledged a
// block (or schedule rows) and one when a write failed, "Sending…" while writes are pending and
// the time of the last acknowledged write after, and what an import sent. Reads never come
// here, so a refresh never produces a line. A change typed key by key, or a slider dragged, is
// sent many times: their acknowledgements make one line once the controller has been quiet for
// a moment.

#include "cfg/device_state.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <set>
#include <vector>

namespace zel {

class WriteFeedback : public QObject {
    Q_OBJECT
public:
    // Hears `state`'s raised flags (the user raises writes without a word to this).
    WriteFeedback(DeviceState& state, QObject* parent, int quietMs = 600);
    ~WriteFeedback() override;

    // From the link, on the host's thread.
    void WriteStarted(uint32_t flag);
    void WriteFinished(uint32_t flag, bool ok);
    void RowWriteFinished(int row, bool ok);
    // An import has raised its writes: the log says what of them the controller acknowledged
    // once they have all been answered (or one failed, which drops the rest).
    void ImportStarted();
    // The link has gone or identified anew: what was on its way will not be answered. Writes
    // raised while no controller is connected are not on their way either.
    void LinkChanged(bool connected);

signals:
    void LogLine(const QString& text);
    void StatusChanged(const QString& text);

private:
    void Update();
    void Acknowledged();
    void Failed(const QString& what);
    // The lines of the acknowledgements not written yet.
    void WriteAcknowledged();
    void EndImportIfDone(bool failed);
    int DirtyRows() const;

    DeviceState& state_;
    QTimer quiet_;
    bool connected_ = false;
    uint32_t inFlight_ = 0;
    // Acknowledged since the last line: blocks in their order, and schedule rows.
    std::vector<uint32_t> blocksAcknowledged_;
    std::set<int> rowsAcknowledged_;
    QDateTime lastAcknowledged_;
    QString status_;

    struct Import {
        uint32_t Blocks = 0; // not answered yet
        int BlockCount = 0;
        int BlocksAcknowledged = 0;
        int RowCount = 0;
        int RowsAnswered = 0;
        int RowsAcknowledged = 0;
    };
    bool importing_ = false;
    Import import_;
};

} // namespace zel
