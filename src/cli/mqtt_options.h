// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace zel {

// What `zelphorin-cli --port PORT mqtt ...` was told. The password is read from its file when
// the arguments are parsed, so it never has to be given where `ps` shows it.
struct MqttOptions {
    QString Host;
    int Port = 0; // 1883, or 8883 with TLS, unless the broker names one
    QString Id;   // one topic level: letters, digits, "_" and "-"
    QString BaseTopic = QStringLiteral("zelphorin");
    QString DiscoveryPrefix = QStringLiteral("homeassistant");
    QString Username;
    QString Password;
    QString TlsCaFile;
    bool Discovery = true;

    // BaseTopic/Id
    QString Root() const { return BaseTopic + QLatin1Char('/') + Id; }
};

// The bridge's ID for a port: its base name with every character that is no letter, digit,
// "_" or "-" turned into "_" ("/dev/ttyUSB0" gives ttyUSB0, "rfcomm:00:11:22:33:44:55"
// rfcomm_00_11_22_33_44_55).
QString TopicSafeId(const QString& port);

// Parses the arguments after "mqtt" for the port; false with one line in `error`.
bool ParseMqttArguments(const QStringList& arguments, const QString& port, MqttOptions& options,
                        QString& error);

// The usage of the mqtt command's options, for --help.
QString MqttUsage();

} // namespace zel
