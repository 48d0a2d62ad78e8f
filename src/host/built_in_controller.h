// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "com/link_thread.h"

#include <QString>

#include <memory>
#include <mutex>

namespace zel {

class SimController;

// The simulated controller the Connection menu always offers, so the window can be tried
// without hardware. It runs in this process on a pseudo-terminal and is reached through the
// ordinary serial link: the port name "SIM" stands for that terminal.
class BuiltInController {
public:
    BuiltInController();
    ~BuiltInController();

    static const QString Entry; // "SIM (simulated controller)"
    static bool Names(const QString& portEntry);

    // Starts the controller when it does not run yet; false, with the reason, when it cannot.
    bool Ensure(QString& error);

    // Serial lines on which the port "SIM" opens the simulated controller's terminal; other
    // names open as they are.
    TthdCom::LineFactory LineFactory();

private:
    struct Terminal {
        std::mutex mutex; // the link thread reads the path while the window may start it
        QString path;
    };

    std::unique_ptr<SimController> controller_;
    std::shared_ptr<Terminal> terminal_;
};

} // namespace zel
