// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The copy routines between the records and the transfer buffer. They run on the host's
// thread (through the synchronised call) and, except StoreRow, hold RequestLock while they
// copy and clear the flag of the request they take over.

#include "cfg/device_state.h"
#include "com/line_transaction.h"

#include <QString>

namespace zel {

// Block lengths on the wire.
constexpr int DeviceIdLength = 2;
constexpr int InfoLength = int(sizeof(InfoBlock));
constexpr int ConfigLength = int(sizeof(ConfigBlock));
constexpr int RowMessageLength = int(sizeof(ScheduleRowMessage));
constexpr int ExpertLength = int(sizeof(ExpertBlock));
constexpr int ExpertWeatherLength = int(sizeof(ExpertWeatherBlock));
constexpr int ChartLength = int(sizeof(ChartBlock));
constexpr int HealthLength = int(sizeof(HealthBlock));
constexpr int BootInfoLength = 6;
constexpr int FlashBlockLength = 66;
constexpr int RestartLength = 6;

// Sub-codes of the one-byte command "7F".
constexpr uint8_t SubStartBootloader = 0x00;
constexpr uint8_t SubSaveEEPROM = 0x01;
constexpr uint8_t SubToggleCloud = 0x02;
constexpr uint8_t SubToggleStorm = 0x03;

void LoadInfo(DeviceState& state, TransferBuffer& buffer, uint32_t flag);
// Marks the parts of an outgoing Info block that the controller must leave alone; `part` is
// the one SetInfo flag being served.
void MarkSetInfoParts(TransferBuffer& buffer, uint32_t part);
// Returns true when the block was copied (no SetInfo flag pending).
bool StoreInfo(DeviceState& state, const TransferBuffer& buffer);
// Load* of a whole block: false, with the flag cleared and nothing copied, when the block was
// never read from the controller (see DeviceState::BlocksRead).
bool LoadConfig(DeviceState& state, TransferBuffer& buffer);
bool StoreConfig(DeviceState& state, const TransferBuffer& buffer);
bool LoadExpert(DeviceState& state, TransferBuffer& buffer);
bool StoreExpert(DeviceState& state, const TransferBuffer& buffer);
bool LoadExpertWeather(DeviceState& state, TransferBuffer& buffer);
bool StoreExpertWeather(DeviceState& state, const TransferBuffer& buffer);
void StoreChart(DeviceState& state, const TransferBuffer& buffer);
void StoreHealth(DeviceState& state, const TransferBuffer& buffer);
// Takes the lowest dirty row into the buffer; clears rqSetSchedule when none is left. A dirty
// row the controller never sent is dropped unsent and counted in *dropped.
bool NextDirtyRow(DeviceState& state, TransferBuffer& buffer, int* dropped = nullptr);
// Stores a received row at the index it names; an index outside the schedule is dropped.
bool StoreRow(DeviceState& state, const TransferBuffer& buffer);

// The name of a product by its hardware number, for the "other hardware" message.
QString OtherHardwareName(uint8_t hardwareId);

} // namespace zel
