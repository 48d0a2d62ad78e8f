// SPDX-License-Identifier: GPL-3.0-or-later
#include "com/command_set.h"

#include <cstring>

namespace zel {

namespace {

// A block the controller never sent holds start values beside the change: it is not sent (the
// flag is cleared all the same, and the read that follows shows the controller's values).
template <typename Block>
bool LoadBlock(DeviceState& state, TransferBuffer& buffer, const Block& record, uint32_t flag,
               uint32_t readFlag) {
    std::lock_guard<std::mutex> guard(state.RequestLock);
    state.ClearHeld(flag);
    if (!state.IsRead(readFlag))
        return false;
    std::memcpy(buffer.data() + PayloadOffset, &record, sizeof(Block));
    return true;
}

// Clears the read flag; copies only while no write of the same block is pending, so a change
// the user made meanwhile is not overwritten by the controller's older state.
template <typename Block>
bool StoreBlock(DeviceState& state, const TransferBuffer& buffer, Block& record, uint32_t readFlag,
                uint32_t pendingWrites) {
    std::lock_guard<std::mutex> guard(state.RequestLock);
    state.ClearHeld(readFlag);
    if (state.SnapshotHeld() & pendingWrites)
        return false;
    std::memcpy(&record, buffer.data() + PayloadOffset, sizeof(Block));
    state.BlocksRead |= readFlag;
    return true;
}

} // namespace

void LoadInfo(DeviceState& state, TransferBuffer& buffer, uint32_t flag) {
    // Only the part being applied counts; the controller leaves the marked rest alone.
    LoadBlock(state, buffer, state.Info, flag, 0);
}

void MarkSetInfoParts(TransferBuffer& buffer, uint32_t part) {
    uint8_t* payload = buffer.data() + PayloadOffset;
    if (part != rqSetTime)
        payload[offsetof(InfoBlock, Minute)] = KeepMinute;
    if (part != rqSetChannels)
        std::memset(payload + offsetof(InfoBlock, Channel), 0xFF, sizeof(InfoBlock::Channel));
    if (part != rqSetRow)
        payload[offsetof(InfoBlock, CurrentRow)] = KeepRow;
}

bool StoreInfo(DeviceState& state, const TransferBuffer& buffer) {
    std::lock_guard<std::mutex> guard(state.RequestLock);
    state.ClearHeld(rqGetInfo);
    if (state.SnapshotHeld() & rqSetInfoAny)
        return false;
    std::memcpy(&state.Info, buffer.data() + PayloadOffset, sizeof(InfoBlock));
    state.BlocksRead |= rqGetInfo;
    state.ResizeScheduleHeld(state.Info.RowCount);
    return true;
}

bool LoadConfig(DeviceState& state, TransferBuffer& buffer) {
    return LoadBlock(state, buffer, state.Config, rqSetConfig, rqGetConfig);
}
bool StoreConfig(DeviceState& state, const TransferBuffer& buffer) {
    return StoreBlock(state, buffer, state.Config, rqGetConfig, rqSetConfig);
}
bool LoadExpert(DeviceState& state, TransferBuffer& buffer) {
    return LoadBlock(state, buffer, state.Expert, rqSetExpert, rqGetExpert);
}
bool StoreExpert(DeviceState& state, const TransferBuffer& buffer) {
    return StoreBlock(state, buffer, state.Expert, rqGetExpert, rqSetExpert);
}
bool LoadExpertWeather(DeviceState& state, TransferBuffer& buffer) {
    return LoadBlock(state, buffer, state.ExpertWeather, rqSetExpertWeather, rqGetExpertWeather);
}
bool StoreExpertWeather(DeviceState& state, const TransferBuffer& buffer) {
    return StoreBlock(state, buffer, state.ExpertWeather, rqGetExpertWeather, rqSetExpertWeather);
}
void StoreChart(DeviceState& state, const TransferBuffer& buffer) {
    StoreBlock(state, buffer, state.Chart, rqGetChart, 0);
}
void StoreHealth(DeviceState& state, const TransferBuffer& buffer) {
    StoreBlock(state, buffer, state.Health, rqGetHealth, 0);
}

bool NextDirtyRow(DeviceState& state, TransferBuffer& buffer, int* dropped) {
    std::lock_guard<std::mutex> guard(state.RequestLock);
    const size_t rows = std::min<size_t>(state.Info.RowCount, state.RowDirty.size());
    // Row indexes travel as int8: rows from 128 on can never be sent.
    for (size_t row = 0; row < rows && row < 128; ++row) {
        if (state.RowDirty[row] == 0)
            continue;
        state.RowDirty[row] = 0;
        // A row the controller never sent would go out with start values beside the change.
        if (row >= state.RowRead.size() || !state.RowRead[row]) {
            if (dropped)
                ++*dropped;
            continue;
        }
        buffer[PayloadOffset] = uint8_t(row);
        std::memcpy(buffer.data() + PayloadOffset + 1, &state.Schedule[row], sizeof(ScheduleRow));
        return true;
    }
    state.ClearHeld(rqSetSchedule);
    return false;
}

bool StoreRow(DeviceState& state, const TransferBuffer& buffer) {
    const int row = int8_t(buffer[PayloadOffset]);
    if (row < 0 || row >= int(state.Schedule.size()))
        return false;
    std::memcpy(&state.Schedule[size_t(row)], buffer.data() + PayloadOffset + 1,
                sizeof(ScheduleRow));
    state.RowRead[size_t(row)] = 1;
    return true;
}

QString OtherHardwareName(uint8_t hardwareId) {
    static const char* const names[] = {"KESTRAMON 1.x", "ZELPHORIN 1.x", "KESTRAMON 2.x",
                                        "ZELPHORIN 2.x", "MIRVANEL 1.x"};
    return hardwareId <= 9 ? QLatin1String(names[hardwareId / 2]) : QString::number(hardwareId);
}

} // namespace zel
