// SPDX-License-Identifier: GPL-3.0-or-later
#include "cfg/device_state.h"

#include <algorithm>

namespace zel {

DeviceState::DeviceState() {
    Config.Lat = 501;
    Config.Lon = 85;
    // Indexed: a reference to a member of a packed record may be misaligned.
    for (int i = 0; i < ChartSampleCount; ++i)
        Chart.Sample[i] = NoMeasurement;
}

void DeviceState::Raise(uint32_t flags) {
    std::lock_guard<std::mutex> guard(RequestLock);
    RaiseHeld(flags);
}

void DeviceState::Replace(uint32_t flags) {
    std::lock_guard<std::mutex> guard(RequestLock);
    RaiseHeld(flags, 0);
}

void DeviceState::RaiseHeld(uint32_t flags, uint32_t kept) {
    // One store: an unlocked reader never sees the flags cleared on the way.
    Requests.store((Requests.load() & kept) | flags);
    requestRaised_.notify_all();
    if (raised_)
        raised_(flags);
}

void DeviceState::SetRaiseListener(std::function<void(uint32_t)> listener) {
    std::lock_guard<std::mutex> guard(RequestLock);
    raised_ = std::move(listener);
}

void DeviceState::WaitForRequest(std::chrono::steady_clock::time_point until,
                                 const std::function<bool()>& woken) {
    std::unique_lock<std::mutex> lock(RequestLock);
    requestRaised_.wait_until(lock, until, [&] { return Requests.load() != 0 || woken(); });
}

void DeviceState::Wake() {
    std::lock_guard<std::mutex> guard(RequestLock);
    requestRaised_.notify_all();
}

bool DeviceState::Test(uint32_t flag, uint32_t notFlags) const {
    std::lock_guard<std::mutex> guard(RequestLock);
    const uint32_t word = Requests.load();
    return (word & flag) == flag && (word & notFlags) == 0;
}

void DeviceState::Clear(uint32_t flags) {
    std::lock_guard<std::mutex> guard(RequestLock);
    Requests.store(Requests.load() & ~flags);
}

uint32_t DeviceState::Snapshot() const {
    std::lock_guard<std::mutex> guard(RequestLock);
    return Requests.load();
}

void DeviceState::MarkRow(int row) {
    std::lock_guard<std::mutex> guard(RequestLock);
    if (row < 0 || row >= int(RowDirty.size()))
        return;
    RowDirty[size_t(row)] = 1;
    RaiseHeld(rqSetSchedule);
}

void DeviceState::MarkRows(int first, int count, uint32_t extraFlags) {
    std::lock_guard<std::mutex> guard(RequestLock);
    const int end = std::min(first + count, int(RowDirty.size()));
    for (int row = std::max(first, 0); row < end; ++row)
        RowDirty[size_t(row)] = 1;
    RaiseHeld(extraFlags | rqSetSchedule);
}

void DeviceState::MarkAllRows(uint32_t extraFlags) {
    std::lock_guard<std::mutex> guard(RequestLock);
    for (uint8_t& dirty : RowDirty)
        dirty = 1;
    RaiseHeld(extraFlags | rqSetSchedule);
}

int DeviceState::RowsRead() const {
    return int(std::count(RowRead.begin(), RowRead.end(), uint8_t(1)));
}

void DeviceState::ForgetReads() {
    BlocksRead = 0;
    std::fill(RowRead.begin(), RowRead.end(), uint8_t(0));
}

bool DeviceState::ScheduleDownloadPending() const {
    return (Requests.load(std::memory_order_relaxed) & rqGetSchedule) != 0;
}

void DeviceState::ResizeSchedule(int rowCount) {
    std::lock_guard<std::mutex> guard(RequestLock);
    ResizeScheduleHeld(rowCount);
}

void DeviceState::ResizeScheduleHeld(int rowCount) {
    const size_t count = size_t(rowCount < 0 ? 0 : rowCount);
    // New rows hold zeros, not the controller's rows.
    if (count > Schedule.size())
        BlocksRead &= ~rqGetSchedule;
    RowRead.resize(count, 0);
    RowDirty.resize(count, 0);
    Schedule.resize(count, ScheduleRow{});
    PointCache.resize(count, PointCacheEntry{});
}

} // namespace zel
