#include "cli/cli_session.h"

#include "cfg/conversions.h"
#include "cfg/device_actions.h"
#include "files/settings_file.h"
#include "lang/translate.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QTimer>

namespace zel {

namespace {

const QStringList ModeNames = {QStringLiteral("manual"), QStringLiteral("auto"),
                               QStringLiteral("geo"), QStringLiteral("rgbdemo"),
                               QStringLiteral("flash")};
const QStringList ModeKeys = {QStringLiteral("ModeManual"), QStringLiteral("ModeAuto"),
                              QStringLiteral("ModeGeo"), QStringLiteral("ModeRGBDemo"),
                              QStringLiteral("ModeFlash")};

// Commands and the number of arguments each takes.
const QList<std::pair<QString, int>> Commands = {
    {QStringLiteral("info"), 0},          {QStringLiteral("monitor"), 0},
    {QStringLiteral("flash"), 1},         {QStringLiteral("set-time"), 0},
    {QStringLiteral("save"), 0},          {QStringLiteral("cloud"), 0},
    {QStringLiteral("storm"), 0},         {QStringLiteral("mode"), 1},
    {QStringLiteral("channels"), 4},      {QStringLiteral("export"), 1},
    {QStringLiteral("import-config"), 1}, {QStringLiteral("import-schedule"), 1},
};

constexpr uint32_t CommandWrites = rqAllWrites | rqSaveEEPROM | rqToggleCloud | rqToggleStorm;

} // namespace

QString CliUsage() {
    return QStringLiteral(
        "Usage: zelphorin-cli [--debug] [--english|--german] [--timeout SECONDS] --port PORT "
        "COMMAND [ARGS]\n"
        "       zelphorin-cli sunmoon --lat DEG --lon DEG --date YYYY-MM-DD --time HH:MM "
        "[--tz HOURS] [--json]\n"
        "\n"
        "Commands:\n"
        "  info                    connect, read everything, print a summary\n"
        "  monitor                 as info, then one line per status read until interrupted\n"
        "  flash FILE              update the firmware with a .chx image\n"
        "  set-time                set the controller clock to this computer's clock\n"
        "  save                    make the controller store its settings permanently\n"
        "  cloud | storm           trigger or stop a cloud or a thunderstorm now\n"
        "  mode manual|auto|geo|rgbdemo|flash\n"
        "  channels W R G B        set the four channel levels in percent (mode Manual)\n"
        "  export FILE             write configuration and schedule to an INI file\n"
        "  import-config FILE      send the configuration of an INI file\n"
        "  import-schedule FILE    send the schedule rows of an INI file\n"
        "  sunmoon ...             sun and moon for a place and moment (no port needed)\n"
        "  bluetooth install       pair the controllers nearby and offer their serial port\n"
        "                          (no port needed; exit status 0 when one was installed)\n"
        "  bluetooth remove        remove the paired controllers again (no port needed)\n"
        "\n"
        "PORT is a name (ttyUSB0) or a path (/dev/ttyUSB0). Exit status: 0 done, 1 a write "
        "or the update failed, 2 no controller or time-out, 3 another device answered, "
        "4 the file could not be used.\n");
}

bool ParseCliArguments(const QStringList& arguments, CliRequest& request, QString& error,
                       bool& help) {
    help = false;
    int i = 0;
    for (; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!argument.startsWith(QLatin1String("--")))
            break;
        if (argument == QLatin1String("--help")) {
            help = true;
            return true;
        } else if (argument == QLatin1String("--debug")) {
            request.Debug = true;
        } else if (argument == QLatin1String("--english")) {
            SelectLanguage(LanguageEnglish);
        } else if (argument == QLatin1String("--german")) {
            SelectLanguage(LanguageGerman);
        } else if (argument == QLatin1String("--port") || argument == QLatin1String("--timeout")) {
            if (++i >= arguments.size()) {
                error = argument + QStringLiteral(" needs a value");
                return false;
            }
            if (argument == QLatin1String("--port")) {
                request.Port = arguments[i];
            } else {
                bool ok = false;
                request.TimeoutSeconds = arguments[i].toInt(&ok);
                if (!ok || request.TimeoutSeconds <= 0) {
                    error = QStringLiteral("--timeout needs a whole number of seconds above 0");
                    return false;
                }
            }
        } else {
            error = QStringLiteral("unknown option ") + argument;
            return false;
        }
    }
    if (i >= arguments.size()) {
        error = QStringLiteral("no command given (see --help)");
        return false;
    }
    request.Command = arguments[i];
    request.Arguments = arguments.mid(i + 1);
    if (request.Command == QLatin1String("sunmoon") ||
        request.Command == QLatin1String("bluetooth"))
        return true; // needs no port; its own arguments are checked where it runs
    const auto command = std::find_if(Commands.begin(), Commands.end(), [&](const auto& entry) {
        return entry.first == request.Command;
    });
    if (command == Commands.end()) {
        error = QStringLiteral("unknown command ") + request.Command;
        return false;
    }
    if (request.Arguments.size() != command->second) {
        error = QStringLiteral("%1 takes %2 argument(s)").arg(request.Command).arg(command->second);
        return false;
    }
    if (request.Port.isEmpty()) {
        error = QStringLiteral("no port given: use --port PORT");
        return false;
    }
    if (request.Command == QLatin1String("mode") && !ModeNames.contains(request.Arguments[0])) {
        error = QStringLiteral("mode must be one of ") + ModeNames.join(QLatin1Char('|'));
        return false;
    }
    if (request.Command == QLatin1String("channels")) {
        for (const QString& level : request.Arguments) {
            bool ok = false;
            const double percent = level.toDouble(&ok);
            if (!ok || percent < 0 || percent > 100) {
                error =
                    QStringLiteral("channel levels are percentages from 0 to 100, not ") + level;
                return false;
            }
        }
    }
    return true;
}

CliSession::CliSession(const CliRequest& request, QTextStream& out, QTextStream& err)
    : request_(request), out_(out), err_(err) {}

CliSession::~CliSession() {
    if (gate_)
        gate_->Close();
}

void CliSession::Start() {
    gate_ = std::make_unique<HostGate>(this);
    link_ = new TthdCom(*this, *gate_, request_.Port, request_.Debug);
    connect(link_, &QThread::finished, this, &CliSession::OnLinkEnded, Qt::QueuedConnection);
    QTimer::singleShot(request_.TimeoutSeconds * 1000, this, [this] {
        Fail(ExitNoController,
             QStringLiteral("no result within %1 s; giving up").arg(request_.TimeoutSeconds));
    });
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
    QString entry = LogEntry(text, QDateTime::currentDateTime());
    entry.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out_ << entry << Qt::endl;
}

void CliSession::SetStatusText(const QString& text) {
    LogMessage(text);
    if (request_.Command == QLatin1String("flash")) {
        if (text == Translate(QStringLiteral("FirmwareUpdateSuccessful")))
            Finish(ExitOk);
        else if (text == Translate(QStringLiteral("FirmwareUpdateFailed")))
            Finish(ExitFailed);
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
    // Flashing expects the bootloader.
    return !(id.HardwareId == 6 && request_.Command == QLatin1String("flash"));
}

void CliSession::SetConnectedState(bool connected) {
    readsSinceConnect_ = 0;
    if (!connected && awaitingWrites_)
        Fail(ExitFailed, QStringLiteral("the connection was lost before the change was sent"));
}

void CliSession::RefreshStatus() {
    BlockRead(ReadInfo);
    if (monitoring_)
        out_ << StatusLine() << Qt::endl;
}

void CliSession::BlockRead(int bit) {
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
        if (command == QLatin1String("info") || command == QLatin1String("monitor")) {
            awaitingWrites_ = false;
            PrintSummary();
            monitoring_ = command == QLatin1String("monitor");
            if (!monitoring_)
                Finish(ExitOk);
        } else if (command == QLatin1String("flash")) {
            awaitingWrites_ = false;
            state_.Raise(rqFirmware);
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
            SelectModeRequest(state_, uint8_t(ModeNames.indexOf(file)));
        } else if (command == QLatin1String("channels")) {
            std::array<int, ChannelCount> levels{};
            for (int channel = 0; channel < ChannelCount; ++channel)
                levels[size_t(channel)] =
                    int(LevelFromPercent(request_.Arguments[channel].toDouble()));
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
            // Nothing to wait for when the controller has no rows at all.
            CheckWritesSettled();
        }
    } catch (const std::exception& error) {
        Fail(ExitBadFile, QString::fromStdString(error.what()));
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
    CheckWritesSettled();
}

// Everything raised has been sent: no write flag left and no dirty row. rqSetSchedule itself
// is cleared only by one more pass that finds nothing to send, so it does not count.
void CliSession::CheckWritesSettled() {
    std::lock_guard<std::mutex> guard(state_.RequestLock);
    if (state_.SnapshotHeld() & CommandWrites & ~uint32_t(rqSetSchedule))
        return;
    for (uint8_t dirty : state_.RowDirty)
        if (dirty)
            return;
    QTimer::singleShot(0, this, [this] { Finish(ExitOk); });
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
    QString line = QStringLiteral("%1-%2-%3 %4:%5:%6")
                       .arg(2000 + info.Year)
                       .arg(info.Month, 2, 10, QLatin1Char('0'))
                       .arg(info.Day, 2, 10, QLatin1Char('0'))
                       .arg(info.Hour, 2, 10, QLatin1Char('0'))
                       .arg(info.Minute, 2, 10, QLatin1Char('0'))
                       .arg(info.Second, 2, 10, QLatin1Char('0'));
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
         << "Clock: " << StatusLine().left(19) << "\n"
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

} // namespace zel
