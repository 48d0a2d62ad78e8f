// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/mqtt_broker.h"

#include "support/wait.h"

#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zel::test {

namespace {

// A loopback TCP socket bound to `port` (0: any free one) and, with `connectTo`, connected to
// it; returns the bound port, or 0 when either step fails.
quint16 LoopbackSocket(quint16 port, bool connectTo) {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    socklen_t length = sizeof address;
    const bool ok = connectTo ? ::connect(socket, generic, length) == 0
                              : ::bind(socket, generic, length) == 0 &&
                                    ::getsockname(socket, generic, &length) == 0;
    ::close(socket);
    return ok ? ntohs(address.sin_port) : 0;
}

} // namespace

bool MqttBroker::Start() {
    if (port_ == 0 && (port_ = LoopbackSocket(0, false)) == 0)
        return false;
    QFile config(folder_.filePath(QStringLiteral("mosquitto.conf")));
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n"
                                "persistence false\nmax_queued_messages 10000\n")
                     .arg(port_)
                     .toUtf8());
    config.close();
    process_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config.fileName()});
    return process_.waitForStarted() &&
           WaitUntil([this] { return LoopbackSocket(port_, true) != 0; });
}

void MqttBroker::Stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished();
    }
}

QString MqttBroker::Url() const {
    return QStringLiteral("127.0.0.1:%1").arg(port_);
}

QStringList MqttBroker::ClientArguments() const {
    return {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
            QString::number(port_)};
}

} // namespace zel::test
