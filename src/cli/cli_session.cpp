// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_session.h"

#include "cfg/conversions.h"
#include "cfg/device_actions.h"
#include "cli/json_writer.h"
#include "cli/status_json.h"
#include "com/firmware_file.h"
#include "files/settings_file.h"
#include "lang/translate.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <bitset>
#include <map>

namespace zel {

namespace {

const QStringList ModeKeys = {QStringLiteral("ModeManual"), QStringLiteral("ModeAuto"),
                              QStringLiteral("ModeGeo"), QStringLiteral("ModeRGBDemo"),
                              QStringLiteral("ModeFlash")};

// A mode by its command word; a mode this system does not know by its number.
QString ModeWord(uint8_t mode) {
    return mode < CliModeNames().size() ? CliModeNames()[mode] : QString::number(mode);
}

constexpr uint32_t CommandWrites = rqAllWrites | rqSaveEEPROM | rqToggleCloud | rqToggleStorm;

// Every command but flash starts from a complete read of these blocks.
constexpr uint32_t CommandReads = rqReadEverything;

const std::pair<uint32_t, const char*> ReadNames[] = {
    {rqGetInfo, "status"},
    {rqGetConfig, "configuration"},
    {rqGetExpert, "expert settings"},
    {rqGetSchedule, "schedule"},
    {rqGetChart, "chart"},
    {rqGetExpertWeather, "weather settings"},
};

const std::pair<uint32_t, const char*> WriteNames[] = {
    {rqSetTime, "clock"},
    {rqSetChannels, "channel levels"},
    {rqSetConfig, "configuration"},
    {rqSetExpert, "expert settings"},
    {rqSetExpertWeather, "weather settings"},
    {rqSaveEEPROM, "permanent save"},
    {rqToggleCloud, "cloud"},
    {rqToggleStorm, "thunderstorm"},
};

int DirtyRows(const DeviceState& state) {
    return int(std::count_if(state.RowDirty.begin(), state.RowDirty.end(),
                             [](uint8_t dirty) { return dirty != 0; }));
}

QString RowsText(int rows) {
    return QStringLiteral("%1 schedule row(s)").arg(rows);
}

} // namespace

CliSession::CliSession(const CliRequest& request, QTextStream& out, QTextStream& err)
    : request_(request), out_(out), err_(err) {}

CliSession::~CliSession() {
    if (gate_)
        gate_->Close();
    // The link calls into the session: it ends before the session does.
    if (link_) {
        link_->Terminate();
        link_->wait();
    }
}

void CliSession::Start() {
    try {
        recordCommand_ =
            ParseRecordCommand(request_.Command, request_.Arguments, request_.Json, err_);
    } catch (const std::invalid_argument& error) {
        Fail(ExitBadFile, QString::fromStdString(error.what()));
        return;
    }
    if (request_.Command == QLatin1String("flash") && !CheckFirmwareFile()) {
        finishing_ = true;
        exitCode_ = ExitBadFile;
        QTimer::singleShot(0, this, [this] { emit done(exitCode_); });
        return;
    }
    QString error;
    if (BuiltInController::Names(request_.Port) && !builtIn_.Ensure(error)) {
        Fail(ExitNoController, QStringLiteral("the simulated controller cannot start: ") + error);
        return;
    }
    gate_ = std::make_unique<HostGate>(this);
    link_.reset(new TthdCom(*this, *gate_, request_.Port, request_.Debug, builtIn_.LineFactory()));
    connect(link_.get(), &QThread::finished, this, &CliSession::OnLinkEnded, Qt::QueuedConnection);
    // Guards the wait for the controller's answers; a running transfer or monitor is not cut.
    timeout_ = new QTimer(this);
    timeout_->setSingleShot(true);
    connect(timeout_, &QTimer::timeout, this, [this] {
        Fail(ExitNoController, QStringLiteral("no progress within %1 s; giving up: %2")
                                   .arg(request_.TimeoutSeconds)
                                   .arg(UnfinishedWork()));
    });
    timeout_->start(request_.TimeoutSeconds * 1000);
}

// The whole file is read and checked before the controller is touched: a wrong file must not
// leave it restarted into its bootloader for nothing.
bool CliSession::CheckFirmwareFile() {
    QStringList logged;
    QString refusal;
    const FirmwareReport report{[&](const QString& text) {
                                    LogMessage(text);
                                    logged << text;
                                },
                                [&](const QString& text) {
                                    LogMessage(text);
                                    refusal = text;
                                },
                                request_.Debug};
    auto image = std::make_unique<FirmwareImage>();
    int64_t first = 0;
    int64_t last = 0;
    const QString file = request_.Arguments.value(0);
    if (ParseFirmwareFile(file, *image, FirmwareImageSize - 1, first, last, report))
        return true;
    logged.removeAll(DescribeFile(file));
    const QString reason = logged.isEmpty() ? QString() : logged.last();
    err_ << "zelphorin-cli: "
         << (reason.isEmpty() ? file + QStringLiteral(": ") + refusal
                              : refusal + QStringLiteral(" (") + reason + QLatin1Char(')'))
         << Qt::endl;
    return false;
}

void CliSession::Interrupt(int signal) {
    if (finishing_)
        return;
    if (monitoring_) {
        Finish(ExitOk);
        return;
    }
    Fail(ExitSignal + signal, QStringLiteral("interrupted: ") + UnfinishedWork());
}

// What an interruption leaves undone, for the line that reports it.
QString CliSession::UnfinishedWork() {
    if (transferTotal_ > 0)
        return QStringLiteral("the firmware transfer stopped after %1 of %2 bytes; the "
                              "controller has no complete firmware: run flash again")
            .arg(transferCompleted_)
            .arg(transferTotal_);
    if (request_.Command == QLatin1String("flash"))
        return firmwareRequested_ || (link_ && link_->Identity().HardwareId == HardwareBootloader)
                   ? QStringLiteral("nothing was flashed; the controller may be waiting in "
                                    "its bootloader")
                   : QStringLiteral("nothing was flashed");
    if (verifying_)
        return QStringLiteral("everything was sent and acknowledged; reading it back was not "
                              "finished");
    if (awaitingWrites_)
        return WriteReport();
    if (downloaded_)
        return QStringLiteral("nothing was changed");
    if ((state_.BlocksRead & CommandReads) == 0)
        return QStringLiteral("the controller was not read; nothing was changed");
    return QStringLiteral("the controller was read only in part; not read: %1; nothing was "
                          "changed")
        .arg(UnreadBlocks());
}

// The blocks still to be read, the schedule with the rows its last download brought.
QString CliSession::UnreadBlocks() const {
    QStringList unread;
    for (const auto& [flag, name] : ReadNames) {
        if (state_.IsRead(flag))
            continue;
        if (flag == rqGetSchedule && state_.IsRead(rqGetInfo))
            unread << QStringLiteral("schedule (%1 of %2 rows arrived)")
                          .arg(state_.RowsRead())
                          .arg(state_.Info.RowCount);
        else
            unread << QLatin1String(name);
    }
    return unread.join(QStringLiteral(", "));
}

// Which changes the controller acknowledged, which one was sent but not acknowledged (in flight
// when the link failed or stopped) and which were never sent.
QString CliSession::WriteReport() {
    const uint32_t pending = state_.Snapshot();
    const int rowsLeft = DirtyRows(state_);
    QStringList acknowledged;
    QStringList unacknowledged;
    QStringList unsent;
    for (const auto& [flag, name] : WriteNames) {
        if (writesRaised_ & flag)
            ((writesAcknowledged_ & flag) ? acknowledged
             : (pending & flag)           ? unsent
                                          : unacknowledged)
                << QLatin1String(name);
    }
    const int changes = int(acknowledged.size()) + rowsAcknowledged_;
    if (rowsAcknowledged_ > 0)
        acknowledged << RowsText(rowsAcknowledged_);
    if (rowsRaised_ - rowsAcknowledged_ - rowsLeft > 0)
        unacknowledged << RowsText(rowsRaised_ - rowsAcknowledged_ - rowsLeft);
    if (rowsLeft > 0)
        unsent << RowsText(rowsLeft);
    QString report = QStringLiteral("%1 change(s) acknowledged").arg(changes);
    if (!acknowledged.isEmpty())
        report += QStringLiteral(" (") + acknowledged.join(QStringLiteral(", ")) + QLatin1Char(')');
    if (!unacknowledged.isEmpty())
        report += QStringLiteral("; sent but not acknowledged: ") +
                  unacknowledged.join(QStringLiteral(", "));
    if (!unsent.isEmpty())
        report += QStringLiteral("; not sent: ") + unsent.join(QStringLiteral(", "));
    return report;
}

void CliSession::Finish(int exitCode) {
    if (finishing_)
        return;
    finishing_ = true;
    exitCode_ = exitCode;
    if (!link_ || link_->isFinished()) {
        OnLinkEnded();
        return;
    }
    link_->Terminate();
}

void CliSession::Fail(int exitCode, const QString& message) {
    if (finishing_)
        return;
    err_ << "zelphorin-cli: " << message << Qt::endl;
    Finish(exitCode);
}

void CliSession::OnLinkEnded() {
    if (!finishing_) {
        // The link gave up by itself: five failed openings, or another product.
        Fail(IsUnwantedIdentity() ? ExitOtherDevice : ExitNoController,
             QStringLiteral("the link to %1 has ended").arg(request_.Port));
    }
    if (link_) {
        link_->wait();
        link_.reset(); // finished: deleted now
    }
    emit done(exitCode_);
}

void CliSession::LogMessage(const QString& text) {
    if (request_.Quiet)
        return;
    // Results alone go to stdout, so a pipe gets nothing but what it asked for.
    PrintLogEntry(err_, text);
}

void CliSession::FirmwareUpdateFinished(bool ok) {
    if (ok)
        Finish(ExitOk);
    else
        Fail(ExitFailed,
             transferTotal_ > 0
                 ? QStringLiteral("the firmware update failed; the controller has no complete "
                                  "firmware: run flash again")
                 : QStringLiteral("the firmware update failed before any block was sent"));
}

void CliSession::SetStatusText(const QString& text) {
    LogMessage(text);
    if (request_.Command == QLatin1String("flash")) {
        // A controller on another firmware version is exactly the one to update.
        const DeviceId id = link_ ? link_->Identity() : DeviceId{HardwareUnknown, HardwareUnknown};
        if (id.HardwareId == HardwareApplication && id.FirmwareVariant != 0)
            RequestFirmware();
    }
    if (IsUnwantedIdentity())
        Fail(ExitOtherDevice, QStringLiteral("%1 does not answer as a ZELPHORIN 2.x.0 controller")
                                  .arg(request_.Port));
}

bool CliSession::IsUnwantedIdentity() const {
    if (!link_)
        return false;
    const DeviceId id = link_->Identity();
    if (id.HardwareId == HardwareUnknown ||
        (id.HardwareId == HardwareApplication && id.FirmwareVariant == 0))
        return false;
    // Flashing takes the bootloader and any firmware version.
    return !(request_.Command == QLatin1String("flash") &&
             (id.HardwareId == HardwareBootloader || id.HardwareId == HardwareApplication));
}

void CliSession::RequestFirmware() {
    if (firmwareRequested_)
        return;
    firmwareRequested_ = true;
    state_.Raise(rqFirmware);
}

// Called before each firmware block: from the first one on the transfer's own limits rule.
void CliSession::SetTaskbarProgress(qint64 completed, qint64 total) {
    timeout_->stop();
    transferCompleted_ = completed;
    transferTotal_ = total;
}

void CliSession::SetConnectedState(bool connected) {
    if (!connected && verifying_)
        Fail(ExitNoController,
             QStringLiteral("the controller stopped answering after the change was sent; it "
                            "could not be read back"));
    else if (!connected && awaitingWrites_)
        Fail(ExitFailed, QStringLiteral("the connection was lost: ") + WriteReport());
}

void CliSession::RefreshStatus() {
    BlockRead(rqGetInfo);
    if (monitoring_ && request_.Json) {
        JsonWriter json;
        json.BeginObject();
        StatusJson(state_, json);
        out_ << json.EndObject().Text() << Qt::endl;
    } else if (monitoring_) {
        out_ << StatusLine() << Qt::endl;
    }
    // Nobody reads a monitor whose lines cannot be written; the caller says why.
    if (monitoring_ && out_.status() != QTextStream::Ok)
        Finish(ExitFailed);
}

void CliSession::BlockRead(uint32_t readFlag) {
    if (verifying_ && !finishing_) {
        static const std::map<uint32_t, FieldBlock> blocks = {
            {rqGetConfig, FieldBlock::Config},
            {rqGetExpert, FieldBlock::Expert},
            {rqGetExpertWeather, FieldBlock::ExpertWeather},
            {rqGetSchedule, FieldBlock::Row}};
        const auto block = blocks.find(readFlag);
        if (block != blocks.end() && readBack_.Read(block->second, state_))
            ReportReadBack();
    }
    Progressed();
    // The records hold the controller's blocks only once each was read whole.
    if (!downloaded_ && state_.IsRead(CommandReads)) {
        downloaded_ = true;
        OnFirstDownload();
    }
}

// --timeout bounds each wait for an answer: every block read for the first time and every
// acknowledged change start it again. A block read again does not, so a controller that keeps
// failing the same read still runs out of time.
void CliSession::Progressed() {
    const int done = int(std::bitset<32>(state_.BlocksRead).count()) +
                     int(std::bitset<32>(writesAcknowledged_).count()) + rowsAcknowledged_;
    if (done <= progress_)
        return;
    progress_ = done;
    if (timeout_->isActive())
        timeout_->start();
}

void CliSession::OnFirstDownload() {
    const QString& command = request_.Command;
    const QString file = request_.Arguments.value(0);
    awaitingWrites_ = true;
    try {
        if (recordCommand_) {
            recordCommand_->Run(state_, out_);
        } else if (command == QLatin1String("info") || command == QLatin1String("monitor")) {
            awaitingWrites_ = false;
            PrintSummary();
            monitoring_ = command == QLatin1String("monitor");
            if (monitoring_)
                timeout_->stop(); // a monitor runs until it is interrupted
            else
                Finish(ExitOk);
        } else if (command == QLatin1String("flash")) {
            awaitingWrites_ = false;
            RequestFirmware();
        } else if (command == QLatin1String("set-time")) {
            SetRealtime(state_);
            SetClock(state_, QDateTime::currentDateTime());
        } else if (command == QLatin1String("save")) {
            state_.Raise(rqSaveEEPROM);
        } else if (command == QLatin1String("cloud")) {
            state_.Raise(rqToggleCloud);
        } else if (command == QLatin1String("storm")) {
            state_.Raise(rqToggleStorm);
        } else if (command == QLatin1String("mode")) {
            SelectModeRequest(state_, uint8_t(CliModeNames().indexOf(file)));
        } else if (command == QLatin1String("channels")) {
            // In any other mode the controller drives the channels itself and ignores levels.
            if (state_.Config.Mode != ModeManual)
                throw std::invalid_argument(
                    QStringLiteral("the controller is in mode %1, and channel levels are set "
                                   "only in mode manual: zelphorin-cli mode manual")
                        .arg(ModeWord(state_.Config.Mode))
                        .toStdString());
            std::array<int, ChannelCount> levels{};
            for (int channel = 0; channel < ChannelCount; ++channel) {
                double percent = 0;
                ParsePercent(request_.Arguments[channel], percent); // checked when parsed
                levels[size_t(channel)] = int(LevelFromPercent(percent));
            }
            SetChannelLevels(state_, levels);
        } else if (command == QLatin1String("export")) {
            awaitingWrites_ = false;
            if (file == QLatin1String("-")) {
                out_ << QString::fromUtf8(SettingsFileBytes(state_));
                out_.flush();
            } else {
                WriteSettingsFile(file, state_);
                LogMessage(QStringLiteral("Exported to ") + QFileInfo(file).absoluteFilePath());
            }
            Finish(ExitOk);
        } else if (command == QLatin1String("import-config")) {
            ImportConfiguration(file, state_);
        } else if (command == QLatin1String("import-schedule")) {
            if (state_.Info.RowCount == 0) {
                Fail(ExitBadFile, QStringLiteral("the controller has no schedule rows to import "
                                                 "into"));
                return;
            }
            if (!ImportSchedule(file, state_)) {
                Fail(ExitFailed, QStringLiteral("a schedule download is still running"));
                return;
            }
        }
    } catch (const std::exception& error) {
        Fail(ExitBadFile, QString::fromStdString(error.what()));
        return;
    }
    if (awaitingWrites_) {
        writesRaised_ = state_.Snapshot() & CommandWrites;
        rowsRaised_ = DirtyRows(state_);
        readBack_.Expect(state_);
        // Nothing may be left to send at all: a get, or a schedule of no rows.
        CheckWritesSettled();
    }
}

void CliSession::WriteFinished(uint32_t flag, bool ok) {
    if (!awaitingWrites_)
        return;
    if (!ok) {
        Fail(ExitFailed,
             QStringLiteral("the controller did not acknowledge a change: ") + WriteReport());
        return;
    }
    if (flag == rqSetSchedule)
        ++rowsAcknowledged_;
    else
        writesAcknowledged_ |= flag;
    Progressed();
    CheckWritesSettled();
}

// Everything raised has been sent: no write flag left and no dirty row. rqSetSchedule itself
// is cleared only by one more pass that finds nothing to send, so it does not count.
bool CliSession::WritesSettled() {
    std::lock_guard<std::mutex> guard(state_.RequestLock);
    if (state_.SnapshotHeld() & CommandWrites & ~uint32_t(rqSetSchedule))
        return false;
    return std::all_of(state_.RowDirty.begin(), state_.RowDirty.end(),
                       [](uint8_t dirty) { return dirty == 0; });
}

// Once everything has been sent, what was sent is read back before the command counts as done.
void CliSession::CheckWritesSettled() {
    if (verifying_ || !WritesSettled())
        return;
    if (readBack_.Empty()) {
        QTimer::singleShot(0, this, [this] { Finish(ExitOk); });
        return;
    }
    verifying_ = true;
    readBack_.RequestReads(state_);
}

void CliSession::ReportReadBack() {
    const QStringList& mismatches = readBack_.Mismatches();
    if (mismatches.isEmpty()) {
        QTimer::singleShot(0, this, [this] { Finish(ExitOk); });
        return;
    }
    for (const QString& line : mismatches)
        err_ << "zelphorin-cli: " << line << '\n';
    if (readBack_.RowsMissing())
        Fail(ExitNoController, QStringLiteral("the controller did not send every row back"));
    else
        Fail(ExitFailed, QStringLiteral("the controller holds %1 value(s) other than sent")
                             .arg(mismatches.size()));
}

QString CliSession::ChooseFirmwareFile() {
    // The file once; a second choice means the first one was refused.
    if (++firmwareChoices_ == 1)
        return QFileInfo(request_.Arguments.value(0)).absoluteFilePath();
    Fail(ExitFailed, QStringLiteral("the firmware file was refused"));
    return QString();
}

void CliSession::BeforeFirmwareTransfer(const QString& portName) {
    // A controller met in its bootloader was never read: its backup would replace a good one
    // with the empty records.
    if (!downloaded_)
        return;
    const BackupResult backup = WriteBackup(portName, state_);
    if (!backup.Error.isEmpty())
        LogMessage(backup.Error);
    else if (!backup.Path.isEmpty())
        LogMessage(QStringLiteral("Settings saved to ") + backup.Path);
}

QString CliSession::StatusLine() const {
    const InfoBlock& info = state_.Info;
    const uint8_t flag = state_.Config.Flag;
    QString line = ClockText(info);
    for (int channel = 0; channel < ChannelCount; ++channel)
        line += QLatin1Char(' ') + ChannelLetter(channel) + QLatin1Char(' ') +
                LevelText(info.Channel[channel]) + QLatin1Char('%');
    if (info.TempBoard != NoMeasurement)
        line +=
            QLatin1Char(' ') + FormatTemperature(info.TempBoard, flag) + TemperatureUnitText(flag);
    if (info.TempWater != NoMeasurement)
        line +=
            QLatin1Char(' ') + FormatTemperature(info.TempWater, flag) + TemperatureUnitText(flag);
    if (info.Voltage != NoMeasurement)
        line += QLatin1Char(' ') + VoltageText(info.Voltage) + QStringLiteral(" Volt");
    return line;
}

void CliSession::PrintSummary() {
    if (request_.Json) {
        PrintSummaryJson();
        return;
    }
    const InfoBlock& info = state_.Info;
    const uint8_t flag = state_.Config.Flag;
    const uint8_t mode = state_.Config.Mode;
    auto temperature = [&](int16_t value) {
        return value == NoMeasurement ? QStringLiteral("-")
                                      : FormatTemperature(value, flag) + TemperatureUnitText(flag);
    };
    out_ << "Controller: ZELPHORIN 2.x.0 on " << link_->PortName() << "\n"
         << "Mode: " << (mode < ModeKeys.size() ? Translate(ModeKeys[mode]) : QString::number(mode))
         << "\n"
         << "Clock: " << ClockText(info) << "\n"
         << Translate(QStringLiteral("BoardTemperature")) << ": " << temperature(info.TempBoard)
         << "\n"
         << "Water temperature: "
         << (info.TempWater == NoMeasurement ? Translate(QStringLiteral("VarnoProbeNotConnected"))
                                             : temperature(info.TempWater))
         << "\n"
         << Translate(QStringLiteral("InputVoltage")) << ": "
         << (info.Voltage == NoMeasurement ? QStringLiteral("-")
                                           : VoltageText(info.Voltage) + QStringLiteral(" Volt"))
         << "\n"
         << "Channels:";
    for (int channel = 0; channel < ChannelCount; ++channel)
        out_ << " " << ChannelLetter(channel) << " " << LevelText(info.Channel[channel]) << "%";
    out_ << "\n"
         << "Schedule rows: " << info.RowCount << Qt::endl;
}

// The summary with the names of its text form; the mode by its command word.
void CliSession::PrintSummaryJson() {
    JsonWriter json;
    json.BeginObject()
        .Key(u"Controller")
        .String(u"ZELPHORIN 2.x.0")
        .Key(u"Port")
        .String(link_->PortName());
    ModeJson(state_.Config.Mode, json);
    StatusJson(state_, json);
    json.Key(u"ScheduleRows").Number(int64_t(state_.Info.RowCount)).EndObject();
    out_ << json.Text() << Qt::endl;
}

} // namespace zel
