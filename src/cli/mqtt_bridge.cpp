// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/mqtt_bridge.h"

#include "cfg/conversions.h"
#include "cfg/device_actions.h"
#include "cli/json_writer.h"
#include "cli/mqtt_discovery.h"
#include "cli/settings_command.h"
#include "cli/status_json.h"
#include "lang/translate.h"

#include <QDateTime>

namespace zel {

namespace {

// A controller whose port has gone is looked for again after this pause (the link itself
// tries five times, a second apart, before it gives up).
constexpr int LinkRestartMs = 5000;
constexpr int StateIntervalMs = 1000;
// How long the last words may take to reach the broker at a stop.
constexpr int LastWordsTimeoutMs = 3000;
// No command needs more; a longer payload is refused before it is decoded.
constexpr qsizetype MaxCommandPayload = 64;

const QString PressPayload = QStringLiteral("PRESS");

// Anything that answered but is not the controller this system speaks to.
bool IsOtherDevice(const DeviceId& id) {
    return id.HardwareId != 255 && !(id.HardwareId == 7 && id.FirmwareVariant == 0);
}

} // namespace

MqttBridge::MqttBridge(const CliRequest& request, MqttOptions options, QTextStream& err)
    : request_(request), options_(std::move(options)), err_(err) {}

MqttBridge::~MqttBridge() {
    if (gate_)
        gate_->Close();
    if (link_) {
        link_->Terminate();
        link_->wait();
        link_.reset(); // finished: deleted now
    }
}

QString MqttBridge::Topic(const QString& suffix) const {
    return options_.Root() + QLatin1Char('/') + suffix;
}

void MqttBridge::Start() {
    stateDelay_ = new QTimer(this);
    stateDelay_->setSingleShot(true);
    connect(stateDelay_, &QTimer::timeout, this, &MqttBridge::PublishState);
    linkRestart_ = new QTimer(this);
    linkRestart_->setSingleShot(true);
    connect(linkRestart_, &QTimer::timeout, this, &MqttBridge::StartLink);
    lastWordsTimeout_ = new QTimer(this);
    lastWordsTimeout_->setSingleShot(true);
    connect(lastWordsTimeout_, &QTimer::timeout, this, [this] {
        LogMessage(QStringLiteral("MQTT: the broker did not confirm \"offline\" in time"));
        offlineId_ = -1;
        EndWhenStopped();
    });

    const QStringList commands = {
        Topic(QStringLiteral("mode/set")), Topic(QStringLiteral("channel/+/set")),
        Topic(QStringLiteral("cloud/trigger")), Topic(QStringLiteral("storm/trigger")),
        Topic(QStringLiteral("clock/sync"))};
    try {
        broker_ = std::make_unique<MqttClient>(options_, QStringLiteral("zelphorin-") + options_.Id,
                                               Topic(QStringLiteral("availability")),
                                               QByteArray("offline"), commands);
    } catch (const std::exception& error) {
        Fail(ExitFailed, QString::fromStdString(error.what()));
        return;
    }
    connect(broker_.get(), &MqttClient::connected, this, &MqttBridge::OnBrokerConnected);
    connect(broker_.get(), &MqttClient::disconnected, this, [this](QString reason) {
        brokerUp_ = false;
        if (finishing_)
            return; // the stop's own goodbye
        if (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        LogMessage(QStringLiteral("MQTT: broker %1:%2: %3; trying again")
                       .arg(options_.Host)
                       .arg(options_.Port)
                       .arg(reason));
    });
    connect(broker_.get(), &MqttClient::messageReceived, this, &MqttBridge::OnMessage);
    connect(broker_.get(), &MqttClient::published, this, [this](int id) {
        if (id != offlineId_)
            return;
        offlineId_ = -1;
        EndWhenStopped();
    });
    gate_ = std::make_unique<HostGate>(this);
    broker_->Start();
    StartLink();
}

void MqttBridge::StartLink() {
    link_.reset(new TthdCom(*this, *gate_, request_.Port, request_.Debug));
    connect(link_.get(), &QThread::finished, this, &MqttBridge::OnLinkEnded, Qt::QueuedConnection);
}

void MqttBridge::OnLinkEnded() {
    const DeviceId id = link_->Identity();
    link_->wait();
    link_.reset(); // finished: deleted now
    if (finishing_) {
        EndWhenStopped();
        return;
    }
    SetOnline(false);
    if (IsOtherDevice(id)) {
        RefuseOtherDevice();
        return;
    }
    LogMessage(QStringLiteral("The link to %1 has ended; trying again in %2 s")
                   .arg(request_.Port)
                   .arg(LinkRestartMs / 1000));
    linkRestart_->start(LinkRestartMs);
}

void MqttBridge::Interrupt() {
    Fail(ExitOk, QString());
}

void MqttBridge::Fail(int exitCode, const QString& message) {
    if (finishing_)
        return;
    if (!message.isEmpty())
        err_ << "zelphorin-cli: " << message << Qt::endl;
    finishing_ = true;
    exitCode_ = exitCode;
    if (linkRestart_) {
        linkRestart_->stop();
        stateDelay_->stop();
    }
    online_ = false;
    if (brokerUp_ &&
        broker_->Publish(Topic(QStringLiteral("availability")), "offline", true, &offlineId_))
        lastWordsTimeout_->start(LastWordsTimeoutMs);
    else if (broker_) {
        offlineId_ = -1;
        LogMessage(QStringLiteral("MQTT: no broker connection: \"offline\" was not published (the "
                                  "broker's last will says it once it notices)"));
    }
    if (link_)
        link_->Terminate();
    EndWhenStopped();
}

// The end comes once the link has stopped and the broker has the last words (or gave no sign).
void MqttBridge::EndWhenStopped() {
    if (link_ || offlineId_ >= 0)
        return;
    lastWordsTimeout_->stop();
    if (broker_)
        broker_->Stop();
    QTimer::singleShot(0, this, [this] { emit done(exitCode_); });
}

void MqttBridge::LogMessage(const QString& text) {
    PrintLogEntry(err_, text);
}

void MqttBridge::SetStatusText(const QString& text) {
    LogMessage(text);
    if (link_ && IsOtherDevice(link_->Identity()))
        RefuseOtherDevice();
}

void MqttBridge::RefuseOtherDevice() {
    Fail(ExitOtherDevice,
         QStringLiteral("%1 does not answer as a ZELPHORIN 2.x.0 controller").arg(request_.Port));
}

void MqttBridge::SetConnectedState(bool connected) {
    reads_ = 0;
    if (!connected)
        SetOnline(false);
}

void MqttBridge::BlockRead(int bit) {
    reads_ |= bit;
    if (reads_ == ReadStatus && !finishing_)
        SetOnline(true);
    PublishState();
}

void MqttBridge::WriteFinished(uint32_t flag, bool ok) {
    Q_UNUSED(flag);
    if (!ok && !finishing_)
        PublishError(QStringLiteral("the controller did not acknowledge the last change"));
}

void MqttBridge::SetOnline(bool online) {
    if (online_ == online)
        return;
    online_ = online;
    LogMessage(QStringLiteral("MQTT: %1 is %2").arg(options_.Id, online ? "online" : "offline"));
    PublishAvailability();
    if (online) {
        PublishDiscovery();
        publishedState_.clear();
        PublishState();
    } else {
        stateDelay_->stop();
    }
}

void MqttBridge::OnBrokerConnected() {
    brokerUp_ = true;
    LogMessage(
        QStringLiteral("MQTT: connected to broker %1:%2").arg(options_.Host).arg(options_.Port));
    // A restarted broker may have lost every retained message: all of them again.
    PublishAvailability();
    PublishDiscovery();
    publishedState_.clear();
    PublishState();
}

void MqttBridge::PublishAvailability() {
    if (brokerUp_ && !finishing_)
        broker_->Publish(Topic(QStringLiteral("availability")), online_ ? "online" : "offline",
                         true);
}

void MqttBridge::PublishDiscovery() {
    if (!brokerUp_ || !online_ || !options_.Discovery)
        return;
    for (const MqttMessage& config : DiscoveryConfigs(options_, QStringLiteral("2.x.0")))
        broker_->Publish(config.Topic, config.Payload, true);
}

// At most one state a second, and only a changed one; a change within the second goes out
// when the second is over, as the state is then.
void MqttBridge::PublishState() {
    if (!brokerUp_ || !online_ || finishing_)
        return;
    const QByteArray state = StateJson();
    if (state == publishedState_) {
        stateDelay_->stop();
        return;
    }
    if (!publishedState_.isEmpty() && sinceState_.elapsed() < StateIntervalMs) {
        if (!stateDelay_->isActive())
            stateDelay_->start(int(StateIntervalMs - sinceState_.elapsed()));
        return;
    }
    if (broker_->Publish(Topic(QStringLiteral("state")), state, true)) {
        publishedState_ = state;
        sinceState_.start();
    }
}

// The status as info --json shows it, the temperatures always in °C.
QByteArray MqttBridge::StateJson() const {
    JsonWriter json;
    json.BeginObject();
    ModeJson(state_.Config.Mode, json);
    StatusJson(state_, json);
    return json.EndObject().Text().toUtf8();
}

void MqttBridge::PublishError(const QString& text) {
    LogMessage(QStringLiteral("MQTT: refused: ") + text);
    if (brokerUp_)
        broker_->Publish(Topic(QStringLiteral("error")), text.toUtf8(), false);
}

void MqttBridge::OnMessage(const QString& topic, const QByteArray& payload, bool retained) {
    if (finishing_)
        return;
    const QString command = topic.mid(options_.Root().size() + 1);
    QString refusal;
    if (retained)
        refusal = QStringLiteral("a retained command is not carried out; publish it without "
                                 "the retain flag");
    else if (payload.size() > MaxCommandPayload)
        refusal = QStringLiteral("the payload is longer than %1 bytes").arg(MaxCommandPayload);
    else
        refusal = RunCommand(command, QString::fromUtf8(payload).trimmed());
    if (refusal.isEmpty())
        LogMessage(QStringLiteral("MQTT: %1 %2").arg(command, QString::fromUtf8(payload)));
    else
        PublishError(command + QStringLiteral(": ") + refusal +
                     QStringLiteral("; nothing was sent"));
}

QString MqttBridge::RunCommand(const QString& command, const QString& value) {
    if (!online_)
        return QStringLiteral("the controller is not connected");
    const uint8_t mode = state_.Config.Mode;
    const QString modeName =
        mode < CliModeNames().size() ? CliModeNames()[mode] : QString::number(mode);
    if (command == QLatin1String("mode/set")) {
        const qsizetype chosen = CliModeNames().indexOf(value);
        if (chosen < ModeManual || chosen > ModeGeo)
            return QStringLiteral("the mode is manual, auto or geo, not \"%1\"").arg(Shown(value));
        SelectModeRequest(state_, uint8_t(chosen));
        return QString();
    }
    const QStringList parts = command.split(QLatin1Char('/'));
    if (parts.size() == 3 && parts[0] == QLatin1String("channel")) {
        int channel = 0;
        while (channel < ChannelCount && ChannelLetter(channel) != parts[1])
            ++channel;
        if (channel == ChannelCount)
            return QStringLiteral("there is no channel \"%1\": W, R, G or B").arg(Shown(parts[1]));
        if (mode != ModeManual)
            return QStringLiteral("channel levels are set in the mode manual only, not in %1")
                .arg(modeName);
        double percent = 0;
        if (!ParsePercent(value, percent))
            return QStringLiteral("a level is a percentage from 0 to 100, not \"%1\"")
                .arg(Shown(value));
        SetChannelLevel(state_, channel, LevelFromPercent(percent));
        return QString();
    }
    if (!value.isEmpty() && value != PressPayload)
        return QStringLiteral("the payload is empty or PRESS, not \"%1\"").arg(Shown(value));
    if (command == QLatin1String("clock/sync")) {
        SetClock(state_, QDateTime::currentDateTime());
        return QString();
    }
    if (mode != ModeAuto && mode != ModeGeo)
        return QStringLiteral("clouds and thunderstorms are triggered in the modes auto and geo "
                              "only, not in %1")
            .arg(modeName);
    state_.Raise(command == QLatin1String("cloud/trigger") ? rqToggleCloud : rqToggleStorm);
    return QString();
}

} // namespace zel
