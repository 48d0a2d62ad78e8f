// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "cli/cli_arguments.h"
#include "cli/read_back.h"
#include "cli/settings_command.h"
#include "com/link_host.h"
#include "com/link_thread.h"
#include "host/built_in_controller.h"

#include <QObject>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

#include <memory>

namespace zel {

// One run of a link command: the command line's host of the link thread. It connects, waits
// for the first complete download, makes its change or report, waits for the outcome and
// stops the link. Log lines, as the window would log them, go to err; results to out.
class CliSession : public QObject, public LinkHost {
    Q_OBJECT
public:
    CliSession(const CliRequest& request, QTextStream& out, QTextStream& err);
    ~CliSession() override;

    // Starts the link; `done(exitCode)` follows once the link has stopped. A firmware file
    // that cannot be used ends the run before the port is opened.
    void Start();
    // Stops the link and ends with the given code.
    void Finish(int exitCode);
    // SIGINT, SIGTERM or SIGHUP: stops the link. A monitor that runs ends as it should, with 0;
    // any other work with 128 + signal and a line saying what was and was not done.
    void Interrupt(int signal);

    DeviceState& State() override { return state_; }
    void LogMessage(const QString& text) override;
    void SetStatusText(const QString& text) override;
    void SetTaskbarProgress(qint64 completed, qint64 total) override;
    void SetConnectedState(bool connected) override;
    void RefreshStatus() override;
    void RefreshControls() override { BlockRead(rqGetConfig); }
    void RefreshExpertPage() override { BlockRead(rqGetExpert); }
    void RefreshWeatherPages() override { BlockRead(rqGetExpertWeather); }
    void FillScheduleGrid() override { BlockRead(rqGetSchedule); }
    void RefreshChart() override { BlockRead(rqGetChart); }
    void RefreshHealth() override {}
    QString ChooseFirmwareFile() override;
    void BeforeFirmwareTransfer(const QString& portName) override;
    void WriteFinished(uint32_t flag, bool ok) override;
    void FirmwareUpdateFinished(bool ok) override;

signals:
    void done(int exitCode);

private:
    // A block has been read: `readFlag` is its read request.
    void BlockRead(uint32_t readFlag);
    void Progressed();
    void OnFirstDownload();
    void CheckWritesSettled();
    bool WritesSettled();
    void ReportReadBack();
    void OnLinkEnded();
    void Fail(int exitCode, const QString& message);
    bool IsUnwantedIdentity() const;
    bool CheckFirmwareFile();
    void RequestFirmware();
    QString UnfinishedWork();
    QString UnreadBlocks() const;
    QString WriteReport();
    void PrintSummary();
    void PrintSummaryJson();
    QString StatusLine() const;

    CliRequest request_;
    QTextStream& out_;
    QTextStream& err_;
    DeviceState state_;
    BuiltInController builtIn_; // the port "SIM"; outlives the link that may read it
    std::unique_ptr<RecordCommand> recordCommand_;
    ReadBack readBack_;
    std::unique_ptr<HostGate> gate_;
    LinkThreadPtr link_;
    bool downloaded_ = false;
    bool awaitingWrites_ = false;
    bool verifying_ = false; // everything has been sent; reading it back
    bool monitoring_ = false;
    bool finishing_ = false;
    int exitCode_ = ExitOk;
    int firmwareChoices_ = 0;
    bool firmwareRequested_ = false;
    qint64 transferCompleted_ = 0;
    qint64 transferTotal_ = 0; // above 0 once firmware blocks are being sent
    // The changes a command raised, and those of them the controller acknowledged.
    uint32_t writesRaised_ = 0;
    int rowsRaised_ = 0;
    uint32_t writesAcknowledged_ = 0;
    int rowsAcknowledged_ = 0;
    int progress_ = 0; // blocks read and changes acknowledged so far, for the time-out
    QTimer* timeout_ = nullptr;
};

} // namespace zel
