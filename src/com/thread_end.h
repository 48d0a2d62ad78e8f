// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QThread>

#include <mutex>

namespace zel {

// Makes a QThread's end visible to a race detector. Qt ends a thread in its own code after
// run() has returned: it emits finished(), which reads the object, and wakes wait() through
// its futexes, which the detector cannot see, so freeing the object after wait() looks like a
// race. The thread takes this lock while it emits finished(); whoever destroys the thread takes
// it after wait(), and everything the thread did is ordered before the destruction.
class ThreadEndHandover {
public:
    explicit ThreadEndHandover(QThread& thread) {
        QObject::connect(
            &thread, &QThread::finished, &thread,
            [this] { std::lock_guard<std::mutex> handover(mutex_); }, Qt::DirectConnection);
    }

    // Call after QThread::wait() has returned true.
    void Join() { std::lock_guard<std::mutex> handover(mutex_); }

private:
    std::mutex mutex_;
};

} // namespace zel
