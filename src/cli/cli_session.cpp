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
#include <map>

namespace zel {

namespace {

const QStringList ModeKeys = {QStringLiteral("ModeManual"), QStringLiteral("ModeAuto"),
                              QStringLiteral("ModeGeo"), QStringLiteral("ModeRGBDemo"),
                              QStringLiteral("ModeFlash")};

constexpr uint32_t CommandWrites = rqAllWrites | rqSaveEEPROM | rqToggleCloud | rqToggleStorm;

} // namespace

CliSession::CliSession(const CliRequest& request, QTextStream& out, QTextStream& err)
    : request_(request), out_(out), err_(err) {}

CliSession::~CliSession() {
    if (gate_)
        gate_->Close();
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
    gate_ = std::make_unique<HostGate>(this);
    link_ = new TthdCom(*this, *gate_, request_.Port, request_.Debug);
    connect(link_, &QThread::finished, this, &CliSession::OnLinkEnded, Qt::QueuedConnection);
    // Guards the wait for the controller's answers; a running transfer or monitor is not cut.
    timeout_ = new QTimer(this);
    timeout_->setSingleShot(true);
    connect(timeout_, &QTimer::timeout, this, [this] {
        Fail(ExitNoController,
             QStringLiteral("no result within %1 s; giving up").arg(request_.TimeoutSeconds));
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

void CliSession::Interrupt() {
    if (finishing_)
        return;
    if (monitoring_) {
        Finish(ExitOk);
        return;
    }
    Fail(ExitFailed, QStringLiteral("interrupted: ") + UnfinishedWork());
}

// What an interruption leaves undone, for the line that reports it.
QString CliSession::UnfinishedWork() {
    if (transferTotal_ > 0)
        return QStringLiteral("the firmware transfer stopped after %1 of %2 bytes; the "
                              "controller has no complete firmware: run flash again")
            .arg(transferCompleted_)
            .arg(transferTotal_);
    if (request_.Command == QLatin1String("flash"))
        return firmwareRequested_ || (link_ && link_->Identity().HardwareId == 6)
                   ? QStringLiteral("nothing was flashed; the controller may be waiting in "
                                    "its bootloader")
                   : QStringLiteral("nothing was flashed");
    if (verifying_)
        return QStringLiteral("everything was sent and acknowledged; reading it back was not "
                              "finished");
    if (!awaitingWrites_)
        return downloaded_ ? QStringLiteral("nothing was changed")
                           : QStringLiteral("the controller was not read; nothing was changed");
    QStringList left;
    const uint32_t pending = state_.Snapshot();
    const QList<std::pair<uint32_t, QString>> names = {
        {rqSetTime, QStringLiteral("clock")},
        {rqSetChannels, QStringLiteral("channel levels")},
        {rqSetConfig, QStringLiteral("configuration")},
        {rqSetExpert, QStringLiteral("expert settings")},
        {rqSetExpertWeather, QStringLiteral("weather settings")},
        {rqSaveEEPROM, QStringLiteral("permanent save")},
        {rqToggleCloud, QStringLiteral("cloud")},
        {rqToggleStorm, QStringLiteral("thunderstorm")},
    };
    for (const auto& [flag, name] : names)
        if (pending & flag)
            left << name;
    const auto rows = std::count_if(state_.RowDirty.begin(), state_.RowDirty.end(),
                                    [](uint8_t dirty) { return dirty != 0; });
    if (rows > 0)
        left << QStringLiteral("%1 schedule row(s)").arg(rows);
    const QString sent = QStringLiteral("%1 change(s) acknowledged").arg(acknowledged_);
    return left.isEmpty() ? sent + QStringLiteral(", the last one sent but not acknowledged")
                          : sent + QStringLiteral("; not sent: ") + left.join(QStringLiteral(", "));
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
        delete link_;
        link_ = nullptr;
    }
    emit done(exitCode_);
}

void CliSession::LogMessage(const QString& text) {
    // Results alone go to stdout, so a pipe gets nothing but what it asked for.
    PrintLogEntry(err_, text);
}

void CliSession::SetStatusText(const QString& text) {
    LogMessage(text);
    if (request_.Command == QLatin1String("flash")) {
        if (text == Translate(QStringLiteral("FirmwareUpdateSuccessful")))
            Finish(ExitOk);
        else if (text == Translate(QStringLiteral("FirmwareUpdateFailed")))
            Fail(ExitFailed,
                 transferTotal_ > 0
                     ? QStringLiteral("the firmware update failed; the controller has no "
                                      "complete firmware: run flash again")
                     : QStringLiteral("the firmware update failed before any block was sent"));
        // A controller on another firmware version is exactly the one to update.
        const DeviceId id = link_ ? link_->Identity() : DeviceId{255, 255};
        if (id.HardwareId == 7 && id.FirmwareVariant != 0)
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
    if (id.HardwareId == 255 || (id.HardwareId == 7 && id.FirmwareVariant == 0))
        return false;
    // Flashing takes the bootloader and any firmware version.
    return !(request_.Command == QLatin1String("flash") &&
             (id.HardwareId == 6 || id.HardwareId == 7));
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
    readsSinceConnect_ = 0;
    if (!connected && verifying_)
        Fail(ExitNoController,
             QStringLiteral("the controller stopped answering after the change was sent; it "
                            "could not be read back"));
    else if (!connected && awaitingWrites_)
        Fail(ExitFailed, QStringLiteral("the connection was lost before the change was sent"));
}

void CliSession::RefreshStatus() {
    BlockRead(ReadInfo);
    if (monitoring_ && request_.Json) {
        JsonWriter json;
        json.BeginObject();
        StatusJson(state_, state_.Config.Flag, json);
        out_ << json.EndObject().Text() << Qt::endl;
    } else if (monitoring_) {
        out_ << StatusLine() << Qt::endl;
    }
}

void CliSession::BlockRead(int bit) {
    if (verifying_ && !finishing_) {
        static const std::map<int, FieldBlock> blocks = {
            {ReadConfig, FieldBlock::Config},
            {ReadExpert, FieldBlock::Expert},
            {ReadExpertWeather, FieldBlock::ExpertWeather},
            {ReadSchedule, FieldBlock::Row}};
        const auto block = blocks.find(bit);
        if (block != blocks.end() && readBack_.Read(block->second, state_))
            ReportReadBack();
    }
    readsSinceConnect_ |= bit;
    if (!downloaded_ && readsSinceConnect_ == ReadAll) {
        downloaded_ = true;
        OnFirstDownload();
    }
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
            std::array<int, ChannelCount> levels{};
            for (int channel = 0; channel < ChannelCount; ++channel) {
                double percent = 0;
                ParsePercent(request_.Arguments[channel], percent); // checked when parsed
                levels[size_t(channel)] = int(LevelFromPercent(percent));
            }
            SetChannelLevels(state_, levels);
        } else if (command == QLatin1String("export")) {
            awaitingWrites_ = false;
            WriteSettingsFile(file, state_);
            LogMessage(QStringLiteral("Exported to ") + QFileInfo(file).absoluteFilePath());
            Finish(ExitOk);
        } else if (command == QLatin1String("import-config")) {
            ImportConfiguration(file, state_);
        } else if (command == QLatin1String("import-schedule")) {
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
        readBack_.Expect(state_);
        // Nothing may be left to send at all: a get, or a schedule of no rows.
        CheckWritesSettled();
    }
}

void CliSession::WriteFinished(uint32_t flag, bool ok) {
    Q_UNUSED(flag);
    if (!awaitingWrites_)
        return;
    if (!ok) {
        Fail(ExitFailed, QStringLiteral("the controller did not acknowledge a change"));
        return;
    }
    ++acknowledged_;
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
    StatusJson(state_, state_.Config.Flag, json);
    json.Key(u"ScheduleRows").Number(int64_t(state_.Info.RowCount)).EndObject();
    out_ << json.Text() << Qt::endl;
}

} // namespace zel
