// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

namespace zel {

// Any failure of a port operation; the text is shown to the user as it stands.
class SerialLineError : public std::runtime_error {
public:
    explicit SerialLineError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

// A wait on the line given up because its thread was asked to end; not a fault of the port.
class SerialLineStopped : public SerialLineError {
public:
    using SerialLineError::SerialLineError;
};

// The few operations the link needs of a serial port, used from one thread only.
class SerialLine {
public:
    virtual ~SerialLine() = default;
    virtual void SetName(const QString& name) = 0;
    virtual QString Name() const = 0;
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Discards everything received and not yet sent.
    virtual void Purge() = 0;
    virtual void Write(const QByteArray& data) = 0;
    // Returns once `count` bytes have arrived or the read time-out has passed, with whatever
    // came (possibly nothing). Reads and writes throw SerialLineStopped soon after the thread
    // using the line is asked to end.
    virtual QByteArray Read(int count) = 0;
};

constexpr int LineTimeoutMs = 5000;
// How long one wait on a line lasts before the thread's stop request is looked at.
constexpr int WaitSliceMs = 50;

// Throws SerialLineStopped when the calling thread has been asked to end.
void StopIfAsked(const QString& name);

// Opens each name as a tty at 115200 8N1, no flow control, DTR and RTS inactive. 5 s read and
// write time-outs (tests of silent controllers may shorten the read time-out).
std::unique_ptr<SerialLine> CreateSerialPortLine(int readTimeoutMs = LineTimeoutMs);

// Opens a connected stream socket for a line's name; -1 with the error text when it cannot.
using SocketConnector = std::function<int(const QString& name, QString& error)>;
// A line over the stream socket `connect` opens: a Bluetooth serial port (RFCOMM), or a socket
// pair in tests.
std::unique_ptr<SerialLine> CreateSocketLine(SocketConnector connect,
                                             int readTimeoutMs = LineTimeoutMs);

// The device path of a port name: "ttyUSB0" → "/dev/ttyUSB0"; a path stays as it is.
QString PortPath(const QString& name);
// The path a port is opened and locked by: every name of one device (a symbolic link such as
// /dev/serial/by-id/..., or the device itself) gives the same path.
QString CanonicalPortPath(const QString& name);

} // namespace zel
