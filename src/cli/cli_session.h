#pragma once

#include "cfg/device_state.h"
#include "com/link_host.h"
#include "com/link_thread.h"

#include <QObject>
#include <QStringList>
#include <QTextStream>

#include <memory>

namespace zel {

// Exit codes of the command line.
enum CliExit {
    ExitOk = 0,
    ExitFailed = 1,       // a write or the firmware update failed
    ExitNoController = 2, // nothing answered, the link gave up, or the time ran out
    ExitOtherDevice = 3,  // another firmware, the bootloader or another product answered
    ExitBadFile = 4,      // a settings file could not be read or written
};

struct CliRequest {
    QString Port;
    QString Command;
    QStringList Arguments;
    bool Debug = false;
    int TimeoutSeconds = 30;
};

// One run of a link command: the command line's host of the link thread. It connects, waits
// for the first complete download, makes its change or report, waits for the outcome and
// stops the link, printing every log line as the window would log it.
class CliSession : public QObject, public LinkHost {
    Q_OBJECT
public:
    CliSession(const CliRequest& request, QTextStream& out, QTextStream& err);
    ~CliSession() override;

    // Starts the link; `done(exitCode)` follows once the link has stopped.
    void Start();
    // Stops the link and ends with the given code (used for SIGINT/SIGTERM too).
    void Finish(int exitCode);

    DeviceState& State() override { return state_; }
    void LogMessage(const QString& text) override;
    void SetStatusText(const QString& text) override;
    void SetTaskbarProgress(qint64, qint64) override {}
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
    void OnLinkEnded();
    void Fail(int exitCode, const QString& message);
    bool IsUnwantedIdentity() const;
    void PrintSummary();
    QString StatusLine() const;

    CliRequest request_;
    QTextStream& out_;
    QTextStream& err_;
    DeviceState state_;
    std::unique_ptr<HostGate> gate_;
    TthdCom* link_ = nullptr;
    int readsSinceConnect_ = 0;
    bool downloaded_ = false;
    bool awaitingWrites_ = false;
    bool monitoring_ = false;
    bool finishing_ = false;
    int exitCode_ = ExitOk;
    int firmwareChoices_ = 0;
};

// Parses the command line (without the program name) into a request; on an error returns
// false with the message in `error`. `help` is set for --help.
bool ParseCliArguments(const QStringList& arguments, CliRequest& request, QString& error,
                       bool& help);
QString CliUsage();

} // namespace zel
