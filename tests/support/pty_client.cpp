// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/pty_client.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace zel::test {

PtyClient::PtyClient(const QString& path) {
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(fd_, TCSANOW, &settings);
    }
}

PtyClient::~PtyClient() {
    Close();
}

void PtyClient::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool PtyClient::Write(const QByteArray& data) {
    qint64 done = 0;
    const QDeadlineTimer deadline(5000);
    while (fd_ >= 0 && done < data.size() && !deadline.hasExpired()) {
        const ssize_t count = ::write(fd_, data.constData() + done, size_t(data.size() - done));
        if (count > 0) {
            done += count;
        } else if (count < 0 && errno == EAGAIN) {
            pollfd writable = {fd_, POLLOUT, 0};
            ::poll(&writable, 1, int(qMax<qint64>(deadline.remainingTime(), 0)));
        } else {
            return false;
        }
    }
    return done == data.size();
}

QByteArray PtyClient::Read(int count, int timeoutMs) {
    QByteArray received;
    const QDeadlineTimer deadline(timeoutMs);
    while (fd_ >= 0 && received.size() < count && !hungUp_) {
        pollfd readable = {fd_, POLLIN, 0};
        const int ready = ::poll(&readable, 1, int(qMax<qint64>(deadline.remainingTime(), 0)));
        if (ready <= 0)
            break;
        char buffer[4096];
        const ssize_t got =
            ::read(fd_, buffer, size_t(qMin<qint64>(sizeof buffer, count - received.size())));
        if (got > 0)
            received.append(buffer, int(got));
        else if (got == 0 || errno != EAGAIN)
            hungUp_ = true;
    }
    return received;
}

void PtyClient::Purge() {
    if (fd_ >= 0)
        ::tcflush(fd_, TCIOFLUSH);
}

QByteArray PtyClient::Ask(const QByteArray& line, int replySize, int timeoutMs) {
    if (!Write(line))
        return {};
    return Read(replySize, timeoutMs);
}

bool PtyClient::WaitForHangup(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!hungUp_ && fd_ >= 0 && !deadline.hasExpired()) {
        pollfd readable = {fd_, POLLIN, 0};
        if (::poll(&readable, 1, int(qMax<qint64>(deadline.remainingTime(), 0))) <= 0)
            continue;
        if (readable.revents & (POLLHUP | POLLERR)) {
            hungUp_ = true;
            break;
        }
        char buffer[4096];
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got == 0 || (got < 0 && errno != EAGAIN))
            hungUp_ = true;
    }
    return hungUp_;
}

} // namespace zel::test
