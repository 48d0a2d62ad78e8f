// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/bluetooth_command.h"

#include "cli/cli_session.h"

#include <QDateTime>

namespace zel {

BluetoothCommand::BluetoothCommand(bool installMode, QTextStream& err,
                                   TthdDiscover::StackFactory createStack)
    : installMode_(installMode), err_(err), createStack_(std::move(createStack)) {}

BluetoothCommand::~BluetoothCommand() {
    gate_.Close();
    thread_.reset(); // ends at once: nothing answers it any more
}

void BluetoothCommand::Start() {
    thread_ = std::make_unique<TthdDiscover>(*this, gate_, installMode_, createStack_);
    connect(thread_.get(), &QThread::finished, this, &BluetoothCommand::OnFinished);
}

void BluetoothCommand::Stop(int signal) {
    stopSignal_ = signal;
    if (thread_)
        thread_->Terminate();
}

void BluetoothCommand::LogMessage(const QString& text) {
    if (quiet_)
        return;
    QString entry = LogEntry(text, QDateTime::currentDateTime());
    entry.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    // Log lines go to stderr, as every command's do; this command's result is its exit status.
    err_ << entry << Qt::endl;
}

void BluetoothCommand::OnFinished() {
    if (stopSignal_ != 0) {
        err_ << "zelphorin-cli: interrupted; the lines above tell what was done" << Qt::endl;
        emit done(ExitSignal + stopSignal_);
        return;
    }
    emit done(thread_->Succeeded() ? ExitOk : ExitFailed);
}

bool ParseBluetoothArguments(const QStringList& arguments, bool& installMode, QString& error) {
    if (arguments.size() != 1 ||
        (arguments[0] != QLatin1String("install") && arguments[0] != QLatin1String("remove"))) {
        error = QStringLiteral("bluetooth takes one argument: install or remove");
        return false;
    }
    installMode = arguments[0] == QLatin1String("install");
    return true;
}

} // namespace zel
