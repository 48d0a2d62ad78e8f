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
    void RefreshControls() override { BlockRead(ReadConfig); }
    void RefreshExpertPage() override { BlockRead(ReadExpert); }
    void RefreshWeatherPages() override { BlockRead(ReadExpertWeather); }
    void FillScheduleGrid() override { BlockRead(ReadSchedule); }
    void RefreshChart() override { BlockRead(ReadChart); }
    void RefreshHealth() override {}
    QString ChooseFirmwareFile() override;
    void BeforeFirmwareTransfer(const QString& portName) override;
    void WriteFinished(uint32_t flag, bool ok) override;
    void FirmwareUpdateFinished(bool ok) override;

signals:
    void done(int exitCode);

private:
    enum ReadBit {
        ReadInfo = 1,
        ReadConfig = 2,
        ReadExpert = 4,
        ReadExpertWeather = 8,
        ReadSchedule = 16,
        ReadChart = 32,
        ReadAll = 63,
    };
    void BlockRead(int bit);
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
    TthdCom* link_ = nullptr;
    int readsSinceConnect_ = 0;
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
    int acknowledged_ = 0;     // changes the controller has acknowledged
    QTimer* timeout_ = nullptr;
};

} // namespace zel
