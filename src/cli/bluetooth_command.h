// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discover/thd_discover.h"

#include <QObject>
#include <QTextStream>

#include <memory>

namespace zel {

// `zelphorin-cli bluetooth install|remove`: the window's Bluetooth installation for a computer
// without a screen. Every step is printed to err as the window logs it; `done` carries 0 when a
// controller was installed (or removed) and none failed, 1 otherwise.
class BluetoothCommand : public QObject, public DiscoverHost {
    Q_OBJECT
public:
    BluetoothCommand(bool installMode, QTextStream& err,
                     TthdDiscover::StackFactory createStack = TthdDiscover::CreateBluezStack);
    ~BluetoothCommand() override;

    void Start();
    // Ends the procedure early (SIGINT, SIGTERM); `done` follows with 1.
    // Ends the work for a signal: `done` carries 128 + signal.
    void Stop(int signal);
    // Log lines are not printed; the exit status tells the outcome.
    void SetQuiet(bool quiet) { quiet_ = quiet; }

    void LogMessage(const QString& text) override;

signals:
    void done(int exitCode);

private:
    void OnFinished();

    const bool installMode_;
    QTextStream& err_;
    TthdDiscover::StackFactory createStack_;
    HostGate gate_{this};
    std::unique_ptr<TthdDiscover> thread_;
    int stopSignal_ = 0; // the signal that stopped the work; 0 while none did
    bool quiet_ = false;
};

// "install" or "remove", nothing else; false with the message otherwise.
bool ParseBluetoothArguments(const QStringList& arguments, bool& installMode, QString& error);

} // namespace zel
