#include "com/serial_line.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <grp.h>
#include <sys/stat.h>

namespace zel {

namespace {


// What a Linux user can act on when a port will not open.
QString OpenErrorText(const QSerialPort& port, const QString& path) {
    QString text = port.errorString();
    if (port.error() == QSerialPort::PermissionError) {
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
            const group* owner = ::getgrgid(info.st_gid);
            const QString groupName = owner ? QString::fromLocal8Bit(owner->gr_name)
                                            : QString::number(info.st_gid);
            text += QStringLiteral(" (%1 belongs to the group \"%2\": add your user to it with "
                                   "\"sudo usermod -aG %2 $USER\" and log in again, or "
                                   "another program holds the port)")
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
        const QString path = PortPath(name_);
        port_.setPortName(path);
        if (!port_.open(QIODevice::ReadWrite))
            throw SerialLineError(OpenErrorText(port_, path));
        // A pseudo-terminal refuses some line controls; that harms nothing.
        if (!port_.setBaudRate(QSerialPort::Baud115200) ||
            !port_.setDataBits(QSerialPort::Data8) || !port_.setParity(QSerialPort::NoParity) ||
            !port_.setStopBits(QSerialPort::OneStop) ||
            !port_.setFlowControl(QSerialPort::NoFlowControl))
            port_.clearError();
        if (!port_.setDataTerminalReady(false) || !port_.setRequestToSend(false))
            port_.clearError();
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
        const QDeadlineTimer deadline(LineTimeoutMs);
        while (port_.bytesToWrite() > 0) {
            if (!port_.waitForBytesWritten(int(deadline.remainingTime()))) {
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
            if (!port_.waitForReadyRead(int(deadline.remainingTime()))) {
                const QSerialPort::SerialPortError error = port_.error();
                if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
                    Fail();
                port_.clearError();
            }
        }
        return data;
    }

private:
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

std::unique_ptr<SerialLine> CreateSerialPortLine(int readTimeoutMs) {
    return std::make_unique<SerialPortLine>(readTimeoutMs);
}

QString PortPath(const QString& name) {
    return name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
}

} // namespace zel
