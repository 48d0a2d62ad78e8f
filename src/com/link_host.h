// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace zel {

// What the link thread needs of the program that hosts it (the window, the command line, a
// test). Every method runs on the host's thread, called through HostGate::Call.
class LinkHost {
public:
    virtual ~LinkHost() = default;

    virtual DeviceState& State() = 0;

    virtual void LogMessage(const QString& text) = 0;
    virtual void SetStatusText(const QString& text) = 0;
    virtual void SetTaskbarProgress(qint64 completed, qint64 total) = 0;
    virtual void SetConnectedState(bool connected) = 0;

    // Refreshes after a block has been read and stored.
    virtual void RefreshStatus() = 0;
    virtual void RefreshControls() = 0;
    virtual void RefreshExpertPage() = 0;
    virtual void RefreshWeatherPages() = 0;
    virtual void FillScheduleGrid() = 0;
    virtual void RefreshChart() = 0;
    virtual void RefreshHealth() = 0;

    // The firmware file to flash, or an empty text when the user cancelled.
    virtual QString ChooseFirmwareFile() = 0;
    // Last call before a firmware transfer wipes the controller's settings.
    virtual void BeforeFirmwareTransfer(const QString& portName) = 0;
    // A write request's record has been taken for sending; its WriteFinished (for a schedule
    // row its RowWriteFinished) follows unless the link is stopped first.
    virtual void WriteStarted(uint32_t flag) { Q_UNUSED(flag); }
    // A write request's transaction has ended; a failed write is never repeated, so a host
    // that must know whether its change arrived learns it here.
    virtual void WriteFinished(uint32_t flag, bool ok) {
        Q_UNUSED(flag);
        Q_UNUSED(ok);
    }
    // The write of one schedule row has ended; by default a write of rqSetSchedule as any.
    virtual void RowWriteFinished(int row, bool ok) {
        Q_UNUSED(row);
        WriteFinished(rqSetSchedule, ok);
    }
    // A firmware update has ended, after its status text: every block sent and acknowledged,
    // or not. An update the link was stopped in the middle of reports nothing.
    virtual void FirmwareUpdateFinished(bool ok) { Q_UNUSED(ok); }
};

// A log entry as the user sees it: every line of the text behind the same
// "[" short date + " " + long time + "] " prefix, lines joined by CR LF.
QString LogEntry(const QString& text, const QDateTime& now);

// The synchronised call: runs a function on the host's thread while the calling thread
// waits. Once the host closes the gate, pending and later calls return false at once
// without running, so a closing host never waits on a thread that waits on it.
class HostGate {
public:
    // `context` lives on the host's thread; its event loop runs the calls.
    explicit HostGate(QObject* context);
    ~HostGate();

    bool Call(const std::function<void()>& function);
    void Close();
    // Runs the calls waiting for the host now; for a host thread that must block (waiting for
    // a thread to end) without starving the thread it waits for.
    void DeliverPending();
    bool IsClosed() const;

private:
    struct Shared;
    class Receiver;

    QObject* context_;
    // Shared with the receiver, which lives as long as the context and may outlive the gate.
    std::shared_ptr<Shared> shared_;
    Receiver* receiver_; // a child of the context
};

} // namespace zel
