// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discover/bluetooth_stack.h"

#include <QMap>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace zel::test {

// What a scripted stack answers, and the record of every call made on it ("Find inquiry",
// "Info 00:11:22:33:44:55", "Pair ... 8614", "Service ...", "Remove ...", "Pause 2000").
// Read `calls` only once the thread that used the stack has finished.
struct BluetoothScript {
    struct Answer {
        bool ok = true;
        BluetoothDeviceInfo info; // what an Info call reads when ok
    };

    QList<BluetoothDeviceInfo> devices;
    bool searchFails = false;
    BluetoothError error{QStringLiteral("org.bluez.Error.Failed"), QStringLiteral("Failed")};
    // Per address, the answers to the next Info calls; once used up, the device as listed.
    QMap<uint64_t, QList<Answer>> infos;
    int pairFailures = 0;    // the first n Pair calls fail
    int serviceFailures = 0; // the first n Service calls fail
    int removeFailures = 0;
    // The search blocks until Stop, like an inquiry that is still under way.
    bool searchBlocks = false;

    QStringList calls;
};

// A controller paired before, at 00:11:22:33:44:55.
inline BluetoothDeviceInfo PairedController() {
    BluetoothDeviceInfo device;
    device.Address = 0x001122334455;
    device.Name = ControllerName;
    device.Authenticated = true;
    return device;
}

// Plays a script; pauses pass at once.
class ScriptedBluetooth : public BluetoothStack {
public:
    explicit ScriptedBluetooth(BluetoothScript& script) : script_(script) {}

    // A factory for the installation thread that plays `script`.
    static std::function<std::unique_ptr<BluetoothStack>()> Playing(BluetoothScript& script) {
        return [&script] { return std::make_unique<ScriptedBluetooth>(script); };
    }

    bool FindDevices(bool inquiry, QList<BluetoothDeviceInfo>& found,
                     BluetoothError& failure) override {
        script_.calls << (inquiry ? QStringLiteral("Find inquiry") : QStringLiteral("Find"));
        if (script_.searchBlocks) {
            std::unique_lock<std::mutex> lock(mutex_);
            stopChanged_.wait(lock, [this] { return stopped_; });
        }
        ThrowWhenStopped();
        if (script_.searchFails) {
            failure = script_.error;
            return false;
        }
        found = script_.devices;
        return true;
    }

    bool GetDeviceInfo(BluetoothDeviceInfo& device, BluetoothError& failure) override {
        script_.calls << QStringLiteral("Info ") + FormatBluetoothAddress(device.Address);
        ThrowWhenStopped();
        QList<BluetoothScript::Answer>& answers = script_.infos[device.Address];
        if (answers.isEmpty()) {
            for (const BluetoothDeviceInfo& listed : script_.devices)
                if (listed.Address == device.Address)
                    device = listed;
            return true;
        }
        const BluetoothScript::Answer answer = answers.takeFirst();
        if (!answer.ok) {
            failure = script_.error;
            return false;
        }
        device = answer.info;
        return true;
    }

    bool AuthenticateDevice(const BluetoothDeviceInfo& device, const QString& pin,
                            BluetoothError& failure) override {
        script_.calls
            << QStringLiteral("Pair %1 %2").arg(FormatBluetoothAddress(device.Address), pin);
        return Outcome(script_.pairFailures, failure);
    }

    bool EnableSerialService(const BluetoothDeviceInfo& device, BluetoothError& failure) override {
        script_.calls << QStringLiteral("Service ") + FormatBluetoothAddress(device.Address);
        return Outcome(script_.serviceFailures, failure);
    }

    bool RemoveDevice(const BluetoothDeviceInfo& device, BluetoothError& failure) override {
        script_.calls << QStringLiteral("Remove ") + FormatBluetoothAddress(device.Address);
        return Outcome(script_.removeFailures, failure);
    }

    void Pause(int milliseconds) override {
        script_.calls << QStringLiteral("Pause %1").arg(milliseconds);
        ThrowWhenStopped();
    }

    void Stop() override {
        std::lock_guard<std::mutex> guard(mutex_);
        stopped_ = true;
        stopChanged_.notify_all();
    }

private:
    bool Outcome(int& failures, BluetoothError& failure) {
        ThrowWhenStopped();
        if (failures > 0) {
            --failures;
            failure = script_.error;
            return false;
        }
        return true;
    }

    void ThrowWhenStopped() {
        std::lock_guard<std::mutex> guard(mutex_);
        if (stopped_)
            throw DiscoverStopped();
    }

    BluetoothScript& script_;
    std::mutex mutex_;
    std::condition_variable stopChanged_;
    bool stopped_ = false;
};

} // namespace zel::test
