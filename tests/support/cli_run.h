// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Running zelphorin-cli as a script does, and reading what it left behind and what reached the
// simulated controller's wire.

#include "support/sim_process.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace zel::test {

#ifdef ZEL_BINARY_DIR
inline QString CliProgram() {
    return QStringLiteral(ZEL_BINARY_DIR "/src/zelphorin-cli");
}
#endif

constexpr int CliTimeoutMs = 20000;

// The non-empty lines of a program's output.
QStringList Lines(const QByteArray& bytes);

// What one run of the command line left behind.
struct CliRun {
    int ExitCode = -1;
    QStringList Out; // the results
    QStringList Log; // the log lines of stderr, without their "[date time] " prefix
    QStringList Err; // the other lines of stderr: errors and warnings

    const QStringList& LogLines() const { return Log; }
    QString Describe() const;
};

// Waits for a started command line to end; a run that hangs is killed and reported as -1.
CliRun Finish(QProcess& process, int timeoutMs = CliTimeoutMs);
CliRun RunCli(const QString& program, const QStringList& arguments);

// The wire log's lines of one kind and code, e.g. ("IN", "02") or ("OUT", "83").
QStringList Lines(const SimProcess& sim, const QString& kind, const QString& code);
// The bytes after the two-digit code of a wire log line ("IN 02A0..." or "OUT 82A0...\n").
QByteArray Payload(const QString& event);
// The payload of the first line of that kind and code; empty when there is none.
QByteArray FirstPayload(const SimProcess& sim, const QString& kind, const QString& code);
// The payload of the one line of that kind and code in hexadecimal; a note saying how many
// there were when there is not exactly one.
QByteArray OnlyPayloadHex(const SimProcess& sim, const QString& kind, const QString& code);
// The request codes the controller received, in order ("80", "82", ...).
QStringList ReceivedCodes(const SimProcess& sim);

template <typename Block> Block As(const QByteArray& bytes) {
    Block block{};
    std::memcpy(&block, bytes.constData(), std::min(sizeof block, size_t(bytes.size())));
    return block;
}

template <typename Block> QByteArray BytesOf(const Block& block) {
    return QByteArray(reinterpret_cast<const char*>(&block), sizeof block);
}

#ifdef ZEL_BINARY_DIR
inline CliRun RunCli(const QStringList& arguments) {
    return RunCli(CliProgram(), arguments);
}

inline CliRun RunOn(const SimProcess& sim, const QStringList& command) {
    return RunCli(QStringList{QStringLiteral("--port"), sim.SlavePath()} + command);
}
#endif

} // namespace zel::test
