// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "com/link_host.h"

#include <QMap>
#include <QObject>
#include <QStringList>

#include <functional>

namespace zel::test {

// A link host that records what the link tells it; everything runs on the test's thread.
class RecordingHost : public QObject, public LinkHost {
public:
    DeviceState state;
    HostGate gate{this};
    QStringList log;    // every log line, status texts included, in order
    QStringList status; // status texts only
    QList<bool> connected;
    QMap<QString, int> refreshes;
    QList<std::pair<uint32_t, bool>> writes;
    QList<bool> firmwareUpdates; // how each ended
    std::function<QString()> chooseFirmware = [] { return QString(); };
    QStringList backups;

    DeviceState& State() override { return state; }
    void LogMessage(const QString& text) override { log << text; }
    void SetStatusText(const QString& text) override {
        status << text;
        log << text;
    }
    void SetTaskbarProgress(qint64, qint64) override {}
    void SetConnectedState(bool value) override { connected << value; }
    void RefreshStatus() override { ++refreshes[QStringLiteral("Status")]; }
    void RefreshControls() override { ++refreshes[QStringLiteral("Controls")]; }
    void RefreshExpertPage() override { ++refreshes[QStringLiteral("Expert")]; }
    void RefreshWeatherPages() override { ++refreshes[QStringLiteral("Weather")]; }
    void FillScheduleGrid() override { ++refreshes[QStringLiteral("Schedule")]; }
    void RefreshChart() override { ++refreshes[QStringLiteral("Chart")]; }
    void RefreshHealth() override { ++refreshes[QStringLiteral("Health")]; }
    QString ChooseFirmwareFile() override { return chooseFirmware(); }
    void BeforeFirmwareTransfer(const QString& portName) override { backups << portName; }
    void WriteFinished(uint32_t flag, bool ok) override { writes.append({flag, ok}); }
    void FirmwareUpdateFinished(bool ok) override { firmwareUpdates << ok; }

    bool Connected() const { return !connected.isEmpty() && connected.last(); }
};

} // namespace zel::test
