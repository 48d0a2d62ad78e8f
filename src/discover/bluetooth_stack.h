// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

namespace zel {

// The name a controller announces over Bluetooth, compared case-sensitively.
extern const QString ControllerName;
// Every controller pairs with this PIN.
extern const QString PairingPin;
// The serial port profile the controller offers.
extern const QString SerialPortServiceClass;

struct BluetoothDeviceInfo {
    uint64_t Address = 0; // 48 bits, most significant byte first when written
    QString Name;         // empty until the device has sent it
    bool Connected = false;
    bool Authenticated = false; // paired
    QDateTime LastUsed;         // invalid when the stack does not know
};

// What went wrong, as the stack reports it: a D-Bus error name or an errno number, and the
// text that goes with it.
struct BluetoothError {
    QString Code;
    QString Text;
};

// Thrown by a stack once Stop was called, and by the installation thread once its host is
// gone: the procedure ends at once. Deliberately no std::exception, so that the handlers that
// log an error and go on with the next device let it pass.
struct DiscoverStopped {};

// The operations the installation procedures make, on the platform's Bluetooth stack. Every
// call but Stop is made from the one thread that created the stack; each returns false with
// the stack's error when the operation failed.
class BluetoothStack {
public:
    virtual ~BluetoothStack() = default;

    // Every device the system knows (paired, remembered, connected); with `inquiry`, after a
    // search for devices nearby of 5 × 1.28 s. Nothing found is success with an empty list.
    virtual bool FindDevices(bool inquiry, QList<BluetoothDeviceInfo>& devices,
                             BluetoothError& error) = 0;
    // Reads the device's information anew (found by its address).
    virtual bool GetDeviceInfo(BluetoothDeviceInfo& device, BluetoothError& error) = 0;
    // Pairs with the device, answering its PIN request with `pin`.
    virtual bool AuthenticateDevice(const BluetoothDeviceInfo& device, const QString& pin,
                                    BluetoothError& error) = 0;
    // Makes the device's serial port service usable by this computer.
    virtual bool EnableSerialService(const BluetoothDeviceInfo& device, BluetoothError& error) = 0;
    // Unpairs the device and forgets it.
    virtual bool RemoveDevice(const BluetoothDeviceInfo& device, BluetoothError& error) = 0;
    // Waits; throws DiscoverStopped when stopped meanwhile.
    virtual void Pause(int milliseconds) = 0;
    // From any thread: the call or wait in progress ends at once, and so does every later one,
    // by throwing DiscoverStopped.
    virtual void Stop() = 0;
};

// A name comes over the air and may hold anything: control characters become blanks, so that
// it stays on one line wherever it is shown.
QString PrintableName(QString name);

// "00:11:22:33:44:55".
QString FormatBluetoothAddress(uint64_t address);
// The reverse; false for anything but six two-digit hex bytes separated by ":".
bool ParseBluetoothAddress(const QString& text, uint64_t& address);

} // namespace zel
