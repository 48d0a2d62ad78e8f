#include "com/link_thread.h"

#include "com/command_set.h"
#include "lang/translate.h"

namespace zel {

namespace {
constexpr int OpenAttempts = 5;
constexpr int PassesPerPoll = 25;
constexpr int IdleSleepMs = 20;
} // namespace

TthdCom::TthdCom(LinkHost& host, HostGate& gate, const QString& portEntry, bool debug,
                 LineFactory createLine)
    : host_(host), gate_(gate), state_(host.State()), createLine_(std::move(createLine)) {
    SetPort(portEntry, debug);
    start();
}

TthdCom::~TthdCom() {
    requestInterruption();
    // The thread's last messages go through the gate: keep serving it while waiting.
    while (!wait(5))
        gate_.DeliverPending();
    end_.Join();
}

void ReleaseLinkThread(TthdCom* thread) {
    if (!thread)
        return;
    if (thread->isFinished()) {
        delete thread;
        return;
    }
    thread->Terminate();
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    // The thread may have ended between the test and the connection.
    if (thread->isFinished())
        thread->deleteLater();
}

QString TthdCom::PortFromEntry(const QString& portEntry) {
    const int blank = portEntry.indexOf(QLatin1Char(' '));
    return blank < 0 ? portEntry : portEntry.left(blank);
}

void TthdCom::SetPort(const QString& portEntry, bool debug) {
    std::lock_guard<std::mutex> guard(portMutex_);
    debug_ = debug;
    portName_ = PortFromEntry(portEntry);
}

DeviceId TthdCom::Identity() const {
    const uint16_t identity = identity_.load();
    return DeviceId{uint8_t(identity >> 8), uint8_t(identity & 0xFF)};
}

QString TthdCom::PortName() const {
    std::lock_guard<std::mutex> guard(portMutex_);
    return portName_;
}

void TthdCom::run() {
    port_ = createLine_();
    line_ = std::make_unique<LineTransaction>(*port_, [this](const QString& text) { Log(text); });
    try {
        ConnectAndServe();
    } catch (const std::exception& error) {
        // Routines catch their own errors; this is the last guard of the thread's body.
        Log(QString::fromStdString(error.what()));
    }
    line_.reset();
    port_.reset();
    finished_.store(true);
    Status(TranslateFormat(QStringLiteral("DisconnectedFrom"), {PortName()}));
    SetConnected(false);
}

void TthdCom::ConnectAndServe() {
    while (!Terminated()) {
        state_.Replace(0);
        lastHardwareId_ = 255;
        lastFirmwareVariant_ = 255;
        identity_.store(0xFFFF);
        deviceReady_ = false;
        inBootloader_ = false;
        bootInfoRefused_ = false;
        scheduleIncomplete_ = false;
        ApplyDebug(); // the first identification is when a user on the wrong port needs it
        Status(TranslateFormat(QStringLiteral("ConnectingTo"), {PortName()}));
        if (!OpenWithRetries())
            return;
        GetDevice();
        int passCounter = 0;
        while (!Terminated()) {
            ApplyDebug();
            if (port_->Name() != PortName()) {
                SetConnected(false);
                port_->Close();
                port_->SetName(PortName());
                break;
            }
            if (lastHardwareId_ == 255) {
                Status(Translate(QStringLiteral("ConnectionError")));
                if (!Pause(1000))
                    return;
                port_->Close();
                break;
            }
            if (++passCounter >= PassesPerPoll) {
                if (deviceReady_)
                    state_.Raise(rqPeriodicPoll | (scheduleIncomplete_ ? rqGetSchedule : 0u));
                else if (inBootloader_ && !bootInfoRefused_)
                    state_.Raise(rqFirmware);
                else
                    GetDevice();
                passCounter = 0;
            }
            if (!ServeOneRequest())
                msleep(IdleSleepMs);
        }
    }
}

bool TthdCom::OpenWithRetries() {
    for (int attempt = 1; attempt <= OpenAttempts; ++attempt) {
        try {
            port_->SetName(PortName());
            port_->Open();
            Status(TranslateFormat(QStringLiteral("ConnectedTo"), {PortName()}));
            return true;
        } catch (const SerialLineError& error) {
            Log(error.Message());
        }
        if (!Pause(1000))
            return false;
        if (attempt == OpenAttempts) {
            Status(TranslateFormat(QStringLiteral("ErrorConnectingTo"), {PortName()}));
            return false;
        }
        Status(Translate(QStringLiteral("TryingAgain")));
        if (Terminated())
            return false;
    }
    return false;
}

void TthdCom::ApplyDebug() {
    std::lock_guard<std::mutex> guard(portMutex_);
    line_->SetDebug(debug_);
}

bool TthdCom::Pause(int ms) {
    constexpr int SliceMs = 50;
    for (int slept = 0; slept < ms; slept += SliceMs) {
        if (Terminated())
            return false;
        msleep(std::min(SliceMs, ms - slept));
    }
    return !Terminated();
}

bool TthdCom::ServeOneRequest() {
    TransferBuffer& buffer = transferBuffer_;
    if (state_.Test(rqSetConfig)) {
        ServeWrite(rqSetConfig, "02", "SetConfig", ConfigLength,
                   [&] { return LoadConfig(state_, buffer); });
    } else if (state_.Test(rqGetConfig, rqSetConfig)) {
        ServeRead(
            "82", "GetConfig", ConfigLength, [&] { StoreConfig(state_, buffer); },
            &LinkHost::RefreshControls);
    } else if (state_.Test(rqSetTime)) {
        ServeSetInfo(rqSetTime);
    } else if (state_.Test(rqSetChannels)) {
        ServeSetInfo(rqSetChannels);
    } else if (state_.Test(rqSetRow)) {
        ServeSetInfo(rqSetRow);
    } else if (state_.Test(rqGetInfo, rqSetInfoAny)) {
        ServeRead(
            "81", "GetInfo", InfoLength, [&] { StoreInfo(state_, buffer); },
            &LinkHost::RefreshStatus);
    } else if (state_.Test(rqSetExpert)) {
        ServeWrite(rqSetExpert, "05", "SetExpert", ExpertLength,
                   [&] { return LoadExpert(state_, buffer); });
    } else if (state_.Test(rqGetExpert, rqSetExpert)) {
        ServeRead(
            "85", "GetExpert", ExpertLength, [&] { StoreExpert(state_, buffer); },
            &LinkHost::RefreshExpertPage);
    } else if (state_.Test(rqSetSchedule)) {
        bool found = false;
        Sync([&] { found = NextDirtyRow(state_, buffer); });
        if (found)
            ReportWrite(rqSetSchedule, Set("03", "SetSchedule", RowMessageLength));
    } else if (state_.Test(rqGetSchedule, rqSetSchedule)) {
        DownloadSchedule();
    } else if (state_.Test(rqGetChart)) {
        Status(Translate(QStringLiteral("ReadingChart")));
        ServeRead(
            "87", "GetChart", ChartLength, [&] { StoreChart(state_, buffer); },
            &LinkHost::RefreshChart);
        Status(Translate(QStringLiteral("Done")));
    } else if (state_.Test(rqGetHealth)) {
        ServeRead(
            "88", "GetHealth", HealthLength, [&] { StoreHealth(state_, buffer); },
            &LinkHost::RefreshHealth);
        Status(Translate(QStringLiteral("Done")));
    } else if (state_.Test(rqSetExpertWeather)) {
        ServeWrite(rqSetExpertWeather, "06", "SetExpertWeather", ExpertWeatherLength,
                   [&] { return LoadExpertWeather(state_, buffer); });
    } else if (state_.Test(rqGetExpertWeather, rqSetExpertWeather)) {
        ServeRead(
            "86", "GetExpertWeather", ExpertWeatherLength,
            [&] { StoreExpertWeather(state_, buffer); }, &LinkHost::RefreshWeatherPages);
    } else if (state_.Test(rqSaveEEPROM)) {
        ServeDeviceCommand(rqSaveEEPROM, SubSaveEEPROM, "SaveEEPROM");
    } else if (state_.Test(rqToggleCloud)) {
        ServeDeviceCommand(rqToggleCloud, SubToggleCloud, "ToggleCloud");
    } else if (state_.Test(rqToggleStorm)) {
        ServeDeviceCommand(rqToggleStorm, SubToggleStorm, "ToggleStorm");
    } else if (state_.Test(rqFirmware)) {
        ServeFirmware();
    } else {
        return false;
    }
    return true;
}

bool TthdCom::Sync(const std::function<void()>& function) {
    const bool ran = gate_.Call([&] {
        try {
            function();
        } catch (const std::exception& error) {
            host_.LogMessage(QString::fromStdString(error.what()));
        }
    });
    if (!ran)
        requestInterruption(); // the host is closing: nobody is left to talk to
    return ran;
}

void TthdCom::Log(const QString& text) {
    Sync([&] { host_.LogMessage(text); });
}

void TthdCom::Status(const QString& text) {
    Sync([&] { host_.SetStatusText(text); });
}

void TthdCom::Progress(const QString& text, qint64 completed, qint64 total) {
    Sync([&] {
        host_.SetTaskbarProgress(completed, total);
        host_.LogMessage(text);
    });
}

void TthdCom::SetConnected(bool connected) {
    Sync([&] { host_.SetConnectedState(connected); });
}

} // namespace zel
