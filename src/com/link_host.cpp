#include "com/link_host.h"

#include <QCoreApplication>
#include <QLocale>
#include <QThread>

namespace zel {

struct HostGate::Shared {
    std::mutex mutex;
    std::condition_variable finished;
    bool closed = false;
};

namespace {
struct PendingCall {
    bool done = false;
    bool abandoned = false;
};
} // namespace

HostGate::HostGate(QObject* context) : context_(context), shared_(std::make_shared<Shared>()) {}

HostGate::~HostGate() { Close(); }

bool HostGate::Call(const std::function<void()>& function) {
    if (QThread::currentThread() == context_->thread()) {
        if (IsClosed())
            return false;
        function();
        return true;
    }
    auto call = std::make_shared<PendingCall>();
    std::shared_ptr<Shared> shared = shared_;
    {
        std::lock_guard<std::mutex> guard(shared->mutex);
        if (shared->closed)
            return false;
    }
    QMetaObject::invokeMethod(
        context_,
        [shared, call, function] {
            {
                std::lock_guard<std::mutex> guard(shared->mutex);
                if (call->abandoned || shared->closed)
                    return;
            }
            function();
            {
                std::lock_guard<std::mutex> guard(shared->mutex);
                call->done = true;
            }
            shared->finished.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->finished.wait(lock, [&] { return call->done || shared->closed; });
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
        QCoreApplication::sendPostedEvents(context_, QEvent::MetaCall);
}

bool HostGate::IsClosed() const {
    std::lock_guard<std::mutex> guard(shared_->mutex);
    return shared_->closed;
}

QString LogEntry(const QString& text, const QDateTime& now) {
    const QLocale locale;
    const QString prefix = QLatin1Char('[') + locale.toString(now.date(), QLocale::ShortFormat) +
                           QLatin1Char(' ') + locale.toString(now.time(), QLocale::LongFormat) +
                           QStringLiteral("] ");
    QString body = text;
    body.replace(QLatin1String("\r\n"), QStringLiteral("\r\n") + prefix);
    return prefix + body;
}

} // namespace zel
