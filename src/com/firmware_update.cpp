// The transfer of a firmware image to the bootloader, in 64-byte blocks.

#include "com/command_set.h"
#include "com/firmware_file.h"
#include "com/link_thread.h"
#include "lang/translate.h"

#include <QFileInfo>

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

// Why the bootloader's figures rule out an update, or an empty text when they make sense.
QString BootInfoFault(uint16_t pageSize, uint32_t flashSize) {
    if (flashSize <= uint32_t(ReservedFlash))
        return QStringLiteral("The bootloader reports a flash size of %1 bytes, which leaves no "
                              "room for firmware above its own %2 bytes")
            .arg(flashSize)
            .arg(ReservedFlash);
    if (pageSize == 0 || (pageSize & (pageSize - 1)) != 0)
        return QStringLiteral("The bootloader reports a page size of %1 bytes, which is not a "
                              "power of two")
            .arg(pageSize);
    if (pageSize > flashSize - uint32_t(ReservedFlash))
        return QStringLiteral("The bootloader reports a page size of %1 bytes, larger than its "
                              "usable flash of %2 bytes")
            .arg(pageSize)
            .arg(flashSize - uint32_t(ReservedFlash));
    return QString();
}
} // namespace

void TthdCom::UpdateFirmware() {
    // The bootloader's reply is untrusted: figures that make no sense end the update before
    // anything is chosen or sent, and are not asked again for this identification.
    const QString fault = BootInfoFault(pageSize_, flashSize_);
    if (!fault.isEmpty()) {
        bootInfoRefused_ = true;
        Log(fault);
        Status(Translate(QStringLiteral("FirmwareUpdateFailed")));
        return;
    }
    auto image = std::make_unique<FirmwareImage>();
    TransferBuffer block{};
    const FirmwareReport report{[this](const QString& text) { Log(text); },
                                [this](const QString& text) { Status(text); }, line_->Debug()};
    int64_t first = 0;
    int64_t last = 0;
    const int64_t usable = int64_t(flashSize_) - ReservedFlash;
    // Whole blocks only, below the reserved pages and inside the image's 16-bit addresses.
    const int64_t writable =
        std::min(usable & ~int64_t(BlockBytes - 1), int64_t(FirmwareImageSize));
    for (;;) {
        image->fill(0);
        if (!Sync([&] { firmwareFile_ = host_.ChooseFirmwareFile(); }))
            return;
        if (firmwareFile_.isEmpty() || !QFileInfo::exists(firmwareFile_)) {
            Log(Translate(QStringLiteral("Resetting")));
            line_->WriteBlock("01", RestartLength, block);
            return;
        }
        first = 0x10000;
        last = 0;
        if (!ParseFirmwareFile(firmwareFile_, *image, 0xFFFF, first, last, report))
            continue;
        Log(TranslateFormat(
            QStringLiteral("FlashSize"),
            {QString::number(last) + QStringLiteral(" / ") + QString::number(usable)}));
        // The last address is inclusive; every byte up to it must fit in a whole block.
        if (last >= writable) {
            Status(TranslateFormat(QStringLiteral("FirmwareTooLarge"),
                                   {QString::number(last + 1 - writable)}));
            continue;
        }
        break;
    }

    const int64_t mask = pageSize_ < 128 ? 127 : int64_t(pageSize_) - 1;
    int64_t start = first & ~mask;
    // Round the end past the last byte up to a page, but never into the reserved pages.
    const int64_t stop = std::min(((last + 1) + mask) & ~mask, writable);
    const int64_t total = stop - start;
    Sync([&] { host_.BeforeFirmwareTransfer(PortName()); });
    Status(TranslateFormat(QStringLiteral("StartingFirmwareUpdate"), {QString::number(total)}));

    bool failed = false;
    uint8_t* payload = block.data() + PayloadOffset;
    while (start < stop) {
        const double percent = (1.0 - double(stop - start) / double(total)) * 100.0;
        Progress(QStringLiteral("0x%1 (%2 %)").arg(AddressText(start)).arg(std::lround(percent)),
                 total - (stop - start), total);
        payload[0] = uint8_t(start & 0xFF);
        payload[1] = uint8_t((start >> 8) & 0xFF);
        std::memcpy(payload + 2, image->data() + start, BlockBytes);
        bool sent = false;
        for (int attempt = 0; attempt < BlockTries && !sent; ++attempt) {
            if (Terminated())
                return;
            sent = line_->WriteBlock("02", FlashBlockLength, block);
            // Retries are for a controller that answers badly, not for one that is gone.
            if (!sent && !port_->IsOpen())
                break;
            if (!sent && !Pause(RetryPauseMs))
                return;
        }
        if (!sent) {
            failed = true;
            Log(Translate(QStringLiteral("TransferError")));
            if (!port_->IsOpen()) {
                Log(QStringLiteral("The port closed at block 0x%1; the rest was not sent")
                        .arg(AddressText(start)));
                break;
            }
        }
        start += BlockBytes;
    }
    if (port_->IsOpen()) {
        Log(Translate(QStringLiteral("Resetting")));
        line_->WriteBlock("01", RestartLength, block);
    }
    Status(Translate(failed ? QStringLiteral("FirmwareUpdateFailed")
                            : QStringLiteral("FirmwareUpdateSuccessful")));
}

} // namespace zel
