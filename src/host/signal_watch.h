// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace zel {

// Turns SIGTERM, SIGINT and SIGHUP (logout, shutdown, kill, Ctrl+C in a terminal) into an
// ordinary signal on the event loop, so that the program can close as the user would close it
// instead of dying where it stands. One instance per process; the default actions come back
// when it is destroyed.
class SignalWatch : public QObject {
    Q_OBJECT
public:
    explicit SignalWatch(QObject* parent = nullptr);
    ~SignalWatch() override;

signals:
    void Received(int signalNumber);

private:
    void Drain();

    QSocketNotifier* notifier_ = nullptr;
};

} // namespace zel
