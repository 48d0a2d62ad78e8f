// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/sim_process.h"

#include "sim/wire_log.h"
#include "support/wait.h"

#include <QDeadlineTimer>
#include <QFile>

namespace zel::test {

SimProcess::SimProcess(QString program, QStringList arguments)
    : program_(std::move(program)), arguments_(std::move(arguments)) {}

SimProcess::~SimProcess() {
    Stop();
}

QString SimProcess::LogPath() const {
    return FilePath(QStringLiteral("wire.log"));
}

QString SimProcess::FilePath(const QString& name) const {
    return folder_.filePath(name);
}

bool SimProcess::Start(int timeoutMs) {
    if (!folder_.isValid()) {
        error_ = QStringLiteral("no temporary folder: %1").arg(folder_.errorString());
        return false;
    }
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(program_, arguments_ + QStringList{QStringLiteral("--log"), LogPath()});
    const QDeadlineTimer deadline(timeoutMs);
    if (!process_.waitForStarted(int(deadline.remainingTime()))) {
        error_ = process_.errorString();
        return false;
    }
    while (!process_.canReadLine() && process_.state() == QProcess::Running &&
           !deadline.hasExpired())
        process_.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1)));
    if (!process_.canReadLine()) {
        error_ = QStringLiteral("no terminal path from %1: %2")
                     .arg(program_, QString::fromLocal8Bit(process_.readAllStandardError()));
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    return true;
}

QStringList SimProcess::LogLines() const {
    QFile file(LogPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    lines.removeAll(QString());
    return lines;
}

QStringList SimProcess::Events() const {
    return WithoutTimes(LogLines());
}

bool SimProcess::WaitForEvent(const QString& event, int timeoutMs) const {
    return WaitUntil([&] { return Events().contains(event); }, timeoutMs);
}

int SimProcess::Stop(int timeoutMs) {
    if (process_.state() == QProcess::NotRunning)
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    process_.terminate();
    if (!process_.waitForFinished(timeoutMs)) {
        process_.kill();
        process_.waitForFinished(timeoutMs);
        return -1;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

} // namespace zel::test
