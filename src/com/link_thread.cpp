// SPDX-License-Identifier: GPL-3.0-or-later
#include "com/link_thread.h"

#include "com/command_set.h"
#include "lang/translate.h"

namespace zel {

namespace {
constexpr int OpenAttempts = 5;
// How often a ready controller's Info and Config are read, and an unready one asked again.
constexpr std::chrono::milliseconds PollPeriod(500);
} // namespace

TthdCom::TthdCom(LinkHost& host, HostGate& gate, const QString& portEntry, bool debug,
                 LineFactory createLine)
    : host_(host), gate_(gate), state_(host.State()), createLine_(std::move(createLine)) {
    SetPort(portEntry, debug);
    start();
}

TthdCom::~TthdCom() {
    Terminate();
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
    {
        std::lock_guard<std::mutex> guard(portMutex_);
        debug_ = debug;
        portName_ = PortFromEntry(portEntry);
    }
    state_.Wake(); // a sleeping thread reconnects now
}

void TthdCom::Terminate() {
    requestInterruption();
    state_.Wake();
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
        lastHardwareId_ = HardwareUnknown;
        lastFirmwareVariant_ = HardwareUnknown;
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
        auto nextPoll = std::chrono::steady_clock::now() + PollPeriod;
        bool pollPending = false;
        while (!Terminated()) {
            ApplyDebug();
            if (port_->Name() != PortName()) {
                SetConnected(false);
                port_->Close();
                port_->SetName(PortName());
                break;
            }
            if (lastHardwareId_ == HardwareUnknown) {
                Status(Translate(QStringLiteral("ConnectionError")));
                if (!Pause(1000))
                    return;
                port_->Close();
                break;
            }
            const auto now = std::chrono::steady_clock::now();
            // A period starts when the last periodic reads are done, so that a slow controller
            // still gets through the other requests between them.
            if (pollPending && (state_.Snapshot() & rqPeriodicPoll) == 0) {
                pollPending = false;
                nextPoll = now + PollPeriod;
            }
            if (!pollPending && now >= nextPoll) {
                if (deviceReady_) {
                    state_.Raise(rqPeriodicPoll | (scheduleIncomplete_ ? rqGetSchedule : 0u));
                    pollPending = true;
                } else if (inBootloader_ && !bootInfoRefused_) {
                    state_.Raise(rqFirmware);
                } else {
                    GetDevice();
                }
                nextPoll = now + PollPeriod;
            }
            if (!ServeOneRequest())
                state_.WaitForRequest(pollPending ? now + PollPeriod : nextPoll, [this] {
                    return Terminated() || port_->Name() != PortName();
                });
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
    // The service order: each pass serves the first request raised. The read of a block waits
    // while its write is pending, so it reads back what was written.
    struct Service {
        uint32_t flag;
        uint32_t notFlags;
        void (*serve)(TthdCom& link);
    };
    static const Service order[] = {
        {rqSetConfig, 0,
         [](TthdCom& link) {
             link.ServeWrite(rqSetConfig, "02", "SetConfig", ConfigLength,
                             [&] { return LoadConfig(link.state_, link.transferBuffer_); });
         }},
        {rqGetConfig, rqSetConfig,
         [](TthdCom& link) {
             link.ServeRead(
                 "82", "GetConfig", ConfigLength,
                 [&] { StoreConfig(link.state_, link.transferBuffer_); },
                 &LinkHost::RefreshControls);
         }},
        {rqSetTime, 0, [](TthdCom& link) { link.ServeSetInfo(rqSetTime); }},
        {rqSetChannels, 0, [](TthdCom& link) { link.ServeSetInfo(rqSetChannels); }},
        {rqSetRow, 0, [](TthdCom& link) { link.ServeSetInfo(rqSetRow); }},
        {rqGetInfo, rqSetInfoAny,
         [](TthdCom& link) {
             link.ServeRead(
                 "81", "GetInfo", InfoLength, [&] { StoreInfo(link.state_, link.transferBuffer_); },
                 &LinkHost::RefreshStatus);
         }},
        {rqSetExpert, 0,
         [](TthdCom& link) {
             link.ServeWrite(rqSetExpert, "05", "SetExpert", ExpertLength,
                             [&] { return LoadExpert(link.state_, link.transferBuffer_); });
         }},
        {rqGetExpert, rqSetExpert,
         [](TthdCom& link) {
             link.ServeRead(
                 "85", "GetExpert", ExpertLength,
                 [&] { StoreExpert(link.state_, link.transferBuffer_); },
                 &LinkHost::RefreshExpertPage);
         }},
        {rqSetSchedule, 0,
         [](TthdCom& link) {
             bool found = false;
             int dropped = 0;
             link.Sync([&] {
                 found = NextDirtyRow(link.state_, link.transferBuffer_, &dropped);
                 if (found)
                     link.host_.WriteStarted(rqSetSchedule);
             });
             // The host hears of a dropped row as of any write that failed.
             if (dropped > 0) {
                 link.Log(Translate(QStringLiteral("NotSentUnread")));
                 link.ReportWrite(rqSetSchedule, false);
             }
             if (found) {
                 const int row = link.transferBuffer_[PayloadOffset];
                 const bool ok = link.Set("03", "SetSchedule", RowMessageLength);
                 link.Sync([&] { link.host_.RowWriteFinished(row, ok); });
             }
         }},
        {rqGetSchedule, rqSetSchedule, [](TthdCom& link) { link.DownloadSchedule(); }},
        {rqGetChart, 0,
         [](TthdCom& link) {
             link.Status(Translate(QStringLiteral("ReadingChart")));
             link.ServeRead(
                 "87", "GetChart", ChartLength,
                 [&] { StoreChart(link.state_, link.transferBuffer_); }, &LinkHost::RefreshChart);
             link.Status(Translate(QStringLiteral("Done")));
         }},
        {rqGetHealth, 0,
         [](TthdCom& link) {
             link.ServeRead(
                 "88", "GetHealth", HealthLength,
                 [&] { StoreHealth(link.state_, link.transferBuffer_); }, &LinkHost::RefreshHealth);
             link.Status(Translate(QStringLiteral("Done")));
         }},
        {rqSetExpertWeather, 0,
         [](TthdCom& link) {
             link.ServeWrite(rqSetExpertWeather, "06", "SetExpertWeather", ExpertWeatherLength,
                             [&] { return LoadExpertWeather(link.state_, link.transferBuffer_); });
         }},
        {rqGetExpertWeather, rqSetExpertWeather,
         [](TthdCom& link) {
             link.ServeRead(
                 "86", "GetExpertWeather", ExpertWeatherLength,
                 [&] { StoreExpertWeather(link.state_, link.transferBuffer_); },
                 &LinkHost::RefreshWeatherPages);
         }},
        {rqSaveEEPROM, 0,
         [](TthdCom& link) { link.ServeDeviceCommand(rqSaveEEPROM, SubSaveEEPROM, "SaveEEPROM"); }},
        {rqToggleCloud, 0,
         [](TthdCom& link) {
             link.ServeDeviceCommand(rqToggleCloud, SubToggleCloud, "ToggleCloud");
         }},
        {rqToggleStorm, 0,
         [](TthdCom& link) {
             link.ServeDeviceCommand(rqToggleStorm, SubToggleStorm, "ToggleStorm");
         }},
        {rqFirmware, 0, [](TthdCom& link) { link.ServeFirmware(); }},
    };
    for (const Service& service : order) {
        if (state_.Test(service.flag, service.notFlags)) {
            service.serve(*this);
            return true;
        }
    }
    return false;
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
