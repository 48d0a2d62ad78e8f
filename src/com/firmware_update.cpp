// SPDX-License-Identifier: GPL-3.0-or-later
// The transfer of a firmware image to the bootloader, in 64-byte blocks.

#include "com/command_set.h"
#include "com/firmware_transfer.h"
#include "com/link_thread.h"
#include "lang/translate.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zel {

namespace {
constexpr int BlockBytes = 64;
constexpr int BlockTries = 10;
constexpr int RetryPauseMs = 500;
constexpr int ReservedFlash = 1024; // the bootloader's own pages at the top of the flash

// A flash address as four upper-case hex digits.
QString AddressText(int64_t address) {
    return QString::number(address, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

// Leaves the bootloader for the firmware, whatever happened before.
void RestartController(LineTransaction& line, const std::function<void(const QString&)>& log) {
    log(Translate(QStringLiteral("Resetting")));
    TransferBuffer block{};
    line.WriteBlock("01", RestartLength, block);
}
} // namespace

BootInfo BootInfoFromBlock(const TransferBuffer& buffer) {
    const uint8_t* payload = buffer.data() + PayloadOffset;
    BootInfo info;
    info.pageSize = uint16_t(payload[0] | payload[1] << 8);
    info.flashSize = uint32_t(payload[2]) | uint32_t(payload[3]) << 8 | uint32_t(payload[4]) << 16 |
                     uint32_t(payload[5]) << 24;
    return info;
}

QString BootInfoFault(const BootInfo& info) {
    if (info.flashSize <= uint32_t(ReservedFlash))
        return QStringLiteral("The bootloader reports a flash size of %1 bytes, which leaves no "
                              "room for firmware above its own %2 bytes")
            .arg(info.flashSize)
            .arg(ReservedFlash);
    if (info.pageSize == 0 || (info.pageSize & (info.pageSize - 1)) != 0)
        return QStringLiteral("The bootloader reports a page size of %1 bytes, which is not a "
                              "power of two")
            .arg(info.pageSize);
    if (info.pageSize > info.flashSize - uint32_t(ReservedFlash))
        return QStringLiteral("The bootloader reports a page size of %1 bytes, larger than its "
                              "usable flash of %2 bytes")
            .arg(info.pageSize)
            .arg(info.flashSize - uint32_t(ReservedFlash));
    return QString();
}

int64_t UsableFlash(const BootInfo& info) {
    return int64_t(info.flashSize) - ReservedFlash;
}

int64_t WritableEnd(const BootInfo& info) {
    return std::clamp(UsableFlash(info) & ~int64_t(BlockBytes - 1), int64_t(0),
                      int64_t(FirmwareImageSize));
}

TransferOutcome TransferFirmware(LineTransaction& line, const SerialLine& port,
                                 const BootInfo& info, const FirmwareImage& image, int64_t first,
                                 int64_t last, const TransferHooks& hooks) {
    const int64_t writable = WritableEnd(info);
    QString fault = BootInfoFault(info);
    if (fault.isEmpty() && (first < 0 || first > last || last >= writable))
        fault = QStringLiteral("The image's range 0x%1..0x%2 is outside the writable flash")
                    .arg(AddressText(first), AddressText(last));
    if (!fault.isEmpty()) {
        hooks.Log(fault);
        hooks.Status(Translate(QStringLiteral("FirmwareUpdateFailed")));
        return TransferOutcome::Failed;
    }

    const int64_t mask = info.pageSize < 128 ? 127 : int64_t(info.pageSize) - 1;
    int64_t start = first & ~mask;
    // Round the end past the last byte up to a page, but never into the reserved pages.
    const int64_t stop = std::min(((last + 1) + mask) & ~mask, writable);
    const int64_t total = stop - start;
    hooks.Status(
        TranslateFormat(QStringLiteral("StartingFirmwareUpdate"), {QString::number(total)}));

    bool failed = false;
    TransferBuffer block{};
    uint8_t* payload = block.data() + PayloadOffset;
    while (start < stop) {
        const double percent = (1.0 - double(stop - start) / double(total)) * 100.0;
        hooks.Progress(
            QStringLiteral("0x%1 (%2 %)").arg(AddressText(start)).arg(std::lround(percent)),
            total - (stop - start), total);
        payload[0] = uint8_t(start & 0xFF);
        payload[1] = uint8_t((start >> 8) & 0xFF);
        std::memcpy(payload + 2, image.data() + start, BlockBytes);
        bool sent = false;
        for (int attempt = 0; attempt < BlockTries && !sent; ++attempt) {
            if (hooks.Stopped())
                return TransferOutcome::Stopped;
            sent = line.WriteBlock("02", FlashBlockLength, block);
            // Retries are for a controller that answers badly, not for one that is gone.
            if (!sent && !port.IsOpen())
                break;
            if (!sent && !hooks.Pause(RetryPauseMs))
                return TransferOutcome::Stopped;
        }
        if (!sent) {
            failed = true;
            hooks.Log(Translate(QStringLiteral("TransferError")));
            if (!port.IsOpen()) {
                hooks.Log(QStringLiteral("The port closed at block 0x%1; the rest was not sent")
                              .arg(AddressText(start)));
                break;
            }
        }
        start += BlockBytes;
    }
    if (port.IsOpen())
        RestartController(line, hooks.Log);
    hooks.Status(Translate(failed ? QStringLiteral("FirmwareUpdateFailed")
                                  : QStringLiteral("FirmwareUpdateSuccessful")));
    return failed ? TransferOutcome::Failed : TransferOutcome::Complete;
}

void TthdCom::UpdateFirmware() {
    // The bootloader's reply is untrusted: figures that make no sense end the update before
    // anything is chosen or sent, and are not asked again for this identification.
    const QString fault = BootInfoFault(bootInfo_);
    if (!fault.isEmpty()) {
        bootInfoRefused_ = true;
        Log(fault);
        Status(Translate(QStringLiteral("FirmwareUpdateFailed")));
        Sync([&] { host_.FirmwareUpdateFinished(false); });
        return;
    }
    auto image = std::make_unique<FirmwareImage>();
    const auto log = [this](const QString& text) { Log(text); };
    const auto status = [this](const QString& text) { Status(text); };
    const FirmwareReport report{log, status, line_->Debug()};
    int64_t first = 0;
    int64_t last = 0;
    const int64_t writable = WritableEnd(bootInfo_);
    for (;;) {
        image->fill(0);
        if (!Sync([&] { firmwareFile_ = host_.ChooseFirmwareFile(); }))
            return;
        if (firmwareFile_.isEmpty() || !QFileInfo::exists(firmwareFile_)) {
            RestartController(*line_, log);
            return;
        }
        first = 0x10000;
        last = 0;
        if (!ParseFirmwareFile(firmwareFile_, *image, 0xFFFF, first, last, report))
            continue;
        Log(TranslateFormat(QStringLiteral("FlashSize"),
                            {QString::number(last) + QStringLiteral(" / ") +
                             QString::number(UsableFlash(bootInfo_))}));
        // The last address is inclusive; every byte up to it must fit in a whole block.
        if (last >= writable) {
            Status(TranslateFormat(QStringLiteral("FirmwareTooLarge"),
                                   {QString::number(last + 1 - writable)}));
            continue;
        }
        break;
    }

    Sync([&] { host_.BeforeFirmwareTransfer(PortName()); });
    const TransferHooks hooks{log, status,
                              [this](const QString& text, qint64 completed, qint64 total) {
                                  Progress(text, completed, total);
                              },
                              [this](int ms) { return Pause(ms); },
                              [this] { return Terminated(); }};
    const TransferOutcome outcome =
        TransferFirmware(*line_, *port_, bootInfo_, *image, first, last, hooks);
    if (outcome != TransferOutcome::Stopped)
        Sync([&] { host_.FirmwareUpdateFinished(outcome == TransferOutcome::Complete); });
}

} // namespace zel
