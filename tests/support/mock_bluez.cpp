// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/mock_bluez.h"

#include "support/wait.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDebug>

#include <csignal>

namespace zel::test {

namespace {
constexpr int StartTimeoutMs = 15000;
const QString Mock = QStringLiteral("org.freedesktop.DBus.Mock");
} // namespace

MockBluez::~MockBluez() {
    StopBluez();
    if (!connectionName_.isEmpty())
        QDBusConnection::disconnectFromBus(connectionName_);
    if (busPid_ > 0)
        ::kill(pid_t(busPid_), SIGTERM);
}

bool MockBluez::StartBus(QString& why) {
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {"--session", "--fork", "--print-address=1", "--print-pid=1"});
    if (!bus.waitForFinished(StartTimeoutMs) || bus.exitCode() != 0) {
        why = QStringLiteral("dbus-daemon cannot run here: ") + bus.errorString();
        return false;
    }
    const QStringList lines = QString::fromUtf8(bus.readAllStandardOutput()).split('\n');
    if (lines.size() < 2) {
        why = QStringLiteral("dbus-daemon did not tell its address");
        return false;
    }
    address_ = lines.at(0).trimmed();
    busPid_ = lines.at(1).toLongLong();
    connectionName_ = QStringLiteral("mock-bluez-%1").arg(busPid_);
    if (!Bus().isConnected()) {
        why = QStringLiteral("cannot connect to the private bus ") + address_;
        return false;
    }
    return true;
}

bool MockBluez::StartBluez(QString& why) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address_);
    bluez_.setProcessEnvironment(environment);
    bluez_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bluez_.setStandardOutputFile(QProcess::nullDevice());
    // Debian's interpreter: one on PATH may not see Debian's Python packages.
    bluez_.start(QStringLiteral("/usr/bin/python3"),
                 {"-m", "dbusmock", "--system", "--template", "bluez5"});
    const auto registered = [this] {
        return Bus().interface()->isServiceRegistered(QStringLiteral("org.bluez")).value();
    };
    WaitUntil([&] { return registered() || bluez_.state() == QProcess::NotRunning; },
              StartTimeoutMs);
    if (!registered()) {
        why = QStringLiteral("python3-dbusmock cannot play BlueZ here (/usr/bin/python3 -m "
                             "dbusmock --template bluez5)");
        return false;
    }
    return true;
}

void MockBluez::StopBluez() {
    if (bluez_.state() == QProcess::NotRunning)
        return;
    bluez_.terminate();
    if (!bluez_.waitForFinished(StartTimeoutMs))
        bluez_.kill();
    bluez_.waitForFinished(StartTimeoutMs);
    // The bus lets go of the name a moment after the process has ended.
    WaitUntil(
        [this] {
            return !Bus().interface()->isServiceRegistered(QStringLiteral("org.bluez")).value();
        },
        StartTimeoutMs);
}

QDBusConnection MockBluez::Bus() const {
    return QDBusConnection::connectToBus(address_, connectionName_);
}

QDBusMessage MockBluez::Call(const QString& path, const QString& interface, const QString& method,
                             const QVariantList& arguments) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.bluez"), path, interface, method);
    call.setArguments(arguments);
    return Bus().call(call);
}

bool MockBluez::AddAdapter(const QString& name) {
    return Succeeded(Call(QStringLiteral("/"), QStringLiteral("org.bluez.Mock"),
                          QStringLiteral("AddAdapter"), {name, QStringLiteral("Test computer")}));
}

QString MockBluez::AddDevice(const QString& adapter, const QString& address, const QString& name) {
    const QDBusMessage reply = Call(QStringLiteral("/"), QStringLiteral("org.bluez.Mock"),
                                    QStringLiteral("AddDevice"), {adapter, address, name});
    return Succeeded(reply) ? reply.arguments().value(0).toString() : QString();
}

bool MockBluez::UpdateProperties(const QString& path, const QString& interface,
                                 const QVariantMap& properties) {
    return Succeeded(Call(path, Mock, QStringLiteral("UpdateProperties"), {interface, properties}));
}

bool MockBluez::AddProperty(const QString& path, const QString& interface, const QString& name,
                            const QVariant& value) {
    return Succeeded(Call(path, Mock, QStringLiteral("AddProperty"),
                          {interface, name, QVariant::fromValue(QDBusVariant(value))}));
}

bool MockBluez::AddMethod(const QString& path, const QString& interface, const QString& name,
                          const QString& inSignature, const QString& outSignature,
                          const QString& code) {
    return Succeeded(Call(path, Mock, QStringLiteral("AddMethod"),
                          {interface, name, inSignature, outSignature, code}));
}

QStringList MockBluez::Calls(const QString& path) {
    QStringList names;
    const QDBusMessage reply = Call(path, Mock, QStringLiteral("GetCalls"));
    if (!Succeeded(reply))
        return names;
    const QDBusArgument calls = reply.arguments().value(0).value<QDBusArgument>();
    calls.beginArray();
    while (!calls.atEnd()) {
        qulonglong time = 0;
        QString name;
        calls.beginStructure();
        calls >> time >> name;
        QVariantList ignored;
        calls >> ignored;
        calls.endStructure();
        names << name;
    }
    calls.endArray();
    return names;
}

bool Succeeded(const QDBusMessage& reply) {
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    qWarning() << reply.errorName() << reply.errorMessage();
    return false;
}

} // namespace zel::test
