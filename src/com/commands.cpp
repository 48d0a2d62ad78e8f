// SPDX-License-Identifier: GPL-3.0-or-later
// The command routines of the link thread: one transaction each, re-identification after a
// failure, and the services of the request flags.

#include "com/command_set.h"
#include "com/link_thread.h"
#include "lang/translate.h"

#include <algorithm>

namespace zel {

namespace {
constexpr int IdentifyAttempts = 5;
constexpr int BootloaderRestartMs = 500;
const QString ProductName = QStringLiteral("ZELPHORIN 2.x.");
} // namespace

bool TthdCom::Get(const char* code, const char* debugName, int length) {
    if (line_->Debug())
        Log(QLatin1String(debugName));
    const bool ok = line_->ReadBlock(code, length, transferBuffer_);
    if (!ok)
        GetDevice();
    return ok;
}

bool TthdCom::Set(const char* code, const char* debugName, int length) {
    if (line_->Debug())
        Log(QLatin1String(debugName));
    const bool ok = line_->WriteBlock(code, length, transferBuffer_);
    if (!ok)
        GetDevice();
    return ok;
}

void TthdCom::GetDevice() {
    try {
        if (line_->Debug())
            Log(QStringLiteral("GetDevice"));
        uint8_t* payload = transferBuffer_.data() + PayloadOffset;
        for (int attempt = 0; attempt < IdentifyAttempts; ++attempt) {
            if (line_->ReadBlock("80", DeviceIdLength, transferBuffer_))
                break;
            Log(Translate(QStringLiteral("TimeoutWhileWaiting")));
            payload[0] = HardwareUnknown;
            payload[1] = HardwareUnknown;
            if (Terminated() || !port_->IsOpen())
                break;
        }
        const uint8_t hardware = payload[0];
        const uint8_t variant = payload[1];
        if (hardware == lastHardwareId_ && variant == lastFirmwareVariant_)
            return;
        lastHardwareId_ = hardware;
        lastFirmwareVariant_ = variant;
        identity_.store(uint16_t(hardware << 8 | variant));
        deviceReady_ = false;
        inBootloader_ = false;
        bootInfoRefused_ = false;
        scheduleIncomplete_ = false;
        state_.Replace(0);
        const QString port = PortName();
        if (hardware == HardwareApplication && variant == 0) {
            // Everything is read anew; until then the records are not this controller's. (The
            // bootloader keeps them: they are the last read of the controller it runs on.)
            Sync([&] { state_.ForgetReads(); });
            SetConnected(true);
            state_.Replace(rqReadEverything);
            Status(TranslateFormat(QStringLiteral("ConnectedToOn"),
                                   {ProductName + QLatin1Char('0'), port}));
            deviceReady_ = true;
        } else if (hardware == HardwareApplication) {
            SetConnected(false);
            Status(TranslateFormat(QStringLiteral("DetectedWrongVersionOn"),
                                   {ProductName + QString::number(variant), port}));
        } else if (hardware == HardwareBootloader) {
            SetConnected(false);
            Status(TranslateFormat(QStringLiteral("ConnectedToBootloaderOn"),
                                   {QStringLiteral("ZELPHORIN"), port}));
            inBootloader_ = true;
        } else if (hardware == HardwareUnknown) {
            SetConnected(false);
        } else {
            SetConnected(false);
            Status(TranslateFormat(QStringLiteral("OtherHardware"), {OtherHardwareName(hardware)}));
            Terminate();
        }
    } catch (const std::exception& error) {
        Log(QString::fromStdString(error.what()));
    }
}

void TthdCom::ServeRead(const char* code, const char* debugName, int length,
                        const std::function<void()>& store, void (LinkHost::*refresh)()) {
    if (!Get(code, debugName, length))
        return;
    // One call to the host, not two: the periodic reads come twice a second.
    Sync([&] {
        store();
        (host_.*refresh)();
    });
}

void TthdCom::ServeWrite(uint32_t flag, const char* code, const char* debugName, int length,
                         const std::function<bool()>& load) {
    bool loaded = false;
    if (!Sync([&] {
            loaded = load();
            if (loaded)
                host_.WriteStarted(flag);
        }))
        return;
    if (!loaded) {
        Log(Translate(QStringLiteral("NotSentUnread")));
        ReportWrite(flag, false);
        return;
    }
    ReportWrite(flag, Set(code, debugName, length));
}

void TthdCom::ReportWrite(uint32_t flag, bool ok) {
    Sync([&] { host_.WriteFinished(flag, ok); });
}

void TthdCom::ServeSetInfo(uint32_t part) {
    if (!Sync([&] {
            LoadInfo(state_, transferBuffer_, part);
            host_.WriteStarted(part);
        }))
        return;
    MarkSetInfoParts(transferBuffer_, part);
    ReportWrite(part, Set("01", "SetInfo", InfoLength));
}

// The download stops at the first row that fails. Rows not brought by it are no rows of the
// controller: a part-way download refreshes nothing, says so and is tried again with the next
// periodic poll (at once, a controller that keeps failing would flood the log).
void TthdCom::DownloadSchedule() {
    struct ClearWhenDone {
        DeviceState& state;
        ~ClearWhenDone() { state.Clear(rqGetSchedule); }
    } clearWhenDone{state_};

    Status(Translate(QStringLiteral("ReadingSchedule")));
    const int count = state_.Info.RowCount; // written only by StoreInfo, which cannot run now
    std::vector<bool> arrived(size_t(count), false);
    Sync([&] { state_.BlocksRead &= ~rqGetSchedule; });
    for (int row = 0; row < count && !Terminated(); ++row) {
        if (!Get("83", "GetSchedule", RowMessageLength))
            break;
        const size_t index = transferBuffer_[PayloadOffset];
        Sync([&] {
            if (StoreRow(state_, transferBuffer_) && index < arrived.size())
                arrived[index] = true;
        });
    }
    // A stop (which also cuts a row's wait short) ends the thread: no refresh follows.
    if (Terminated())
        return;
    const int rowsRead = int(std::count(arrived.begin(), arrived.end(), true));
    const bool complete = rowsRead == count;
    scheduleIncomplete_ = !complete;
    if (!complete) {
        Status(TranslateFormat(QStringLiteral("ScheduleReadIncomplete"),
                               {QString::number(rowsRead), QString::number(count)}));
        return;
    }
    Sync([&] {
        state_.BlocksRead |= rqGetSchedule;
        host_.FillScheduleGrid();
    });
    Status(Translate(QStringLiteral("Done")));
}

void TthdCom::ServeDeviceCommand(uint32_t flag, uint8_t subCode, const char* debugName) {
    if (line_->Debug())
        Log(QLatin1String(debugName));
    state_.Clear(flag);
    if (!Sync([&] { host_.WriteStarted(flag); }))
        return;
    transferBuffer_[PayloadOffset] = subCode;
    const bool ok = line_->WriteBlock("7F", 1, transferBuffer_);
    if (!ok)
        GetDevice();
    ReportWrite(flag, ok);
}

void TthdCom::ServeFirmware() {
    try {
        if (inBootloader_ && GetBootInfo())
            UpdateFirmware();
        else
            StartBootloader();
        GetDevice();
    } catch (const std::exception& error) {
        Log(QString::fromStdString(error.what()));
    }
    state_.Clear(rqFirmware);
}

void TthdCom::StartBootloader() {
    if (line_->Debug())
        Log(QStringLiteral("StartBootloader"));
    try {
        line_->WriteRaw(QByteArrayLiteral("7F00\n"));
        if (Pause(BootloaderRestartMs))
            GetDevice();
    } catch (const std::exception& error) {
        Log(QString::fromStdString(error.what()));
    }
}

bool TthdCom::GetBootInfo() {
    if (line_->Debug())
        Log(QStringLiteral("GetBootInfo"));
    if (!line_->ReadBlock("81", BootInfoLength, transferBuffer_)) {
        GetDevice();
        return false;
    }
    bootInfo_ = BootInfoFromBlock(transferBuffer_);
    return true;
}

} // namespace zel
