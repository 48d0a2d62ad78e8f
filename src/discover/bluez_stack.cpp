// SPDX-License-Identifier: GPL-3.0-or-later
#include "discover/bluez_stack.h"

#include "discover/bluez_agent.h"

#include <QDBusArgument>
#include <QDBusVariant>

#include <cerrno>

namespace zel {

namespace {
constexpr int CallTimeoutMs = 5000;
// Long enough for a device that is slow to answer; BlueZ gives up on its own before that.
constexpr int PairTimeoutMs = 60000;
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");

// The adapters, keyed by path, with their properties.
QMap<QString, QVariantMap> Adapters(const BusObjects& objects) {
    QMap<QString, QVariantMap> adapters;
    for (auto object = objects.begin(); object != objects.end(); ++object)
        if (object->contains(BluezAdapter))
            adapters.insert(object.key().path(), object->value(BluezAdapter));
    return adapters;
}

// Why no adapter can search: none at all, switched off, or blocked by rfkill.
BluetoothError AdapterError(const QMap<QString, QVariantMap>& adapters) {
    if (adapters.isEmpty())
        return SystemError(ENODEV, QStringLiteral("no Bluetooth adapter"));
    for (const QVariantMap& adapter : adapters)
        if (adapter.value(QStringLiteral("PowerState")).toString() == QLatin1String("off-blocked"))
            return SystemError(ERFKILL,
                               QStringLiteral("Bluetooth is blocked (rfkill unblock bluetooth)"));
    return SystemError(ENETDOWN,
                       QStringLiteral("Bluetooth is switched off (bluetoothctl power on)"));
}
} // namespace

BluetoothDeviceInfo DeviceInfoFromProperties(const QVariantMap& properties) {
    BluetoothDeviceInfo device;
    ParseBluetoothAddress(properties.value(QStringLiteral("Address")).toString(), device.Address);
    device.Name = properties.value(QStringLiteral("Name")).toString();
    device.Connected = properties.value(QStringLiteral("Connected")).toBool();
    device.Authenticated = properties.value(QStringLiteral("Paired")).toBool();
    return device;
}

BluezStack::BluezStack(const QDBusConnection& bus, int inquiryMs)
    : waiter_(bus), inquiryMs_(inquiryMs) {}

BluezStack::~BluezStack() {
    // Not waited for: the agent goes with this program's connection anyway.
    if (agentRegistered_)
        waiter_.Bus().send(BluezCall(BluezManagerPath, BluezAgentManager,
                                     QStringLiteral("UnregisterAgent"),
                                     {QVariant::fromValue(agent_->Path())}));
}

bool BluezStack::FindDevices(bool inquiry, QList<BluetoothDeviceInfo>& devices,
                             BluetoothError& error) {
    BusObjects objects;
    if (!waiter_.ManagedObjects(objects, error))
        return false;
    const QMap<QString, QVariantMap> adapters = Adapters(objects);
    QStringList powered;
    for (auto adapter = adapters.begin(); adapter != adapters.end(); ++adapter)
        if (adapter->value(QStringLiteral("Powered")).toBool())
            powered << adapter.key();
    // Removing needs no radio, searching does.
    if (adapters.isEmpty() || (inquiry && powered.isEmpty())) {
        error = AdapterError(adapters);
        return false;
    }
    if (inquiry) {
        if (!Inquire(powered, error) || !waiter_.ManagedObjects(objects, error))
            return false;
    }
    devices.clear();
    for (const BusInterfaces& object : objects)
        if (object.contains(BluezDevice))
            devices << DeviceInfoFromProperties(object.value(BluezDevice));
    error = {};
    return true;
}

bool BluezStack::Inquire(const QStringList& adapters, BluetoothError& error) {
    QStringList searching;
    // Every search this started ends with it, however it ends: a search left running would go
    // on until this program disconnects from the bus.
    const auto stop = [&] {
        for (const QString& adapter : searching)
            waiter_.Bus().send(BluezCall(adapter, BluezAdapter, QStringLiteral("StopDiscovery")));
    };
    try {
        for (const QString& adapter : adapters) {
            // The serial port profile lives on classic Bluetooth only. Without the filter the
            // search merely finds more.
            const QVariantMap filter{{QStringLiteral("Transport"), QStringLiteral("bredr")}};
            waiter_.Call(
                BluezCall(adapter, BluezAdapter, QStringLiteral("SetDiscoveryFilter"), {filter}),
                CallTimeoutMs);
            const QDBusMessage reply = waiter_.Call(
                BluezCall(adapter, BluezAdapter, QStringLiteral("StartDiscovery")), CallTimeoutMs);
            error = ReplyError(reply);
            if (error.Code.isEmpty())
                searching << adapter;
            // Another program's search serves as well.
            else if (error.Code != QLatin1String("org.bluez.Error.InProgress")) {
                stop();
                return false;
            }
        }
        waiter_.Pause(inquiryMs_);
    } catch (const DiscoverStopped&) {
        stop();
        throw;
    }
    stop();
    error = {};
    return true;
}

bool BluezStack::DevicePath(uint64_t address, QString& path, BluetoothError& error) {
    BusObjects objects;
    if (!waiter_.ManagedObjects(objects, error))
        return false;
    for (auto object = objects.begin(); object != objects.end(); ++object) {
        if (!object->contains(BluezDevice))
            continue;
        uint64_t found = 0;
        if (ParseBluetoothAddress(
                object->value(BluezDevice).value(QStringLiteral("Address")).toString(), found) &&
            found == address) {
            path = object.key().path();
            return true;
        }
    }
    error = SystemError(
        ENODEV,
        QStringLiteral("BlueZ does not know the device %1").arg(FormatBluetoothAddress(address)));
    return false;
}

bool BluezStack::GetDeviceInfo(BluetoothDeviceInfo& device, BluetoothError& error) {
    QString path;
    if (!DevicePath(device.Address, path, error))
        return false;
    const QDBusMessage reply = waiter_.Call(
        BluezCall(path, Properties, QStringLiteral("GetAll"), {BluezDevice}), CallTimeoutMs);
    error = ReplyError(reply);
    if (!error.Code.isEmpty())
        return false;
    const BluetoothDeviceInfo read =
        DeviceInfoFromProperties(qdbus_cast<QVariantMap>(reply.arguments().value(0)));
    device.Name = read.Name;
    device.Connected = read.Connected;
    device.Authenticated = read.Authenticated;
    return true;
}

bool BluezStack::RegisterAgent(BluetoothError& error) {
    if (agentRegistered_)
        return true;
    if (!agent_)
        agent_ = std::make_unique<BluezAgent>(waiter_.Bus());
    if (agent_->Path().path().isEmpty()) {
        error = {QStringLiteral("org.freedesktop.DBus.Error.Failed"),
                 QStringLiteral("The pairing agent could not be offered on the system bus")};
        return false;
    }
    // Keyboard and display: BlueZ may then ask for a PIN, a passkey or a confirmation.
    const QDBusMessage reply = waiter_.Call(
        BluezCall(BluezManagerPath, BluezAgentManager, QStringLiteral("RegisterAgent"),
                  {QVariant::fromValue(agent_->Path()), QStringLiteral("KeyboardDisplay")}),
        CallTimeoutMs);
    error = ReplyError(reply);
    agentRegistered_ = error.Code.isEmpty();
    return agentRegistered_;
}

bool BluezStack::AuthenticateDevice(const BluetoothDeviceInfo& device, const QString& pin,
                                    BluetoothError& error) {
    QString path;
    if (!DevicePath(device.Address, path, error) || !RegisterAgent(error))
        return false;
    agent_->Expect(QDBusObjectPath(path), pin);
    QDBusMessage reply;
    try {
        reply = waiter_.Call(BluezCall(path, BluezDevice, QStringLiteral("Pair")), PairTimeoutMs);
    } catch (const DiscoverStopped&) {
        // Leave no pairing half done behind.
        waiter_.Bus().send(BluezCall(path, BluezDevice, QStringLiteral("CancelPairing")));
        throw;
    }
    agent_->Expect(QDBusObjectPath(), QString());
    error = ReplyError(reply);
    return error.Code.isEmpty() || error.Code == QLatin1String("org.bluez.Error.AlreadyExists");
}

bool BluezStack::SetTrusted(const QString& path, BluetoothError& error) {
    const QDBusMessage reply = waiter_.Call(BluezCall(path, Properties, QStringLiteral("Set"),
                                                      {BluezDevice, QStringLiteral("Trusted"),
                                                       QVariant::fromValue(QDBusVariant(true))}),
                                            CallTimeoutMs);
    error = ReplyError(reply);
    return error.Code.isEmpty();
}

// Trusted, the device may connect its serial port without asking each time. Its services are
// known once the pairing has read them; one without the serial port profile has no port to
// give.
bool BluezStack::EnableSerialService(const BluetoothDeviceInfo& device, BluetoothError& error) {
    QString path;
    if (!DevicePath(device.Address, path, error) || !SetTrusted(path, error))
        return false;
    const QDBusMessage reply = waiter_.Call(
        BluezCall(path, Properties, QStringLiteral("Get"), {BluezDevice, QStringLiteral("UUIDs")}),
        CallTimeoutMs);
    error = ReplyError(reply);
    if (!error.Code.isEmpty())
        return false;
    const QStringList services =
        qdbus_cast<QDBusVariant>(reply.arguments().value(0)).variant().toStringList();
    if (!services.isEmpty() && !services.contains(SerialPortServiceClass, Qt::CaseInsensitive)) {
        error = SystemError(EPROTONOSUPPORT,
                            QStringLiteral("the device offers no serial port service"));
        return false;
    }
    return true;
}

bool BluezStack::RemoveDevice(const BluetoothDeviceInfo& device, BluetoothError& error) {
    QString path;
    if (!DevicePath(device.Address, path, error))
        return false;
    const QString adapter = path.section(QLatin1Char('/'), 0, -2);
    const QDBusMessage reply =
        waiter_.Call(BluezCall(adapter, BluezAdapter, QStringLiteral("RemoveDevice"),
                               {QVariant::fromValue(QDBusObjectPath(path))}),
                     CallTimeoutMs);
    error = ReplyError(reply);
    return error.Code.isEmpty();
}

} // namespace zel
