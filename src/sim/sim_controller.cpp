// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/sim_controller.h"

#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace zel {

namespace {

constexpr int MaxPendingIn = 4096;            // beyond this the peer's writes wait in the kernel
constexpr int MaxPendingOut = 65536;          // replies nobody reads are dropped beyond this
constexpr qint64 MinPacedSleepNs = 500000;    // paced bytes leave in small bursts, not one by one
constexpr int BitsPerCharacter = 10;          // start bit, 8 data bits, stop bit
constexpr qint64 MaxCloseWaitNs = 1000000000; // for the peer to read the last reply
constexpr qint64 CloseCheckNs = 5000000;
constexpr qint64 CloseSettleNs = 20000000;

QString ErrnoText(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

// The controller's clock starts at the PC's local time.
QDateTime LocalClockNow() {
    const QDateTime local = QDateTime::currentDateTime();
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

} // namespace

SimOptions WithSeed(SimOptions options) {
    if (!options.seed)
        options.seed = std::random_device{}();
    return options;
}

SimController::SimController(SimOptions options)
    : options_(WithSeed(std::move(options))), log_(options_.logPath),
      origin_(std::chrono::steady_clock::now()),
      device_(options_, LocalClockNow(), 0,
              [this](const QString& kind, const QString& text) { log_.Add(kind, text); }),
      shaper_(options_, *options_.seed ^ 0x5EED5EEDu),
      charNs_(options_.paceBaud > 0 ? qint64(1e9 * BitsPerCharacter / options_.paceBaud) : 0),
      closeWhenSent_(options_.closeAfter == 0) {}

SimController::~SimController() {
    Stop();
}

qint64 SimController::NowNs() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                origin_)
        .count();
}

QString SimController::Start() {
    if (started_)
        throw SimError("the simulated controller was started before");
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[256] = {};
    termios settings{};
    const char* failed = master_ < 0                                    ? "posix_openpt"
                         : ::grantpt(master_) != 0                      ? "grantpt"
                         : ::unlockpt(master_) != 0                     ? "unlockpt"
                         : ::ptsname_r(master_, name, sizeof name) != 0 ? "ptsname"
                                                                        : nullptr;
    if (!failed) {
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0)
            failed = "open";
        else if (::tcgetattr(slave_, &settings) != 0)
            failed = "tcgetattr";
    }
    if (!failed) {
        // Raw: no echo, no CR/LF translation, no signals; the line settings of the real port.
        ::cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&settings, B115200);
        ::cfsetospeed(&settings, B115200);
        if (::tcsetattr(slave_, TCSANOW, &settings) != 0)
            failed = "tcsetattr";
        else if (::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK) != 0)
            failed = "fcntl";
        else if ((wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) < 0)
            failed = "eventfd";
    }
    if (failed) {
        const QString message = ErrnoText(failed);
        ClosePort();
        throw SimError(QStringLiteral("no pseudo-terminal for the simulated controller (%1)")
                           .arg(message)
                           .toStdString());
    }
    started_ = true;
    slavePath_ = QString::fromLocal8Bit(name);
    log_.Add(QStringLiteral("NOTE"), QStringLiteral("serving %1").arg(slavePath_));
    serving_ = true;
    thread_ = std::thread(&SimController::Serve, this);
    return slavePath_;
}

void SimController::Stop() {
    if (!started_ || stopped_)
        return;
    stopped_ = true;
    stopRequested_ = true;
    if (wake_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
    }
    if (thread_.joinable())
        thread_.join();
    ClosePort();
    if (wake_ >= 0) {
        ::close(wake_);
        wake_ = -1;
    }
    serving_ = false;
    const std::lock_guard<std::mutex> guard(deviceLock_);
    device_.WriteFlashOut();
}

void SimController::ClosePort() {
    for (int* fd : {&slave_, &master_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

SimState SimController::State() const {
    const std::lock_guard<std::mutex> guard(deviceLock_);
    return device_.State();
}

void SimController::HandleLocally(const QByteArray& line) {
    log_.Add(QStringLiteral("NOTE"), QStringLiteral("local ") + EscapeForLog(line));
    const std::lock_guard<std::mutex> guard(deviceLock_);
    const SimAnswer answer = device_.Handle(line, NowNs() / 1000000);
    if (!answer.bad.isEmpty())
        log_.Add(QStringLiteral("BAD"), answer.bad);
}

void SimController::Serve() {
    // Named, so that a look at the threads of a program serving it tells its share apart.
    ::pthread_setname_np(::pthread_self(), "zel::sim");
    while (!stopRequested_) {
        qint64 now = NowNs();
        {
            const std::lock_guard<std::mutex> guard(deviceLock_);
            device_.Advance(now / 1000000);
        }
        TakeReadyInput(now);
        const bool outputBlocked = !WriteOutput(now);
        if (closeWhenSent_ && out_.empty() && PeerHasRead(now)) {
            ClosePort();
            log_.Add(QStringLiteral("NOTE"),
                     QStringLiteral("port closed after %1 lines").arg(lines_.load()));
            serving_ = false;
            return;
        }

        pollfd fds[2] = {{wake_, POLLIN, 0}, {master_, 0, 0}};
        if (pendingIn_.size() < MaxPendingIn)
            fds[1].events |= POLLIN;
        if (outputBlocked)
            fds[1].events |= POLLOUT;
        const qint64 wake = NextWakeNs(now, outputBlocked);
        timespec timeout{};
        if (wake >= 0) {
            const qint64 wait = std::max<qint64>(wake - NowNs(), 0);
            timeout.tv_sec = wait / 1000000000;
            timeout.tv_nsec = wait % 1000000000;
        }
        if (::ppoll(fds, 2, wake >= 0 ? &timeout : nullptr, nullptr) < 0 && errno != EINTR) {
            log_.Add(QStringLiteral("NOTE"), ErrnoText("poll"));
            serving_ = false;
            return;
        }
        if (fds[1].revents & POLLIN)
            ReadInput(NowNs());
        if ((fds[1].revents & (POLLHUP | POLLERR)) && !(fds[1].revents & POLLIN)) {
            // Cannot happen while the slave is held open; never spin on it if it does.
            pollfd stop = {wake_, POLLIN, 0};
            ::poll(&stop, 1, 10);
        }
    }
}

bool SimController::PeerHasRead(qint64 nowNs) {
    // Closing the master discards what the peer has not read yet: the last reply would be lost.
    if (closeDeadlineNs_ < 0)
        closeDeadlineNs_ = nowNs + MaxCloseWaitNs;
    if (nowNs >= closeDeadlineNs_)
        return true;
    // Written bytes reach the terminal's input queue a moment later, not at once.
    int unread = 0;
    return nowNs >= lastWriteNs_ + CloseSettleNs && ::ioctl(slave_, TIOCINQ, &unread) == 0 &&
           unread == 0;
}

void SimController::ReadInput(qint64 nowNs) {
    char buffer[MaxPendingIn];
    while (pendingIn_.size() < MaxPendingIn) {
        const ssize_t count = ::read(master_, buffer, size_t(MaxPendingIn - pendingIn_.size()));
        if (count <= 0)
            return; // EAGAIN: all read; anything else shows again in the next poll
        if (pendingIn_.isEmpty())
            pendingInStartNs_ = std::max(lastInNs_, nowNs);
        pendingIn_.append(buffer, int(count));
    }
}

void SimController::TakeReadyInput(qint64 nowNs) {
    qint64 ready = pendingIn_.size();
    if (charNs_ > 0)
        ready = std::clamp<qint64>((nowNs - pendingInStartNs_) / charNs_, 0, ready);
    if (ready == 0)
        return;
    const QByteArray chunk = pendingIn_.left(int(ready));
    pendingIn_.remove(0, int(ready));
    lastInNs_ = pendingInStartNs_ + ready * charNs_;
    pendingInStartNs_ = lastInNs_;
    assembler_.Feed(chunk.constData(), chunk.size(),
                    [&](const LineAssembler::Line& line) { HandleLine(line, nowNs); });
}

void SimController::HandleLine(const LineAssembler::Line& line, qint64 nowNs) {
    if (closeWhenSent_)
        return; // the port is about to vanish; nothing more is heard
    const qint64 number = ++lines_;
    SimAnswer answer;
    if (line.droppedSize > 0) {
        answer =
            BadAnswer(QStringLiteral("over-long line of %1 bytes dropped").arg(line.droppedSize));
    } else {
        log_.Add(QStringLiteral("IN"), EscapeForLog(line.text));
        const std::lock_guard<std::mutex> guard(deviceLock_);
        answer = device_.Handle(line.text, nowNs / 1000000);
    }
    if (!answer.bad.isEmpty())
        log_.Add(QStringLiteral("BAD"), answer.bad);
    if (!answer.skip.isEmpty())
        log_.Add(QStringLiteral("SKIP"), answer.skip);
    const ReplyShaper::Shaped shaped = shaper_.Shape(answer, number);
    if (!shaped.skip.isEmpty())
        log_.Add(QStringLiteral("SKIP"), shaped.skip);
    if (!shaped.bytes.isEmpty()) {
        if (outBytes_ + shaped.bytes.size() > MaxPendingOut) {
            log_.Add(QStringLiteral("SKIP"), QStringLiteral("nobody reads; reply dropped"));
        } else {
            out_.push_back({shaped.bytes, nowNs + qint64(options_.delayMs) * 1000000});
            outBytes_ += shaped.bytes.size();
        }
    }
    if (options_.closeAfter >= 0 && number >= options_.closeAfter)
        closeWhenSent_ = true;
}

bool SimController::WriteOutput(qint64 nowNs) {
    while (!out_.empty()) {
        Outgoing& head = out_.front();
        if (nowNs < head.readyNs)
            return true;
        if (!head.announced) {
            head.announced = true;
            log_.Add(QStringLiteral("OUT"), EscapeForLog(head.bytes));
            nextOutNs_ = std::max(nextOutNs_, head.readyNs);
        }
        qint64 allowed = head.bytes.size() - head.sent;
        if (charNs_ > 0) {
            if (nowNs < nextOutNs_)
                return true;
            allowed = std::min(allowed, 1 + (nowNs - nextOutNs_) / charNs_);
        }
        const ssize_t count = ::write(master_, head.bytes.constData() + head.sent, size_t(allowed));
        if (count < 0) {
            if (errno == EAGAIN || errno == EINTR)
                return false;
            log_.Add(QStringLiteral("NOTE"), ErrnoText("write"));
            out_.clear();
            outBytes_ = 0;
            return true;
        }
        lastWriteNs_ = nowNs;
        head.sent += int(count);
        outBytes_ -= count;
        nextOutNs_ += count * charNs_;
        const bool partial = count < allowed;
        if (head.sent == head.bytes.size())
            out_.pop_front();
        if (partial)
            return false;
        if (charNs_ > 0)
            return true;
    }
    return true;
}

qint64 SimController::NextWakeNs(qint64 nowNs, bool outputBlocked) const {
    qint64 wake = -1;
    const auto consider = [&](qint64 moment) {
        if (wake < 0 || moment < wake)
            wake = moment;
    };
    if (!out_.empty() && !outputBlocked) {
        const Outgoing& head = out_.front();
        // Paced bytes leave in small bursts, but the last one of a reply leaves on time.
        const qint64 lastByteNs = nextOutNs_ + (head.bytes.size() - head.sent - 1) * charNs_;
        if (nowNs < head.readyNs)
            consider(head.readyNs);
        else
            consider(std::max(nextOutNs_, std::min(nowNs + MinPacedSleepNs, lastByteNs)));
    }
    if (!pendingIn_.isEmpty() && charNs_ > 0) {
        // Wake when the next line is complete (or all that came has been received).
        qint64 end = pendingIn_.size();
        for (int i = 0; i < pendingIn_.size(); ++i) {
            if (pendingIn_[i] == '\n' || pendingIn_[i] == '\r') {
                end = i + 1;
                break;
            }
        }
        consider(pendingInStartNs_ + end * charNs_);
    }
    if (closeWhenSent_ && out_.empty())
        consider(nowNs + CloseCheckNs);
    const std::lock_guard<std::mutex> guard(deviceLock_);
    const qint64 event = device_.NextEventMs();
    if (event >= 0)
        consider(event * 1000000);
    return wake;
}

} // namespace zel
