// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "com/firmware_file.h"
#include "com/line_transaction.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace zel {

// What the bootloader reports of itself in its information block.
struct BootInfo {
    uint16_t pageSize = 0;
    uint32_t flashSize = 0;
};

// The figures as they stand in a "81" block read from the bootloader.
BootInfo BootInfoFromBlock(const TransferBuffer& buffer);
// Why the figures rule out an update, or an empty text when they make sense.
QString BootInfoFault(const BootInfo& info);
// Flash the firmware may use: everything below the bootloader's own pages.
int64_t UsableFlash(const BootInfo& info);
// One past the last byte a transfer may write: whole blocks of the usable flash, inside the
// image's 16-bit addresses.
int64_t WritableEnd(const BootInfo& info);

// How a transfer reaches whoever runs it.
struct TransferHooks {
    std::function<void(const QString&)> Log;
    std::function<void(const QString&)> Status;
    std::function<void(const QString& text, qint64 completed, qint64 total)> Progress;
    // Sleeps between tries of a block; false when the work must end now.
    std::function<bool(int ms)> Pause;
    std::function<bool()> Stopped;
};

enum class TransferOutcome { Complete, Failed, Stopped };

// Sends image bytes first..last (inclusive), widened to whole pages, to the bootloader in
// 64-byte blocks and restarts it. A block is tried again only while the port stays open; a
// closed port ends the transfer and says where. Figures that rule out the update, or a range
// outside the writable flash, fail before anything is sent.
TransferOutcome TransferFirmware(LineTransaction& line, const SerialLine& port,
                                 const BootInfo& info, const FirmwareImage& image, int64_t first,
                                 int64_t last, const TransferHooks& hooks);

} // namespace zel
