// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A simulated controller served on a pseudo-terminal. Anything that can open a serial port by
// path can talk to it: the window (its demo device), the command line, tests and benchmarks.
//
//     SimController sim(options);
//     const QString port = sim.Start();   // e.g. /dev/pts/7
//     ...                                 // open `port` like any serial port
//     sim.Stop();
//
// The pseudo-terminal is served on a thread of its own. The controller keeps a handle on the
// terminal itself, so a peer may close the port and open it again as often as it likes.

#include "sim/sim_device.h"
#include "sim/sim_options.h"
#include "sim/sim_wire.h"
#include "sim/wire_log.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace zel {

class SimError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SimController {
public:
    explicit SimController(SimOptions options = {});
    ~SimController();
    SimController(const SimController&) = delete;
    SimController& operator=(const SimController&) = delete;

    // Opens the pseudo-terminal (raw, 115200 8N1) and starts serving it; returns the path a
    // peer opens. Throws SimError when no terminal can be had or it was started before (a
    // controller serves one terminal in its life).
    QString Start();
    // Stops serving within a few milliseconds, closes the terminal and writes the flash image
    // (--flash-out). Safe to call more than once.
    void Stop();

    QString SlavePath() const { return slavePath_; }
    // False before Start, after Stop, and once the port has vanished (--close-after).
    bool IsServing() const { return serving_; }
    qint64 LinesReceived() const { return lines_; }

    SimState State() const;
    // A request line carried out as if it had come over the line, without a reply: a change
    // made on the controller itself (its keys or its remote), which a host learns of only by
    // reading. Logged as a NOTE.
    void HandleLocally(const QByteArray& line);
    QStringList WireLines() const { return log_.Lines(); }
    // The reason the log file could not be written, or empty.
    QString LogError() const { return log_.ErrorText(); }

private:
    struct Outgoing {
        QByteArray bytes;
        qint64 readyNs = 0; // not before this moment (a --delay-ms reply)
        int sent = 0;
        bool announced = false; // logged as OUT
    };

    void Serve();
    void ReadInput(qint64 nowNs);
    void TakeReadyInput(qint64 nowNs);
    void HandleLine(const LineAssembler::Line& line, qint64 nowNs);
    bool WriteOutput(qint64 nowNs); // false when the terminal will take no more for now
    qint64 NextWakeNs(qint64 nowNs, bool outputBlocked) const;
    bool PeerHasRead(qint64 nowNs);
    void ClosePort();
    qint64 NowNs() const;

    SimOptions options_;
    WireLog log_;
    const std::chrono::steady_clock::time_point origin_;
    mutable std::mutex deviceLock_;
    SimDevice device_;
    ReplyShaper shaper_;
    LineAssembler assembler_;
    qint64 charNs_ = 0; // one character on a paced line; 0 unpaced

    int master_ = -1;
    int slave_ = -1; // held open so that the master never sees a hang-up
    int wake_ = -1;  // eventfd that Stop() signals
    QString slavePath_;
    std::thread thread_;
    bool started_ = false;
    bool stopped_ = false;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> serving_{false};
    std::atomic<qint64> lines_{0};

    // Paced input: byte i of pendingIn_ counts as received at pendingInStartNs_ + (i+1)·charNs_.
    QByteArray pendingIn_;
    qint64 pendingInStartNs_ = 0;
    qint64 lastInNs_ = 0;
    std::deque<Outgoing> out_;
    qint64 outBytes_ = 0;
    qint64 nextOutNs_ = 0; // the earliest moment the next paced byte may leave
    bool closeWhenSent_ = false;
    qint64 closeDeadlineNs_ = -1;
    qint64 lastWriteNs_ = 0;
};

// The seed a run uses: the given one, or a fresh random one.
SimOptions WithSeed(SimOptions options);

} // namespace zel
