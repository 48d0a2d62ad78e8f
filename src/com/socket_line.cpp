// SPDX-License-Identifier: GPL-3.0-or-later
#include "com/serial_line.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zel {

namespace {

QString ErrnoText(int number) {
    return QString::fromLocal8Bit(std::strerror(number));
}

class SocketLine final : public SerialLine {
public:
    SocketLine(SocketConnector connect, int readTimeoutMs)
        : connect_(std::move(connect)), readTimeoutMs_(readTimeoutMs) {}
    ~SocketLine() override { Close(); }

    void SetName(const QString& name) override { name_ = name; }
    QString Name() const override { return name_; }

    void Open() override {
        Close();
        QString error;
        const int socket = connect_(name_, error);
        if (socket < 0) {
            StopIfAsked(name_);
            throw SerialLineError(name_ + QStringLiteral(": ") + error);
        }
        ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
        socket_ = socket;
    }

    void Close() override {
        if (socket_ >= 0)
            ::close(socket_);
        socket_ = -1;
    }

    bool IsOpen() const override { return socket_ >= 0; }

    void Purge() override {
        RequireOpen();
        char discard[256];
        while (Receive(discard, sizeof discard) > 0) {
        }
    }

    void Write(const QByteArray& data) override {
        RequireOpen();
        const QDeadlineTimer deadline(LineTimeoutMs);
        qsizetype sent = 0;
        while (sent < data.size()) {
            const ssize_t count =
                ::send(socket_, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
            if (count > 0) {
                sent += count;
            } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (!Wait(POLLOUT, deadline))
                    throw SerialLineError(QStringLiteral("Write timeout on %1").arg(name_));
            } else if (errno != EINTR) {
                Fail(ErrnoText(errno));
            }
        }
    }

    QByteArray Read(int count) override {
        RequireOpen();
        QByteArray data(count, '\0');
        int received = 0;
        const QDeadlineTimer deadline(readTimeoutMs_);
        while (received < count) {
            const ssize_t got = Receive(data.data() + received, size_t(count - received));
            if (got > 0)
                received += int(got);
            else if (!Wait(POLLIN, deadline))
                break;
        }
        data.truncate(received);
        return data;
    }

private:
    void RequireOpen() const {
        if (socket_ < 0)
            throw SerialLineError(QStringLiteral("Port %1 is not open").arg(name_));
    }

    // What has arrived, 0 when nothing waits; the other side's end or an error closes the line.
    ssize_t Receive(char* buffer, size_t size) {
        const ssize_t got = ::recv(socket_, buffer, size, 0);
        if (got > 0)
            return got;
        if (got == 0)
            Fail(QStringLiteral("the connection was closed by the other side"));
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            Fail(ErrnoText(errno));
        return 0;
    }

    // Until the socket is ready for `events` or the time is up.
    bool Wait(short events, const QDeadlineTimer& deadline) {
        pollfd wait{socket_, events, 0};
        int ready = 0;
        do {
            StopIfAsked(name_);
            ready = ::poll(&wait, 1, int(std::min<qint64>(WaitSliceMs, deadline.remainingTime())));
        } while ((ready == 0 && !deadline.hasExpired()) || (ready < 0 && errno == EINTR));
        return ready > 0;
    }

    // A connection that failed is gone: close it so the link notices at once.
    [[noreturn]] void Fail(const QString& reason) {
        Close();
        throw SerialLineError(name_ + QStringLiteral(": ") + reason);
    }

    SocketConnector connect_;
    const int readTimeoutMs_;
    QString name_;
    int socket_ = -1;
};

} // namespace

std::unique_ptr<SerialLine> CreateSocketLine(SocketConnector connect, int readTimeoutMs) {
    return std::make_unique<SocketLine>(std::move(connect), readTimeoutMs);
}

} // namespace zel
