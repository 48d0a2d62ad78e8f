// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discover/bluez_bus.h"

#include <memory>

namespace zel {

class BluezAgent;

// The stack as BlueZ offers it on the system bus: adapters and devices from its object
// manager, the inquiry as a discovery on every powered adapter, pairing through an agent of
// our own, the serial port as a trusted device that offers the serial port profile.
class BluezStack final : public BluetoothStack {
public:
    static constexpr int InquiryMs = 5 * 1280;

    explicit BluezStack(const QDBusConnection& bus = QDBusConnection::systemBus(),
                        int inquiryMs = InquiryMs);
    ~BluezStack() override;

    bool FindDevices(bool inquiry, QList<BluetoothDeviceInfo>& devices,
                     BluetoothError& error) override;
    bool GetDeviceInfo(BluetoothDeviceInfo& device, BluetoothError& error) override;
    bool AuthenticateDevice(const BluetoothDeviceInfo& device, const QString& pin,
                            BluetoothError& error) override;
    bool EnableSerialService(const BluetoothDeviceInfo& device, BluetoothError& error) override;
    bool RemoveDevice(const BluetoothDeviceInfo& device, BluetoothError& error) override;
    void Pause(int milliseconds) override { waiter_.Pause(milliseconds); }
    void Stop() override { waiter_.Stop(); }

private:
    // Searches on the adapters for 5 × 1.28 s.
    bool Inquire(const QStringList& adapters, BluetoothError& error);
    // The device's object path; false with an error when BlueZ does not know the address.
    bool DevicePath(uint64_t address, QString& path, BluetoothError& error);
    bool RegisterAgent(BluetoothError& error);
    bool SetTrusted(const QString& path, BluetoothError& error);

    BusWaiter waiter_;
    const int inquiryMs_;
    std::unique_ptr<BluezAgent> agent_;
    bool agentRegistered_ = false;
};

// The information BlueZ keeps of a device, from its Device1 properties.
BluetoothDeviceInfo DeviceInfoFromProperties(const QVariantMap& properties);

} // namespace zel
