// SPDX-License-Identifier: GPL-3.0-or-later
// The line over a stream socket (a Bluetooth serial port) on a socket pair.

#include "com/serial_line.h"

#include <QTest>
#include <QThread>

#include <atomic>

#include <sys/socket.h>
#include <unistd.h>

using namespace zel;

namespace {
constexpr int ReadTimeoutMs = 200;
} // namespace

class SocketLineTest : public QObject {
    Q_OBJECT

    int peer_ = -1; // the controller's end of the current pair
    QStringList opened_;

    // A line whose every opening makes a fresh socket pair.
    std::unique_ptr<SerialLine> PairedLine() {
        auto line = CreateSocketLine(
            [this](const QString& name, QString&) {
                int ends[2];
                if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
                    return -1;
                if (peer_ >= 0)
                    ::close(peer_);
                peer_ = ends[1];
                opened_ << name;
                return ends[0];
            },
            ReadTimeoutMs);
        line->SetName(QStringLiteral("rfcomm:00:11:22:33:44:55"));
        return line;
    }

    void PeerWrites(const QByteArray& data) {
        QCOMPARE(::write(peer_, data.constData(), size_t(data.size())), ssize_t(data.size()));
    }

    QByteArray PeerReads(int count) {
        QByteArray data(count, '\0');
        const ssize_t got = ::read(peer_, data.data(), size_t(count));
        data.truncate(got < 0 ? 0 : int(got));
        return data;
    }

private slots:
    void cleanup() {
        if (peer_ >= 0)
            ::close(peer_);
        peer_ = -1;
        opened_.clear();
    }

    void BytesGoBothWays() {
        auto line = PairedLine();
        QVERIFY(!line->IsOpen());
        line->Open();
        QVERIFY(line->IsOpen());
        QCOMPARE(opened_, QStringList({QStringLiteral("rfcomm:00:11:22:33:44:55")}));
        line->Write("80\n");
        QCOMPARE(PeerReads(3), QByteArray("80\n"));
        PeerWrites("0102");
        QCOMPARE(line->Read(4), QByteArray("0102"));
    }

    // As a serial port: what came within the read time-out, possibly nothing.
    void ReadReturnsWhatCameWithinTheTimeout() {
        auto line = PairedLine();
        line->Open();
        PeerWrites("01");
        QCOMPARE(line->Read(4), QByteArray("01"));
        QCOMPARE(line->Read(1), QByteArray());
        QVERIFY(line->IsOpen());
    }

    void PurgeDropsWhatWaits() {
        auto line = PairedLine();
        line->Open();
        PeerWrites("stale"); // on a socket pair it is there at once
        line->Purge();
        PeerWrites("AB");
        QCOMPARE(line->Read(2), QByteArray("AB"));
    }

    // A controller that went away: the line closes, so the link reconnects.
    void ClosedPeerFailsTheReadAndClosesTheLine() {
        auto line = PairedLine();
        line->Open();
        ::close(peer_);
        peer_ = -1;
        QVERIFY_THROWS_EXCEPTION(SerialLineError, line->Read(1));
        QVERIFY(!line->IsOpen());
        QVERIFY_THROWS_EXCEPTION(SerialLineError, line->Write("x"));
        line->Open(); // a new connection
        QVERIFY(line->IsOpen());
        QCOMPARE(opened_.size(), 2);
    }

    // The link thread is being ended: a wait on a silent controller gives up at once.
    void WaitEndsWhenTheThreadIsAskedToEnd() {
        auto line = CreateSocketLine(
            [this](const QString&, QString&) {
                int ends[2];
                if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
                    return -1;
                peer_ = ends[1];
                return ends[0];
            },
            60000);
        line->Open();
        std::atomic<bool> stopped{false}; // read after QThread::wait, which Qt orders unseen
        std::unique_ptr<QThread> link(QThread::create([&] {
            try {
                line->Read(1);
            } catch (const SerialLineStopped&) {
                stopped = true;
            }
        }));
        link->start();
        link->requestInterruption();
        QVERIFY(link->wait(5000));
        QVERIFY(stopped);
    }

    void FailedConnectionNamesThePortAndTheReason() {
        auto line = CreateSocketLine([](const QString&, QString& error) {
            error = QStringLiteral("no route");
            return -1;
        });
        line->SetName(QStringLiteral("rfcomm:00:11:22:33:44:55"));
        try {
            line->Open();
            QFAIL("opened");
        } catch (const SerialLineError& error) {
            QCOMPARE(error.Message(), QStringLiteral("rfcomm:00:11:22:33:44:55: no route"));
        }
        QVERIFY(!line->IsOpen());
    }
};

QTEST_GUILESS_MAIN(SocketLineTest)
#include "socket_line_test.moc"
