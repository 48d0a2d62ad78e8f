// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace zel {

// Pending requests of the host to the link thread, one bit each (bits 18 to 31 stay 0).
enum RequestFlag : uint32_t {
    rqGetInfo = 0x00001,
    rqSetTime = 0x00002,
    rqSetChannels = 0x00004,
    rqSetRow = 0x00008,
    rqGetConfig = 0x00010,
    rqSetConfig = 0x00020,
    rqGetSchedule = 0x00040,
    rqSetSchedule = 0x00080,
    rqGetExpert = 0x00100,
    rqSetExpert = 0x00200,
    rqGetExpertWeather = 0x00400,
    rqSetExpertWeather = 0x00800,
    rqGetChart = 0x01000,
    rqGetHealth = 0x02000,
    rqFirmware = 0x04000,
    rqSaveEEPROM = 0x08000,
    rqToggleCloud = 0x10000,
    rqToggleStorm = 0x20000,
};

// Values raised or set in one step.
constexpr uint32_t rqPeriodicPoll = rqGetInfo | rqGetConfig; // 0x00011
constexpr uint32_t rqRefreshAll =
    rqGetInfo | rqGetConfig | rqGetSchedule | rqGetExpert | rqGetExpertWeather;     // 0x00551
constexpr uint32_t rqReadEverything = rqRefreshAll | rqGetChart;                    // 0x01551
constexpr uint32_t rqImportConfig = rqSetConfig | rqSetExpert | rqSetExpertWeather; // 0x00A20
constexpr uint32_t rqColumnEdit = rqSetConfig | rqSetSchedule;                      // 0x000A0
constexpr uint32_t rqChartSource = rqSetExpert | rqGetChart;                        // 0x01200
constexpr uint32_t rqSetInfoAny = rqSetTime | rqSetChannels | rqSetRow;
constexpr uint32_t rqAllWrites =
    rqSetInfoAny | rqSetConfig | rqSetSchedule | rqSetExpert | rqSetExpertWeather;

static_assert(rqPeriodicPoll == 0x00011 && rqRefreshAll == 0x00551 && rqReadEverything == 0x01551 &&
              rqImportConfig == 0x00A20 && rqColumnEdit == 0x000A0 && rqChartSource == 0x01200);

} // namespace zel
