// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>

namespace zel {

// Reports the system going to sleep and waking up, from logind on the system bus. Without a
// system bus or logind it reports nothing. While awake it holds a delay lock, so the backup
// written on the way to sleep is complete before the machine stops.
class PowerWatch : public QObject {
    Q_OBJECT
public:
    explicit PowerWatch(QObject* parent = nullptr);

signals:
    void Suspending();
    void Resumed();

private slots:
    void PrepareForSleep(bool sleeping);

private:
    void TakeDelayLock();

    QDBusUnixFileDescriptor delayLock_;
};

} // namespace zel
