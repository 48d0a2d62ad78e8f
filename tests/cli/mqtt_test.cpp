// SPDX-License-Identifier: GPL-3.0-or-later
// zelphorin-cli mqtt against a real broker: a private mosquitto on a free loopback port, the
// bridge on a zelphorin-sim, and mosquitto_sub / mosquitto_pub as the other side.

#include "cfg/records.h"
#include "cli/mqtt_options.h"
#include "support/by_value.h"
#include "support/cli_run.h"
#include "support/mqtt_broker.h"
#include "support/sim_process.h"
#include "support/wait.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace zel;
using namespace zel::test;

namespace {

constexpr int WaitMs = 20000;

} // namespace

class MqttTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    MqttBroker broker_;
    QProcess watcher_; // every message under the bridge's topics, as "retain topic payload"
    QStringList seen_;

    QString LinkPath() const { return folder_.filePath(QStringLiteral("tank-1")); }
    static QString Root() { return QStringLiteral("zelphorin/tank-1/"); }

    QStringList Seen() {
        while (watcher_.canReadLine())
            seen_ << QString::fromUtf8(watcher_.readLine()).trimmed();
        return seen_;
    }
    bool Saw(const QString& line) {
        return WaitUntil([&] { return Seen().contains(line); }, WaitMs);
    }

    // What the broker keeps for the topics now: "topic payload" lines, at most `count`.
    QStringList Retained(const QString& topic, int count = 1) {
        QProcess sub;
        sub.start(QStringLiteral("mosquitto_sub"),
                  broker_.ClientArguments() + QStringList{"-t", topic, "--retained-only", "-C",
                                                          QString::number(count), "-W", "2", "-F",
                                                          "%t %p"});
        sub.waitForFinished(5000);
        return Lines(sub.readAllStandardOutput());
    }
    bool RetainedBecomes(const QString& topic, const QString& payload) {
        return WaitUntil(
            [&] { return Retained(topic).value(0) == topic + QLatin1Char(' ') + payload; }, WaitMs);
    }
    void Publish(const QString& topic, const QString& payload) {
        QProcess pub;
        pub.start(QStringLiteral("mosquitto_pub"),
                  broker_.ClientArguments() + QStringList{"-t", topic, "-m", payload});
        QVERIFY(pub.waitForFinished(5000) && pub.exitCode() == 0);
    }

    void StartBridge(QProcess& bridge, const QStringList& extra = {}) {
        bridge.start(CliProgram(),
                     QStringList{"--port", LinkPath(), "mqtt", "--broker", broker_.Url()} + extra);
        QVERIFY(bridge.waitForStarted());
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        QVERIFY2(broker_.Start(), "mosquitto did not start (scripts/setup installs it)");
        watcher_.start(QStringLiteral("mosquitto_sub"),
                       broker_.ClientArguments() +
                           QStringList{"-t", "zelphorin/#", "-F", "%r %t %p"});
        QVERIFY(watcher_.waitForStarted());
    }
    void cleanupTestCase() {
        watcher_.terminate();
        watcher_.waitForFinished();
    }

    // The ID comes from the port's base name made topic-safe; a password only from its file.
    void ParsesTheBridgeArguments_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("outcome"); // "ID HOST PORT USER PASSWORD" or an error part
        const QString password = folder_.filePath(QStringLiteral("password"));
        QFile file(password);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("s3cret\n") == 7);
        file.close();
        QTest::newRow("tty") << "/dev/ttyUSB0" << QStringList{"--broker", "hub"}
                             << "ttyUSB0 hub 1883  ";
        QTest::newRow("rfcomm") << "rfcomm:00:11:22:33:44:55"
                                << QStringList{"--broker", "[::1]:1884"}
                                << "rfcomm_00_11_22_33_44_55 ::1 1884  ";
        QTest::newRow("login") << "ttyACM0" << QStringList{"--broker",        "hub",        "--id",
                                                           "reef-2",          "--username", "tank",
                                                           "--password-file", password}
                               << "reef-2 hub 1883 tank s3cret";
        QTest::newRow("password on the command line")
            << "ttyUSB0" << QStringList{"--broker", "hub", "--password", "x"} << "never taken";
        QTest::newRow("ID with a slash")
            << "ttyUSB0" << QStringList{"--broker", "hub", "--id", "a/b"} << "letters, digits";
        QTest::newRow("wildcard base")
            << "ttyUSB0" << QStringList{"--broker", "hub", "--base-topic", "a/#"}
            << "no topic prefix";
        QTest::newRow("port 0") << "ttyUSB0" << QStringList{"--broker", "hub:0"} << "1 to 65535";
        QTest::newRow("no broker") << "ttyUSB0" << QStringList{"--no-discovery"} << "--broker";
    }
    void ParsesTheBridgeArguments() {
        QFETCH(QString, port);
        QFETCH(QStringList, arguments);
        QFETCH(QString, outcome);
        MqttOptions options;
        QString error;
        if (ParseMqttArguments(arguments, port, options, error))
            error = QStringLiteral("%1 %2 %3 %4 %5")
                        .arg(options.Id, options.Host)
                        .arg(options.Port)
                        .arg(options.Username, options.Password);
        QVERIFY2(error.contains(outcome), qPrintable(error));
    }

    void PublishesDiscoveryAndStateAndCarriesOutCommands() {
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--link"), LinkPath()});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
        QProcess bridge;
        StartBridge(bridge);
        QVERIFY(RetainedBecomes(Root() + "availability", "online"));

        const QStringList configs = Retained(QStringLiteral("homeassistant/#"), 11);
        QCOMPARE(configs.size(), 11);
        QStringList uniqueIds;
        for (const QString& config : configs) {
            const QString topic = config.section(QLatin1Char(' '), 0, 0);
            QVERIFY2(topic.contains(QLatin1String("/tank-1/")) && topic.endsWith("/config"),
                     qPrintable(topic));
            QJsonParseError error{};
            const QJsonObject json =
                QJsonDocument::fromJson(config.section(QLatin1Char(' '), 1).toUtf8(), &error)
                    .object();
            QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(config));
            QCOMPARE(json[QLatin1String("availability_topic")].toString(), Root() + "availability");
            QCOMPARE(json[QLatin1String("device")][QLatin1String("sw_version")].toString(),
                     QStringLiteral("2.x.0"));
            uniqueIds << json[QLatin1String("unique_id")].toString();
        }
        uniqueIds.removeDuplicates();
        QCOMPARE(uniqueIds.size(), 11);

        const QString state = Retained(Root() + "state").value(0).section(QLatin1Char(' '), 1);
        const QJsonObject status = QJsonDocument::fromJson(state.toUtf8()).object();
        QVERIFY2(status[QLatin1String("Mode")].isString() &&
                     status[QLatin1String("BoardTemperatureC")].isDouble(),
                 qPrintable(state));

        Publish(Root() + "mode/set", QStringLiteral("manual"));
        QVERIFY(WaitUntil([&] { return !Lines(sim, "IN", "02").isEmpty(); }, WaitMs));
        QCOMPARE(As<ConfigBlock>(FirstPayload(sim, "IN", "02")).Mode, uint8_t(ModeManual));
        Publish(Root() + "channel/W/set", QStringLiteral("50"));
        QVERIFY(WaitUntil([&] { return Lines(sim, "IN", "01").size() == 1; }, WaitMs));
        QCOMPARE(test::ByValue(As<InfoBlock>(FirstPayload(sim, "IN", "01")).Channel[0]),
                 int16_t(2048));

        // Refused, each with its reason; the next good command is the next write on the wire.
        const QList<QPair<QString, QString>> bad = {{"channel/W/set", "100.5"},
                                                    {"channel/X/set", "10"},
                                                    {"mode/set", "rgbdemo"},
                                                    {"storm/trigger", "PRESS"}};
        for (const auto& [command, payload] : bad) {
            Publish(Root() + command, payload);
            QVERIFY2(WaitUntil(
                         [&] {
                             return !Seen()
                                         .filter(QStringLiteral("0 ") + Root() + "error " +
                                                 command + ": ")
                                         .isEmpty();
                         },
                         WaitMs),
                     qPrintable(command));
        }
        Publish(Root() + "channel/R/set", QStringLiteral("25"));
        QVERIFY(WaitUntil([&] { return Lines(sim, "IN", "01").size() == 2; }, WaitMs));
        QCOMPARE(Lines(sim, "IN", "02").size(), 1);
        QCOMPARE(test::ByValue(As<InfoBlock>(Payload(Lines(sim, "IN", "01").last())).Channel[1]),
                 int16_t(1024));
        QVERIFY(WaitUntil([&] { return Retained(Root() + "state").value(0).contains("\"R\":25"); },
                          WaitMs));

        bridge.terminate();
        QVERIFY(bridge.waitForFinished(WaitMs));
        QCOMPARE(bridge.exitCode(), 0);
        QCOMPARE(Retained(Root() + "availability").value(0), Root() + "availability offline");
    }

    void RecoversFromBrokerRestartAndControllerVanishing() {
        auto sim = std::make_unique<SimProcess>(BuiltSimProgram(),
                                                QStringList{QStringLiteral("--link"), LinkPath()});
        QVERIFY2(sim->Start(), qPrintable(sim->ErrorText()));
        QProcess bridge;
        StartBridge(bridge);
        QVERIFY(RetainedBecomes(Root() + "availability", "online"));

        broker_.Stop();
        QVERIFY(broker_.Start());
        QVERIFY(RetainedBecomes(Root() + "availability", "online"));
        QCOMPARE(Retained(QStringLiteral("homeassistant/#"), 11).size(), 11);
        QVERIFY(Retained(Root() + "state").value(0).contains(QLatin1String("\"Mode\"")));

        QCOMPARE(sim->Stop(), 0);
        QVERIFY(RetainedBecomes(Root() + "availability", "offline"));
        sim = std::make_unique<SimProcess>(BuiltSimProgram(),
                                           QStringList{QStringLiteral("--link"), LinkPath()});
        QVERIFY2(sim->Start(), qPrintable(sim->ErrorText()));
        QVERIFY(RetainedBecomes(Root() + "availability", "online"));

        bridge.terminate();
        QVERIFY(bridge.waitForFinished(WaitMs));
        QCOMPARE(bridge.exitCode(), 0);
        QCOMPARE(Retained(Root() + "availability").value(0), Root() + "availability offline");
    }
};

QTEST_GUILESS_MAIN(MqttTest)
#include "mqtt_test.moc"
