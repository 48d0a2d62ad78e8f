// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/cli_run.h"

#include <QRegularExpression>

namespace zel::test {

QStringList Lines(const QByteArray& bytes) {
    QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    lines.removeAll(QString());
    return lines;
}

QString CliRun::Describe() const {
    return QStringLiteral("exit %1\nstdout:\n%2\nlog:\n%3\nstderr:\n%4")
        .arg(ExitCode)
        .arg(Out.join(QLatin1Char('\n')), Log.join(QLatin1Char('\n')), Err.join(QLatin1Char('\n')));
}

CliRun Finish(QProcess& process, int timeoutMs) {
    CliRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(timeoutMs);
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.ExitCode = process.exitCode();
    }
    run.Out = Lines(process.readAllStandardOutput());
    static const QRegularExpression prefix(
        QStringLiteral("^\\[[^\\]]*\\d\\d?:\\d\\d:\\d\\d[^\\]]*\\] "));
    for (const QString& line : Lines(process.readAllStandardError())) {
        const QRegularExpressionMatch match = prefix.match(line);
        if (match.hasMatch())
            run.Log << line.mid(match.capturedLength());
        else
            run.Err << line;
    }
    return run;
}

CliRun RunCli(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return Finish(process);
}

QStringList Lines(const SimProcess& sim, const QString& kind, const QString& code) {
    return sim.Events().filter(
        QRegularExpression(QStringLiteral("^%1 %2").arg(kind, QRegularExpression::escape(code))));
}

QByteArray Payload(const QString& event) {
    QString hex = event.section(QLatin1Char(' '), 1).mid(2);
    hex.remove(QLatin1String("\\n"));
    return QByteArray::fromHex(hex.toLatin1());
}

QByteArray FirstPayload(const SimProcess& sim, const QString& kind, const QString& code) {
    const QStringList lines = Lines(sim, kind, code);
    return lines.isEmpty() ? QByteArray() : Payload(lines.first());
}

QByteArray OnlyPayloadHex(const SimProcess& sim, const QString& kind, const QString& code) {
    const QStringList lines = Lines(sim, kind, code);
    if (lines.size() != 1)
        return QStringLiteral("%1 lines %2 %3").arg(lines.size()).arg(kind, code).toUtf8();
    return Payload(lines.first()).toHex();
}

QStringList ReceivedCodes(const SimProcess& sim) {
    QStringList codes;
    for (const QString& event : sim.Events())
        if (event.startsWith(QLatin1String("IN ")))
            codes << event.mid(3, 2);
    return codes;
}

} // namespace zel::test
