// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/records.h"
#include "cfg/requests.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace zel {

// Five floats a row that the curve view caches; kept the same length as the schedule.
using PointCacheEntry = std::array<float, 5>;

// The host's copies of the controller's blocks and the request word shared with the link
// thread. The records, Schedule, RowDirty and PointCache are touched on the host thread only
// (the link thread reaches them through its synchronised copy routines). Requests and
// RowDirty are changed only under RequestLock; every locked operation below releases it on
// every path because it holds a scoped guard.
class DeviceState {
public:
    DeviceState();

    InfoBlock Info{};
    ConfigBlock Config{};
    std::vector<ScheduleRow> Schedule;
    ExpertBlock Expert{};
    ExpertWeatherBlock ExpertWeather{};
    ChartBlock Chart{};
    HealthBlock Health{};
    std::vector<uint8_t> RowDirty;
    std::vector<PointCacheEntry> PointCache;

    // What the records hold from the controller, so that start values or a part-way read are
    // never saved, shown or sent back as its data. Host thread only, cleared when the link
    // identifies a controller. BlocksRead holds the read flag of each block stored since;
    // rqGetSchedule only while the last schedule download brought every row. RowRead marks the
    // rows that arrived since (same length as Schedule).
    uint32_t BlocksRead = 0;
    std::vector<uint8_t> RowRead;
    bool IsRead(uint32_t readFlags) const { return (BlocksRead & readFlags) == readFlags; }
    int RowsRead() const;
    void ForgetReads();

    mutable std::mutex RequestLock;

    // Raising a flag (here or by marking rows) wakes a WaitForRequest.
    void Raise(uint32_t flags);
    void Replace(uint32_t flags);
    // True when every bit of flag is set and none of notFlags.
    bool Test(uint32_t flag, uint32_t notFlags = 0) const;
    void Clear(uint32_t flags);
    uint32_t Snapshot() const;
    // Sleeps, RequestLock released, until a flag is raised, `woken` holds or `until` has come.
    // `woken` is tested under RequestLock, so a Wake that follows its turning true is never
    // lost.
    void WaitForRequest(std::chrono::steady_clock::time_point until,
                        const std::function<bool()>& woken);
    // Has a WaitForRequest test its `woken` again.
    void Wake();
    // Called with the flags of every raise, on the raising thread and under RequestLock (so
    // once this returns with another listener, the old one is never called again): it must
    // only hand the news on, e.g. post it to its own thread. An empty listener stops it.
    void SetRaiseListener(std::function<void(uint32_t flags)> listener);
    // RowDirty[row] := 1 and rqSetSchedule raised, in one locked step. Rows outside the
    // schedule are ignored.
    void MarkRow(int row);
    // Rows first .. first + count - 1 (those inside the schedule) marked and rqSetSchedule and
    // extraFlags raised, in one locked step.
    void MarkRows(int first, int count, uint32_t extraFlags = 0);
    // Marks rows 0 to the last row, then raises extraFlags (rqSetSchedule at least).
    void MarkAllRows(uint32_t extraFlags = rqSetSchedule);
    // Only for the unlocked host test "is a schedule download pending".
    bool ScheduleDownloadPending() const;

    // Schedule, RowDirty, RowRead and PointCache take the new length together; existing entries
    // keep their contents, new ones are zero. Called when an Info block is stored.
    void ResizeSchedule(int rowCount);
    // The same for a caller that already holds RequestLock.
    void ResizeScheduleHeld(int rowCount);

    // For copy routines that hold RequestLock for their whole body.
    void ClearHeld(uint32_t flags) { Requests.store(Requests.load() & ~flags); }
    uint32_t SnapshotHeld() const { return Requests.load(); }

private:
    void RaiseHeld(uint32_t flags, uint32_t kept = ~0u);

    // Written under RequestLock only; atomic so the host's unlocked test is a plain load.
    std::atomic<uint32_t> Requests{0};
    std::condition_variable requestRaised_;
    std::function<void(uint32_t)> raised_;
};

} // namespace zel
