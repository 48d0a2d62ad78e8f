// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace zel::test {

// The peer's end of a pseudo-terminal, opened raw with plain open() and termios, as a terminal
// program would. Every wait is bounded.
class PtyClient {
public:
    explicit PtyClient(const QString& path);
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    void Close();
    bool Write(const QByteArray& data);
    // Returns once `count` bytes came, or when the time is up or the port hung up.
    QByteArray Read(int count, int timeoutMs = 5000);
    // Discards whatever came and was not read, as a serial port's purge does.
    void Purge();
    // A Get or Set: writes the line, reads `replySize` bytes.
    QByteArray Ask(const QByteArray& line, int replySize, int timeoutMs = 5000);
    // True once the other side has gone (hang-up or a read error) within the time.
    bool WaitForHangup(int timeoutMs = 5000);

private:
    int fd_ = -1;
    bool hungUp_ = false;
};

} // namespace zel::test
