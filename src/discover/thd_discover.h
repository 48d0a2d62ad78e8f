// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "com/link_host.h"
#include "com/thread_end.h"
#include "discover/bluetooth_stack.h"

#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace zel {

// What the installation thread needs of the program that runs it. Both calls run on the
// host's thread through the host gate.
class DiscoverHost {
public:
    virtual ~DiscoverHost() = default;
    virtual void LogMessage(const QString& text) = 0;
    // Before a pairing or service call: the system may ask the user something next.
    virtual void BringToFront() {}
};

// The Bluetooth installation thread: in install mode it searches for controllers nearby,
// pairs them and enables their serial port; in uninstall mode it removes the paired ones.
// Every step is a log line; the thread never touches anything else of its host.
class TthdDiscover : public QThread {
    Q_OBJECT
public:
    using StackFactory = std::function<std::unique_ptr<BluetoothStack>()>;

    // Starts at once. The stack is made on the thread, which is the only one that uses it.
    TthdDiscover(DiscoverHost& host, HostGate& gate, bool installMode,
                 StackFactory createStack = CreateBluezStack);
    ~TthdDiscover() override;

    const bool InstallMode;
    bool Finished() const { return finished_.load(); }
    // Once finished: at least one controller was installed (or removed) and none failed.
    bool Succeeded() const { return finished_.load() && handled_ > 0 && failures_ == 0; }
    // Ends the procedure at its next call or wait, at once.
    void Terminate();

    static std::unique_ptr<BluetoothStack> CreateBluezStack();

protected:
    void run() override;

private:
    void Execute();
    void Install();
    void InstallDevice(BluetoothDeviceInfo device);
    void Uninstall();
    void UninstallDevice(BluetoothDeviceInfo device);
    bool ReadName(BluetoothDeviceInfo& device);
    bool RemoveWithRetries(const BluetoothDeviceInfo& device);
    // Up to `tries` calls of the operation; each failure is logged and followed by the pause.
    bool Retry(int tries, bool bringToFront, const std::function<bool(BluetoothError&)>& operation);

    void Log(const QString& text);
    void LogError(const BluetoothError& error);
    void BringToFront();
    QString DeviceLine(const BluetoothDeviceInfo& device) const;

    DiscoverHost& host_;
    HostGate& gate_;
    StackFactory createStack_;
    std::mutex stackMutex_; // Terminate reaches the stack from another thread
    std::unique_ptr<BluetoothStack> stack_;
    std::atomic<bool> finished_{false};
    int handled_ = 0;
    int failures_ = 0;
    QString lastLine_;
    ThreadEndHandover end_{*this};
};

} // namespace zel
