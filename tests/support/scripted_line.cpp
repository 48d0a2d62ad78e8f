// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/scripted_line.h"

namespace zel::test {

void ScriptedLine::Open() {
    if (failOpen)
        throw SerialLineError(QStringLiteral("cannot open %1").arg(name_));
    open_ = true;
}

void ScriptedLine::Purge() {
    if (!open_)
        throw SerialLineError(QStringLiteral("Port %1 is not open").arg(name_));
    ++purges;
    pending_.clear();
}

void ScriptedLine::Write(const QByteArray& data) {
    if (!open_ || failWrite)
        throw SerialLineError(QStringLiteral("write failed on %1").arg(name_));
    written.append(data);
}

QByteArray ScriptedLine::Read(int count) {
    if (reads_++ == vanishAtRead)
        open_ = false;
    if (!open_)
        throw SerialLineError(QStringLiteral("Port %1 is not open").arg(name_));
    if (pending_.isEmpty() && !replies.isEmpty())
        pending_ = replies.takeFirst();
    const QByteArray chunk = pending_.left(count);
    pending_.remove(0, chunk.size());
    return chunk;
}

} // namespace zel::test
