// SPDX-License-Identifier: GPL-3.0-or-later
#include "com/link_host.h"

#include "lang/date_time_text.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <deque>

#include <sys/eventfd.h>
#include <unistd.h>

namespace zel {

namespace {
struct PendingCall {
    std::function<void()> function;
    bool done = false;
    bool abandoned = false;
};
} // namespace

struct HostGate::Shared {
    Shared() : wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~Shared() {
        if (wake >= 0)
            ::close(wake);
    }

    std::mutex mutex;
    std::condition_variable finished;
    bool closed = false;
    std::deque<std::shared_ptr<PendingCall>> queue;
    const int wake; // counts the calls queued since the host last looked
};

// Lives on the host's thread and runs the queued calls there. The calls travel through a
// queue of our own, under our own lock, and the calling thread wakes the host through an
// event counter of the kernel's: it never touches Qt's posted events, whose hand-over a race
// detector cannot follow in an uninstrumented Qt.
class HostGate::Receiver : public QObject {
    Q_OBJECT
public:
    Receiver(std::shared_ptr<Shared> shared, QObject* parent)
        : QObject(parent), shared_(std::move(shared)) {
        if (shared_->wake < 0)
            return; // no descriptor left: Call posts an event instead
        auto* notifier = new QSocketNotifier(shared_->wake, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(shared_->wake, &count, sizeof count);
            Drain();
        });
    }

    void Drain() {
        std::unique_lock<std::mutex> lock(shared_->mutex);
        while (!shared_->queue.empty()) {
            std::shared_ptr<PendingCall> call = shared_->queue.front();
            shared_->queue.pop_front();
            if (call->abandoned || shared_->closed)
                continue;
            lock.unlock();
            call->function();
            lock.lock();
            call->done = true;
            shared_->finished.notify_all();
        }
    }

private:
    std::shared_ptr<Shared> shared_;
};

HostGate::HostGate(QObject* context)
    : context_(context), shared_(std::make_shared<Shared>()),
      receiver_(new Receiver(shared_, context)) {}

HostGate::~HostGate() {
    Close();
}

bool HostGate::Call(const std::function<void()>& function) {
    if (QThread::currentThread() == context_->thread()) {
        if (IsClosed())
            return false;
        function();
        return true;
    }
    auto call = std::make_shared<PendingCall>();
    call->function = function;
    std::unique_lock<std::mutex> lock(shared_->mutex);
    if (shared_->closed)
        return false;
    shared_->queue.push_back(call);
    lock.unlock();
    const uint64_t one = 1;
    if (shared_->wake < 0 || ::write(shared_->wake, &one, sizeof one) != sizeof one)
        QMetaObject::invokeMethod(receiver_, &Receiver::Drain, Qt::QueuedConnection);
    lock.lock();
    shared_->finished.wait(lock, [&] { return call->done || shared_->closed; });
    if (!call->done)
        call->abandoned = true;
    return call->done;
}

void HostGate::Close() {
    {
        std::lock_guard<std::mutex> guard(shared_->mutex);
        shared_->closed = true;
    }
    shared_->finished.notify_all();
}

void HostGate::DeliverPending() {
    if (QThread::currentThread() == context_->thread())
        receiver_->Drain();
}

bool HostGate::IsClosed() const {
    std::lock_guard<std::mutex> guard(shared_->mutex);
    return shared_->closed;
}

QString LogEntry(const QString& text, const QDateTime& now) {
    const QString prefix = QLatin1Char('[') + LocalDateTimeText(now) + QStringLiteral("] ");
    QString body = text;
    body.replace(QLatin1String("\r\n"), QStringLiteral("\r\n") + prefix);
    return prefix + body;
}

} // namespace zel

#include "link_host.moc"
