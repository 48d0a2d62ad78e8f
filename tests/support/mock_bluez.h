// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

namespace zel::test {

// A private bus of the test's own with python3-dbusmock playing BlueZ on it (template
// "bluez5"). The test reaches it through Bus(); nothing of the machine's buses is touched.
class MockBluez {
public:
    MockBluez() = default;
    ~MockBluez();

    // Starts the bus; false with the reason when dbus-daemon cannot run.
    bool StartBus(QString& why);
    // Starts (or, after StopBluez, restarts) the mock on the bus; false with the reason.
    bool StartBluez(QString& why);
    void StopBluez();

    QDBusConnection Bus() const;
    QString BusAddress() const { return address_; }

    // The mock's own calls ("/" for AddAdapter, AddDevice, PairDevice, ...).
    QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {});
    bool AddAdapter(const QString& name);
    // The device's object path.
    QString AddDevice(const QString& adapter, const QString& address, const QString& name);
    bool UpdateProperties(const QString& path, const QString& interface,
                          const QVariantMap& properties);
    bool AddProperty(const QString& path, const QString& interface, const QString& name,
                     const QVariant& value);
    // Replaces or adds a method whose body is Python code (see dbusmock's AddMethod).
    bool AddMethod(const QString& path, const QString& interface, const QString& name,
                   const QString& inSignature, const QString& outSignature, const QString& code);
    // The names of the methods called on an object, in order.
    QStringList Calls(const QString& path);

private:
    QString address_;
    qint64 busPid_ = 0;
    QProcess bluez_;
    QString connectionName_;
};

// "The reply is a reply", with the error shown otherwise.
bool Succeeded(const QDBusMessage& reply);

} // namespace zel::test
