// SPDX-License-Identifier: GPL-3.0-or-later
// The window program asked to end from outside: SIGTERM (kill, shutdown), SIGINT (Ctrl+C in its
// terminal) and SIGHUP (logout) close it as File / Exit does. The real program runs, from a
// private folder, against a zelphorin-sim; the folder is its program directory, so the backup
// lands there.

#include "support/sim_process.h"
#include "support/wait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace zel::test;

namespace {
constexpr int TimeoutMs = 15000;

// The serial port lock files a process holds: the first line of a lock file is its owner.
QStringList LocksOf(qint64 pid) {
    QStringList locks;
    for (const QString& folder : {QStringLiteral("/var/lock"), QDir::tempPath()}) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList({QStringLiteral("LCK..*")}, QDir::Files)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly) && file.readLine().trimmed().toLongLong() == pid)
                locks << file.fileName();
        }
    }
    return locks;
}
} // namespace

class WindowSignalTest : public QObject {
    Q_OBJECT

private slots:
    void SignalClosesTheWindowAsExitDoes_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void SignalClosesTheWindowAsExitDoes() {
        QFETCH(int, signalNumber);
        SimProcess sim(BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("3")});
        QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));

        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString program = home.filePath(QStringLiteral("zelphorin"));
        QVERIFY(QFile::copy(QStringLiteral(ZEL_BINARY_DIR "/src/zelphorin"), program));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess window;
        window.setProcessEnvironment(environment);
        window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        window.start(program, {sim.SlavePath(), QStringLiteral("-english")});
        QVERIFY(window.waitForStarted(TimeoutMs));

        // Read completely: the port that answered is remembered.
        const QString remembered = home.filePath(QStringLiteral("config/ZELPHORIN2.conf"));
        QVERIFY(WaitUntil([&] { return QFile::exists(remembered); }, TimeoutMs));
        const QStringList locks = LocksOf(window.processId());
        QCOMPARE(locks.size(), 1);

        QCOMPARE(::kill(pid_t(window.processId()), signalNumber), 0);
        QVERIFY(window.waitForFinished(TimeoutMs));
        QCOMPARE(window.exitStatus(), QProcess::NormalExit);
        QCOMPARE(window.exitCode(), 0);
        const QString backup =
            home.filePath(QStringLiteral("Backup_") + QFileInfo(sim.SlavePath()).fileName() +
                          QStringLiteral(".ini"));
        QVERIFY2(QFile::exists(backup), qPrintable(backup));
        QVERIFY2(!QFile::exists(locks.first()), qPrintable(locks.first())); // port released
    }
};

QTEST_GUILESS_MAIN(WindowSignalTest)
#include "window_signal_test.moc"
