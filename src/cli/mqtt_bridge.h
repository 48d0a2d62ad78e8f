// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "cli/cli_arguments.h"
#include "cli/mqtt_client.h"
#include "cli/mqtt_options.h"
#include "com/link_host.h"
#include "com/link_thread.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTextStream>
#include <QTimer>

#include <memory>

namespace zel {

// `zelphorin-cli mqtt`: one controller on an MQTT broker. It hosts the link like the window
// does and keeps it running (a controller that comes back is read again), publishes the
// controller's availability and state and carries out the commands it receives by raising the
// same requests the window's own controls raise.
class MqttBridge : public QObject, public LinkHost {
    Q_OBJECT
public:
    MqttBridge(const CliRequest& request, MqttOptions options, QTextStream& err);
    ~MqttBridge() override;

    void Start();
    // SIGINT or SIGTERM: publishes offline, stops the link, ends with exit code 0.
    void Interrupt();

    DeviceState& State() override { return state_; }
    void LogMessage(const QString& text) override;
    void SetStatusText(const QString& text) override;
    void SetTaskbarProgress(qint64, qint64) override {}
    void SetConnectedState(bool connected) override;
    void RefreshStatus() override { BlockRead(ReadInfo); }
    void RefreshControls() override { BlockRead(ReadConfig); }
    void RefreshExpertPage() override {}
    void RefreshWeatherPages() override {}
    void FillScheduleGrid() override {}
    void RefreshChart() override {}
    void RefreshHealth() override {}
    // The bridge never asks for a firmware update.
    QString ChooseFirmwareFile() override { return QString(); }
    void BeforeFirmwareTransfer(const QString&) override {}
    void WriteFinished(uint32_t flag, bool ok) override;

signals:
    void done(int exitCode);

private:
    enum ReadBit { ReadInfo = 1, ReadConfig = 2, ReadStatus = 3 };
    void StartLink();
    void OnLinkEnded();
    void BlockRead(int bit);
    void SetOnline(bool online);
    void OnBrokerConnected();
    void OnMessage(const QString& topic, const QByteArray& payload, bool retained);
    // Carries out one command; the reason when it is refused (then nothing was changed).
    QString RunCommand(const QString& command, const QString& value);
    void PublishAvailability();
    void PublishDiscovery();
    void PublishState();
    void PublishError(const QString& text);
    QString Topic(const QString& suffix) const;
    QByteArray StateJson() const;
    void EndWhenStopped();
    void Fail(int exitCode, const QString& message);
    void RefuseOtherDevice();

    CliRequest request_;
    MqttOptions options_;
    QTextStream& err_;
    DeviceState state_;
    std::unique_ptr<HostGate> gate_;
    LinkThreadPtr link_;
    std::unique_ptr<MqttClient> broker_;
    bool brokerUp_ = false;
    int reads_ = 0; // ReadBits since the controller was identified
    bool online_ = false;
    QByteArray publishedState_;
    QElapsedTimer sinceState_;
    QTimer* stateDelay_ = nullptr;
    QTimer* linkRestart_ = nullptr;
    bool finishing_ = false;
    int exitCode_ = ExitOk;
    int offlineId_ = -1; // the message id of the last words, while they are on their way
    QTimer* lastWordsTimeout_ = nullptr;
};

} // namespace zel
