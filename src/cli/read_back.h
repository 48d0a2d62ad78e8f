// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "files/settings_keys.h"

#include <QStringList>

#include <map>
#include <optional>

namespace zel {

// What a command sent to the controller, kept to be compared with what the controller reads
// back: a value stored differently, or refused, must not pass as done.
class ReadBack {
public:
    // Takes a copy of every block whose write is raised and of every row marked for upload.
    // Call it on the host thread right after the change, before the link can send anything.
    void Expect(DeviceState& state);
    bool Empty() const;

    // Once everything has been sent: raises the reads of the expected blocks. The expected rows
    // are first overwritten with every bit flipped, so a row that does not come back cannot
    // pass for one that did.
    void RequestReads(DeviceState& state);

    // A block has been read and stored (Row: a schedule download has ended); compares it when
    // it is expected. Returns true once every expected block has been compared.
    bool Read(FieldBlock block, DeviceState& state);

    // One line per field that differs ("Config.FanHigh: sent 80, read back 81") and per row
    // that did not come back; empty when everything matched.
    const QStringList& Mismatches() const { return mismatches_; }
    // True when a row did not come back at all: the controller did not answer, it did not
    // store something else.
    bool RowsMissing() const { return rowsMissing_; }

private:
    std::optional<ConfigBlock> config_;
    std::optional<ExpertBlock> expert_;
    std::optional<ExpertWeatherBlock> expertWeather_;
    std::map<size_t, ScheduleRow> rows_;
    bool rowsExpected_ = false;
    QStringList mismatches_;
    bool rowsMissing_ = false;
};

} // namespace zel
