// SPDX-License-Identifier: GPL-3.0-or-later
#include "discover/bluez_agent.h"

#include <atomic>

namespace zel {

namespace {
std::atomic<int> agentCount{0};
} // namespace

BluezAgent::BluezAgent(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus_(bus) {
    const QString path = QStringLiteral("/org/zelphorin/agent%1").arg(++agentCount);
    if (bus_.registerObject(path, this, QDBusConnection::ExportAllSlots))
        path_ = QDBusObjectPath(path);
}

BluezAgent::~BluezAgent() {
    if (!path_.path().isEmpty())
        bus_.unregisterObject(path_.path());
}

void BluezAgent::Expect(const QDBusObjectPath& device, const QString& pin) {
    device_ = device;
    pin_ = pin;
}

bool BluezAgent::Expected(const QDBusObjectPath& device) {
    if (!device_.path().isEmpty() && device == device_)
        return true;
    sendErrorReply(QStringLiteral("org.bluez.Error.Rejected"),
                   QStringLiteral("Not a pairing this program started"));
    return false;
}

void BluezAgent::Release() {}

QString BluezAgent::RequestPinCode(const QDBusObjectPath& device) {
    return Expected(device) ? pin_ : QString();
}

uint BluezAgent::RequestPasskey(const QDBusObjectPath& device) {
    return Expected(device) ? pin_.toUInt() : 0;
}

// Shown by the other side; nothing to answer.
void BluezAgent::DisplayPinCode(const QDBusObjectPath&, const QString&) {}
void BluezAgent::DisplayPasskey(const QDBusObjectPath&, uint, ushort) {}

// The user asked for this pairing; a device that offers a comparison instead of a PIN
// is taken as it is.
void BluezAgent::RequestConfirmation(const QDBusObjectPath& device, uint) {
    Expected(device);
}

void BluezAgent::RequestAuthorization(const QDBusObjectPath& device) {
    Expected(device);
}

// This program offers no service to other devices.
void BluezAgent::AuthorizeService(const QDBusObjectPath&, const QString&) {
    sendErrorReply(QStringLiteral("org.bluez.Error.Rejected"),
                   QStringLiteral("No service is offered"));
}

void BluezAgent::Cancel() {}

} // namespace zel
