// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "com/firmware_transfer.h"
#include "com/line_transaction.h"
#include "com/link_host.h"
#include "com/serial_line.h"
#include "com/thread_end.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace zel {

// The link thread: owns the serial line, identifies the controller and serves the host's
// requests one per pass of its loop. With nothing to do it sleeps until a request is raised or
// the next periodic read is due. It touches records and the host only through the
// host gate, and holds RequestLock only for a test, a clear or a copy.
class TthdCom : public QThread {
    Q_OBJECT
public:
    using LineFactory = std::function<std::unique_ptr<SerialLine>()>;

    // Starts the thread at once for the port entry ("ttyUSB0 (FT232R USB UART)" opens ttyUSB0).
    TthdCom(
        LinkHost& host, HostGate& gate, const QString& portEntry, bool debug,
        LineFactory createLine = [] { return CreateSerialPortLine(); });
    ~TthdCom() override;

    // Switches a running thread to another port; it reconnects at the top of its next pass.
    void SetPort(const QString& portEntry, bool debug);
    QString PortName() const;
    bool Finished() const { return finished_.load(); }
    // The last identification (255/255 while none), readable from any thread.
    DeviceId Identity() const;
    // Asks the thread to end; it stops at its next check (at most one transaction later).
    void Terminate();

    // The port name an entry stands for: the entry up to its first blank.
    static QString PortFromEntry(const QString& portEntry);

protected:
    void run() override;

private:
    // Connection and pass loop.
    void ConnectAndServe();
    bool OpenWithRetries();
    void ApplyDebug();
    // Sleeps in short slices; false as soon as the thread is asked to end.
    bool Pause(int ms);
    bool ServeOneRequest();
    bool Terminated() const { return isInterruptionRequested(); }

    // Reaching the host; each returns false when the host is closing (and ends the thread).
    bool Sync(const std::function<void()>& function);
    void Log(const QString& text);
    void Status(const QString& text);
    void Progress(const QString& text, qint64 completed, qint64 total);
    void SetConnected(bool connected);

    // Commands.
    bool Get(const char* code, const char* debugName, int length);
    bool Set(const char* code, const char* debugName, int length);
    void GetDevice();
    void ServeSetInfo(uint32_t part);
    void ServeRead(const char* code, const char* debugName, int length,
                   const std::function<void()>& store, void (LinkHost::*refresh)());
    // `load` copies the record into the buffer; false when it must not be sent.
    void ServeWrite(uint32_t flag, const char* code, const char* debugName, int length,
                    const std::function<bool()>& load);
    void ReportWrite(uint32_t flag, bool ok);
    void DownloadSchedule();
    void ServeDeviceCommand(uint32_t flag, uint8_t subCode, const char* debugName);
    void ServeFirmware();
    void StartBootloader();
    bool GetBootInfo();

    // Firmware update (firmware_update.cpp).
    void UpdateFirmware();

    LinkHost& host_;
    HostGate& gate_;
    DeviceState& state_;
    LineFactory createLine_;
    std::unique_ptr<SerialLine> port_;
    std::unique_ptr<LineTransaction> line_;

    mutable std::mutex portMutex_; // PortName and Debug change hands atomically
    QString portName_;
    bool debug_ = false;

    TransferBuffer transferBuffer_{};
    uint8_t lastHardwareId_ = HardwareUnknown;
    uint8_t lastFirmwareVariant_ = HardwareUnknown;
    bool deviceReady_ = false;
    bool inBootloader_ = false;
    bool bootInfoRefused_ = false;    // this bootloader's figures ruled out an update
    bool scheduleIncomplete_ = false; // the last download failed part-way: poll it again
    BootInfo bootInfo_;
    QString firmwareFile_;
    std::atomic<bool> finished_{false};
    std::atomic<uint16_t> identity_{0xFFFF};
    ThreadEndHandover end_{*this};
};

// Lets go of a link thread without ever blocking the host: a finished thread is deleted now,
// a running one is asked to end and deletes itself when it has.
void ReleaseLinkThread(TthdCom* thread);

// Owns a link thread and lets go of it as ReleaseLinkThread does. Whoever needs it gone at
// once (its host is about to end) waits for it first: a finished thread is deleted on reset.
struct LinkThreadRelease {
    void operator()(TthdCom* thread) const { ReleaseLinkThread(thread); }
};
using LinkThreadPtr = std::unique_ptr<TthdCom, LinkThreadRelease>;

} // namespace zel
