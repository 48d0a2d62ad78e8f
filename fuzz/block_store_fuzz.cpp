// SPDX-License-Identifier: GPL-3.0-or-later
// Every block the controller sends, stored into its record from any bytes.

#include "com/command_set.h"
#include "fuzz_support.h"

#include <cstring>

using namespace zel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::EnsureApplication();
    if (size < 1)
        return 0;
    TransferBuffer buffer{};
    std::memcpy(buffer.data(), data + 1, std::min(size - 1, buffer.size()));
    DeviceState state;
    const int rows = data[0] % 129;
    state.Info.RowCount = uint8_t(rows);
    state.ResizeSchedule(rows);
    switch (data[0] >> 5) {
    case 0:
        StoreInfo(state, buffer);
        break;
    case 1:
        StoreConfig(state, buffer);
        break;
    case 2:
        StoreExpert(state, buffer);
        break;
    case 3:
        StoreExpertWeather(state, buffer);
        break;
    case 4:
        StoreChart(state, buffer);
        break;
    case 5:
        StoreHealth(state, buffer);
        break;
    default:
        StoreRow(state, buffer);
        break;
    }
    // What was stored goes out again as the link would send it.
    LoadConfig(state, buffer);
    LoadExpert(state, buffer);
    LoadExpertWeather(state, buffer);
    LoadInfo(state, buffer, rqSetChannels);
    NextDirtyRow(state, buffer);
    return 0;
}
