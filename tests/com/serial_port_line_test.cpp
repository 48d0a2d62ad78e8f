// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port line on a real pseudo-terminal: stops, line settings, one lock per device.

#include "com/line_settings.h"
#include "com/serial_line.h"
#include "sim/sim_controller.h"
#include "support/wait.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

using namespace zel;
using zel::test::WaitUntil;

namespace {

// Records the settings applied and refuses the ones it is told to.
struct FakePort {
    QStringList applied;
    QStringList refused;

    bool Take(const QString& setting) {
        applied << setting;
        return !refused.contains(setting);
    }
    bool setBaudRate(qint32 rate) { return Take(QStringLiteral("baud %1").arg(rate)); }
    bool setDataBits(QSerialPort::DataBits bits) {
        return Take(QStringLiteral("bits %1").arg(bits));
    }
    bool setParity(QSerialPort::Parity parity) {
        return Take(QStringLiteral("parity %1").arg(parity));
    }
    bool setStopBits(QSerialPort::StopBits bits) {
        return Take(QStringLiteral("stop %1").arg(bits));
    }
    bool setFlowControl(QSerialPort::FlowControl flow) {
        return Take(QStringLiteral("flow %1").arg(flow));
    }
    bool setDataTerminalReady(bool on) { return Take(QStringLiteral("DTR %1").arg(on)); }
    bool setRequestToSend(bool on) { return Take(QStringLiteral("RTS %1").arg(on)); }
};

SimOptions Silent() {
    SimOptions options;
    options.rows = 1;
    options.seed = 1;
    options.silent = true;
    return options;
}

} // namespace

class SerialPortLineTest : public QObject {
    Q_OBJECT

private slots:
    void EverySettingIsAppliedEvenAfterARefusal() {
        FakePort port;
        port.refused = {QStringLiteral("DTR 0")};
        QVERIFY(!ApplyLineSettings(port));
        QCOMPARE(port.applied, QStringList({"baud 115200", "bits 8", "parity 0", "stop 1", "flow 0",
                                            "DTR 0", "RTS 0"}));
        port.applied.clear();
        port.refused = {QStringLiteral("baud 115200")};
        QVERIFY(!ApplyLineSettings(port));
        QCOMPARE(port.applied.size(), 7);
        port.refused.clear();
        QVERIFY(ApplyLineSettings(port));
    }

    // A read waits up to 5 s for a slow controller, but a stop ends it within a slice.
    void AStopEndsAReadOnASilentController() {
        SimController sim(Silent());
        const QString port = sim.Start();
        std::atomic<bool> stopped{false};
        std::atomic<bool> received{false};
        std::unique_ptr<QThread> reader(QThread::create([&] {
            auto line = CreateSerialPortLine();
            line->SetName(port);
            line->Open();
            line->Write("80\n");
            try {
                received = !line->Read(7).isEmpty();
            } catch (const SerialLineStopped&) {
                stopped = true;
            }
        }));
        reader->start();
        QVERIFY(WaitUntil([&] { return WithoutTimes(sim.WireLines()).contains("IN 80"); }));
        reader->requestInterruption();
        QVERIFY(WaitUntil([&] { return reader->isFinished(); }, 1000));
        QVERIFY(stopped);
        QVERIFY(!received);
    }

    // A symbolic link and its target are one device: the second opening is refused, and the
    // refusal says the port is busy and who holds it, not that a group is missing.
    void TwoNamesOfOnePortAreOneLock() {
        SimController sim(Silent());
        const QString target = sim.Start();
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyZEL"));
        QVERIFY(QFile::link(target, link));
        QCOMPARE(CanonicalPortPath(link), target);

        for (const auto& [first, second] : {std::pair{link, target}, std::pair{target, link}}) {
            auto holder = CreateSerialPortLine();
            holder->SetName(first);
            holder->Open();
            auto other = CreateSerialPortLine();
            other->SetName(second);
            QString refusal;
            try {
                other->Open();
            } catch (const SerialLineError& error) {
                refusal = error.Message();
            }
            QVERIFY2(!other->IsOpen(), qPrintable(second));
            QVERIFY2(refusal.contains(QStringLiteral("%1 is busy: process %2")
                                          .arg(target)
                                          .arg(QCoreApplication::applicationPid())),
                     qPrintable(refusal));
            QVERIFY(!refusal.contains(QLatin1String("group")));
        }
    }
};

QTEST_GUILESS_MAIN(SerialPortLineTest)
#include "serial_port_line_test.moc"
