// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace zel::test {

#ifdef ZEL_BINARY_DIR
// The zelphorin-sim of this build; tests and benchmarks are compiled with ZEL_BINARY_DIR.
inline QString BuiltSimProgram() {
    return QStringLiteral(ZEL_BINARY_DIR "/src/zelphorin-sim");
}
#endif

// A zelphorin-sim as a separate process, for end-to-end tests and benchmarks. It runs with a
// --log file in a private folder; every wait is bounded.
//
//     SimProcess sim(BuiltSimProgram(), {"--rows", "64"});
//     QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
//     ... open sim.SlavePath() ...
//     QCOMPARE(sim.Events().first(), "IN 80");
class SimProcess {
public:
    SimProcess(QString program, QStringList arguments = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the program and reads the terminal's path from its first line. False, with the
    // reason in ErrorText(), when it fails or prints no path within the time.
    bool Start(int timeoutMs = 10000);
    QString SlavePath() const { return slavePath_; }
    QString LogPath() const;
    // A path in the private folder, for --state, --flash-out or --link files.
    QString FilePath(const QString& name) const;
    QString ErrorText() const { return error_; }

    // The log as written so far: full lines, and the same without their times.
    QStringList LogLines() const;
    QStringList Events() const;
    // Waits until an event (line without time) equal to `event` has been logged.
    bool WaitForEvent(const QString& event, int timeoutMs = 10000) const;

    // SIGTERM and a bounded wait; a process that does not end is killed. Returns its exit code,
    // or -1 when it crashed or had to be killed.
    int Stop(int timeoutMs = 5000);
    QProcess& Process() { return process_; }

private:
    QString program_;
    QStringList arguments_;
    QTemporaryDir folder_;
    QProcess process_;
    QString slavePath_;
    QString error_;
};

} // namespace zel::test
