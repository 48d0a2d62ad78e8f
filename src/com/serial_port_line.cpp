// SPDX-License-Identifier: GPL-3.0-or-later
#include "com/line_settings.h"
#include "com/serial_line.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSerialPort>
#include <QThread>

#include <algorithm>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

namespace {

// The process named by the lock file the serial port class keeps for a device, e.g.
// /run/lock/LCK..ttyUSB0 or LCK..pts_3; empty when none tells.
QString LockHolder(const QString& path) {
    QString name = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString& folder : {QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"),
                                  QStringLiteral("/var/spool/locks"),
                                  QStringLiteral("/var/spool/uucp"), QDir::tempPath()}) {
        qint64 pid = 0;
        QString host;
        QString application;
        if (QLockFile(folder + QStringLiteral("/LCK..") + name)
                .getLockInfo(&pid, &host, &application))
            return QStringLiteral("process %1 (%2)").arg(pid).arg(application);
    }
    return QString();
}

// What a Linux user can act on when a port will not open.
QString OpenErrorText(const QSerialPort& port, const QString& path) {
    QString text = port.errorString();
    if (port.error() == QSerialPort::PermissionError) {
        // The class reports a port locked or held by another program as a permission error;
        // a device node this user may read and write is simply busy.
        const QString holder = LockHolder(path);
        if (!holder.isEmpty())
            return QStringLiteral("%1 is busy: %2 holds it").arg(path, holder);
        if (::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0)
            return QStringLiteral("%1 is busy: another program holds it").arg(path);
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
            const group* owner = ::getgrgid(info.st_gid);
            const QString groupName =
                owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
            text += QStringLiteral(" (%1 belongs to the group \"%2\": add your user to it with "
                                   "\"sudo usermod -aG %2 $USER\" and log in again)")
                        .arg(path, groupName);
        }
    } else if (port.error() == QSerialPort::DeviceNotFoundError) {
        text += QStringLiteral(" (%1 does not exist: is the adapter plugged in?)").arg(path);
    }
    return text;
}

class SerialPortLine final : public SerialLine {
public:
    explicit SerialPortLine(int readTimeoutMs) : readTimeoutMs_(readTimeoutMs) {}

    void SetName(const QString& name) override { name_ = name; }
    QString Name() const override { return name_; }

    void Open() override {
        if (port_.isOpen())
            port_.close();
        const QString path = CanonicalPortPath(name_);
        port_.setPortName(path);
        if (!port_.open(QIODevice::ReadWrite))
            throw SerialLineError(OpenErrorText(port_, path));
        // A pseudo-terminal refuses the line controls; that harms nothing.
        ApplyLineSettings(port_);
        port_.clearError();
    }

    void Close() override {
        if (port_.isOpen())
            port_.close();
    }

    bool IsOpen() const override { return port_.isOpen(); }

    void Purge() override {
        RequireOpen();
        port_.clear();
        port_.readAll();
        port_.clearError();
    }

    void Write(const QByteArray& data) override {
        RequireOpen();
        if (port_.write(data) != data.size())
            Fail();
        // What the driver takes at once leaves without a wait for the port to be ready: a
        // request is a few bytes, and that wait would be one more system call each.
        port_.flush();
        const QDeadlineTimer deadline(LineTimeoutMs);
        while (port_.bytesToWrite() > 0) {
            StopIfAsked(name_);
            if (!port_.waitForBytesWritten(Slice(deadline))) {
                if (port_.error() != QSerialPort::NoError &&
                    port_.error() != QSerialPort::TimeoutError)
                    Fail();
                if (deadline.hasExpired())
                    throw SerialLineError(QStringLiteral("Write timeout on %1").arg(name_));
            }
        }
    }

    QByteArray Read(int count) override {
        RequireOpen();
        QByteArray data;
        const QDeadlineTimer deadline(readTimeoutMs_);
        while (data.size() < count) {
            if (port_.bytesAvailable() > 0) {
                data += port_.read(count - data.size());
                continue;
            }
            if (deadline.hasExpired())
                break;
            StopIfAsked(name_);
            if (!port_.waitForReadyRead(Slice(deadline))) {
                const QSerialPort::SerialPortError error = port_.error();
                if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
                    Fail();
                port_.clearError();
            }
        }
        return data;
    }

private:
    static int Slice(const QDeadlineTimer& deadline) {
        return int(std::min<qint64>(WaitSliceMs, deadline.remainingTime()));
    }

    void RequireOpen() const {
        if (!port_.isOpen())
            throw SerialLineError(QStringLiteral("Port %1 is not open").arg(name_));
    }

    // A read or write error means the device went away (an unplugged adapter, a closed
    // pseudo-terminal): close it so the link notices at once.
    [[noreturn]] void Fail() {
        const QString message = QStringLiteral("%1: %2").arg(name_, port_.errorString());
        port_.close();
        throw SerialLineError(message);
    }

    const int readTimeoutMs_;
    QString name_;
    QSerialPort port_;
};

} // namespace

void StopIfAsked(const QString& name) {
    if (QThread::currentThread()->isInterruptionRequested())
        throw SerialLineStopped(QStringLiteral("Stopped waiting for %1").arg(name));
}

std::unique_ptr<SerialLine> CreateSerialPortLine(int readTimeoutMs) {
    return std::make_unique<SerialPortLine>(readTimeoutMs);
}

QString PortPath(const QString& name) {
    return name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
}

QString CanonicalPortPath(const QString& name) {
    const QString path = PortPath(name);
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

} // namespace zel
