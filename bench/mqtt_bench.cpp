// SPDX-License-Identifier: GPL-3.0-or-later
// Twenty simulated controllers, one zelphorin-cli mqtt bridge each, one local mosquitto:
// processor time and resident memory per bridge at rest, messages a second at the broker, and
// the time from a published command to its line on the controller's wire.
//
//     mqtt_bench [BRIDGES] [COMMANDS]

#include "cli/mqtt_client.h"
#include "cli/mqtt_options.h"
#include "support/mqtt_broker.h"
#include "support/sim_process.h"
#include "support/wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace zel;
using namespace zel::test;

namespace {

constexpr int RestMs = 20000;
constexpr int WaitMs = 60000;

QString CliProgram() {
    return QStringLiteral(ZEL_BINARY_DIR "/src/zelphorin-cli");
}

// User plus system time of a process, in seconds.
double CpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(')').value(1).split(' ');
    // After the ")": state is field 1, utime 12, stime 13.
    return (fields.value(12).toDouble() + fields.value(13).toDouble()) / ::sysconf(_SC_CLK_TCK);
}

double ResidentMiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

int WireWrites(const SimProcess& sim) {
    int count = 0;
    for (const QString& line : sim.LogLines())
        count += line.contains(QLatin1String(" IN 01"));
    return count;
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int bridges = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int commands = argc > 2 ? std::max(1, atoi(argv[2])) : 200;

    MqttBroker broker;
    if (!broker.Start()) {
        std::fprintf(stderr, "mosquitto did not start\n");
        return 1;
    }
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < bridges; ++i) {
        sims.push_back(std::make_unique<SimProcess>(BuiltSimProgram()));
        if (!sims.back()->Start()) {
            std::fprintf(stderr, "%s\n", qPrintable(sims.back()->ErrorText()));
            return 1;
        }
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->setStandardErrorFile(QProcess::nullDevice());
        processes.back()->start(CliProgram(),
                                {"--port", sims.back()->SlavePath(), "mqtt", "--broker",
                                 broker.Url(), "--id", QStringLiteral("tank%1").arg(i)});
    }

    MqttOptions options;
    options.Host = QStringLiteral("127.0.0.1");
    options.Port = broker.Port();
    MqttClient client(
        options, QStringLiteral("bench"), QStringLiteral("bench/availability"), "offline",
        {QStringLiteral("zelphorin/+/state"), QStringLiteral("zelphorin/+/availability")});
    int received = 0;
    int online = 0;
    QObject::connect(&client, &MqttClient::messageReceived,
                     [&](const QString& topic, const QByteArray& payload, bool) {
                         ++received;
                         online +=
                             topic.endsWith(QLatin1String("availability")) && payload == "online";
                     });
    client.Start();
    if (!WaitUntil([&] { return online >= bridges; }, WaitMs)) {
        std::fprintf(stderr, "only %d of %d bridges came online\n", online, bridges);
        return 1;
    }

    // At rest: the first download is over, nothing is asked.
    WaitUntil([] { return false; }, 3000);
    std::vector<double> cpuBefore;
    for (const auto& process : processes)
        cpuBefore.push_back(CpuSeconds(process->processId()));
    received = 0;
    QElapsedTimer rest;
    rest.start();
    WaitUntil([] { return false; }, RestMs);
    const double restSeconds = rest.elapsed() / 1000.0;
    const double messagesPerSecond = received / restSeconds;
    double cpuPercent = 0;
    double residentMiB = 0;
    for (size_t i = 0; i < processes.size(); ++i) {
        cpuPercent += (CpuSeconds(processes[i]->processId()) - cpuBefore[i]) / restSeconds * 100;
        residentMiB += ResidentMiB(processes[i]->processId());
    }

    // Commands: every bridge to Manual first, then one level at a time, round robin.
    for (int i = 0; i < bridges; ++i)
        client.Publish(QStringLiteral("zelphorin/tank%1/mode/set").arg(i), "manual", false);
    WaitUntil([] { return false; }, 3000);
    std::vector<double> latencies;
    for (int n = 0; n < commands; ++n) {
        const int i = n % bridges;
        const int before = WireWrites(*sims[size_t(i)]);
        QElapsedTimer timer;
        timer.start();
        client.Publish(QStringLiteral("zelphorin/tank%1/channel/W/set").arg(i),
                       QByteArray::number(n % 100 + 1), false);
        if (!WaitUntil([&] { return WireWrites(*sims[size_t(i)]) > before; }, 5000)) {
            std::fprintf(stderr, "command %d never reached the wire\n", n);
            return 1;
        }
        latencies.push_back(timer.nsecsElapsed() / 1e6);
    }

    std::printf("bridges: %d, rest %.0f s, commands %d\n", bridges, restSeconds, commands);
    std::printf("per bridge at rest: CPU %.2f %% of a core, resident %.1f MiB\n",
                cpuPercent / bridges, residentMiB / bridges);
    std::printf("messages at the broker (state and availability): %.1f /s\n", messagesPerSecond);
    std::printf("command to wire: median %.1f ms, p99 %.1f ms, max %.1f ms\n",
                Percentile(latencies, 0.5), Percentile(latencies, 0.99),
                *std::max_element(latencies.begin(), latencies.end()));
    for (auto& process : processes) {
        process->terminate();
        process->waitForFinished(10000);
    }
    client.Stop();
    return 0;
}
