// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>

namespace zel {

// The pairing agent: answers BlueZ's questions during a pairing this program started, for
// that one device only, with the controller's fixed PIN. Everything else is rejected, so
// pairings of other programs or of other devices never go through it.
class BluezAgent : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.bluez.Agent1")
public:
    // Exports the agent on the bus under a path of its own; `Path()` is empty when that failed.
    explicit BluezAgent(const QDBusConnection& bus, QObject* parent = nullptr);
    ~BluezAgent() override;

    QDBusObjectPath Path() const { return path_; }
    // The device being paired and its PIN; an empty path answers nobody.
    void Expect(const QDBusObjectPath& device, const QString& pin);

public slots:
    void Release();
    QString RequestPinCode(const QDBusObjectPath& device);
    uint RequestPasskey(const QDBusObjectPath& device);
    void DisplayPinCode(const QDBusObjectPath& device, const QString& pincode);
    void DisplayPasskey(const QDBusObjectPath& device, uint passkey, ushort entered);
    void RequestConfirmation(const QDBusObjectPath& device, uint passkey);
    void RequestAuthorization(const QDBusObjectPath& device);
    void AuthorizeService(const QDBusObjectPath& device, const QString& uuid);
    void Cancel();

private:
    bool Expected(const QDBusObjectPath& device);

    QDBusConnection bus_;
    QDBusObjectPath path_;
    QDBusObjectPath device_;
    QString pin_;
};

} // namespace zel
