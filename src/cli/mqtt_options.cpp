// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/mqtt_options.h"

#include <QFile>
#include <QRegularExpression>

namespace zel {

namespace {

constexpr int DefaultPort = 1883;
constexpr int DefaultTlsPort = 8883;
// A password file is a line, not a document: anything longer is the wrong file.
constexpr qint64 MaxPasswordFileSize = 4096;

const QRegularExpression& IdPattern() {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-]+$"));
    return pattern;
}

// Topic levels separated by "/": none empty, no wildcard, no NUL.
bool IsTopicPrefix(const QString& topic) {
    static const QRegularExpression pattern(QStringLiteral("^[^/+#\\x00]+(/[^/+#\\x00]+)*$"));
    return pattern.match(topic).hasMatch();
}

// HOST, HOST:PORT, [IPv6] or [IPv6]:PORT.
bool ParseBroker(const QString& text, MqttOptions& options) {
    static const QRegularExpression pattern(
        QStringLiteral("^(?:\\[([0-9A-Fa-f:.]+)\\]|([^:\\[\\]\\s]+))(?::([0-9]{1,5}))?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    options.Host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    if (match.captured(3).isEmpty())
        return true;
    options.Port = match.captured(3).toInt();
    return options.Port >= 1 && options.Port <= 65535;
}

bool ReadPassword(const QString& path, QString& password, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error =
            QStringLiteral("cannot read the password file %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray content = file.read(MaxPasswordFileSize + 1);
    if (content.size() > MaxPasswordFileSize) {
        error = QStringLiteral("the password file %1 holds more than one line").arg(path);
        return false;
    }
    QByteArray line = content.left(content.indexOf('\n'));
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty() || content.mid(line.size()).trimmed().size() > 0) {
        error = QStringLiteral("the password file %1 must hold the password alone on its first "
                               "line")
                    .arg(path);
        return false;
    }
    password = QString::fromUtf8(line);
    return true;
}

} // namespace

QString TopicSafeId(const QString& port) {
    QString id = port.mid(port.lastIndexOf(QLatin1Char('/')) + 1);
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_-]"));
    id.replace(unsafe, QStringLiteral("_"));
    return id;
}

bool ParseMqttArguments(const QStringList& arguments, const QString& port, MqttOptions& options,
                        QString& error) {
    QString broker;
    QString passwordFile;
    static const QStringList valued = {
        QStringLiteral("--broker"),     QStringLiteral("--id"),
        QStringLiteral("--base-topic"), QStringLiteral("--discovery-prefix"),
        QStringLiteral("--username"),   QStringLiteral("--password-file"),
        QStringLiteral("--tls-ca")};
    QString* const targets[] = {
        &broker,           &options.Id,   &options.BaseTopic, &options.DiscoveryPrefix,
        &options.Username, &passwordFile, &options.TlsCaFile};
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const qsizetype which = valued.indexOf(argument);
        if (argument == QLatin1String("--no-discovery")) {
            options.Discovery = false;
        } else if (argument == QLatin1String("--password") ||
                   argument.startsWith(QLatin1String("--password="))) {
            error = QStringLiteral("a password is never taken on the command line, where ps shows "
                                   "it: use --password-file FILE");
            return false;
        } else if (which >= 0) {
            if (++i >= arguments.size() || arguments[i].isEmpty()) {
                error = argument + QStringLiteral(" needs a value");
                return false;
            }
            *targets[which] = arguments[i];
        } else {
            error = QStringLiteral("mqtt: unknown argument ") + argument;
            return false;
        }
    }
    if (broker.isEmpty()) {
        error = QStringLiteral("mqtt needs --broker HOST[:PORT]");
        return false;
    }
    if (!ParseBroker(broker, options)) {
        error =
            QStringLiteral("--broker takes HOST[:PORT] with a port from 1 to 65535, not ") + broker;
        return false;
    }
    if (options.Port == 0)
        options.Port = options.TlsCaFile.isEmpty() ? DefaultPort : DefaultTlsPort;
    if (options.Id.isEmpty())
        options.Id = TopicSafeId(port);
    if (!IdPattern().match(options.Id).hasMatch()) {
        error = QStringLiteral("the ID \"%1\" must be letters, digits, \"_\" and \"-\" only: give "
                               "one with --id")
                    .arg(options.Id);
        return false;
    }
    for (const QString* prefix : {&options.BaseTopic, &options.DiscoveryPrefix}) {
        if (!IsTopicPrefix(*prefix)) {
            error = QStringLiteral("\"%1\" is no topic prefix: levels separated by \"/\", none "
                                   "empty, without \"+\" or \"#\"")
                        .arg(*prefix);
            return false;
        }
    }
    if (!passwordFile.isEmpty() && options.Username.isEmpty()) {
        error = QStringLiteral("--password-file needs --username");
        return false;
    }
    if (!passwordFile.isEmpty() && !ReadPassword(passwordFile, options.Password, error))
        return false;
    if (!options.TlsCaFile.isEmpty() && !QFile(options.TlsCaFile).open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the CA certificate file ") + options.TlsCaFile;
        return false;
    }
    return true;
}

QString MqttUsage() {
    return QStringLiteral(
        "mqtt options:\n"
        "  --broker HOST[:PORT]        the MQTT broker (port 1883, 8883 with --tls-ca)\n"
        "  --id ID                     the controller's topic level (default: the port's name\n"
        "                              with every character but A-Z a-z 0-9 _ - made \"_\")\n"
        "  --base-topic TOPIC          default zelphorin: topics are TOPIC/ID/...\n"
        "  --discovery-prefix TOPIC    default homeassistant\n"
        "  --no-discovery              publish no Home Assistant discovery configs\n"
        "  --username USER --password-file FILE\n"
        "                              log in; the password is the file's first line\n"
        "  --tls-ca FILE               TLS, checking the broker against this CA certificate\n"
        "Topics: ID/availability (online|offline, retained), ID/state (JSON, retained),\n"
        "ID/error (refused commands); commands: ID/mode/set (manual|auto|geo),\n"
        "ID/channel/W/set and R, G, B (percent 0-100, mode manual), ID/cloud/trigger and\n"
        "ID/storm/trigger (modes auto and geo), ID/clock/sync (this computer's clock).\n"
        "Runs until SIGINT or SIGTERM, which publish offline and exit 0.\n");
}

} // namespace zel
