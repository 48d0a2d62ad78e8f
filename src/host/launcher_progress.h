// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace zel {

// Shows a transfer's progress on the program's launcher icon (the launcher-entry signal of
// the session bus, which docks and task bars listen to); complete hides it. GUI thread only.
// Without a session bus or a listener nothing happens.
void ShowLauncherProgress(qint64 completed, qint64 total);

} // namespace zel
