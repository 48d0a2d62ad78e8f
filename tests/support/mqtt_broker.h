// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace zel::test {

// A mosquitto of its own for tests and benchmarks: loopback only, anonymous, on a free port
// that it keeps across a restart, nothing kept across one.
class MqttBroker {
public:
    ~MqttBroker() { Stop(); }
    // False when mosquitto is missing or does not take connections within the time.
    bool Start();
    void Stop();
    quint16 Port() const { return port_; }
    // HOST:PORT for --broker.
    QString Url() const;
    // -h HOST -p PORT for mosquitto_sub and mosquitto_pub.
    QStringList ClientArguments() const;

private:
    QTemporaryDir folder_;
    QProcess process_;
    quint16 port_ = 0;
};

} // namespace zel::test
