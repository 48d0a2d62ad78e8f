#pragma once

// The simulated controller itself, free of any I/O but its state and flash files: one request
// line in, one answer out. Time is passed in by the caller (milliseconds of a monotonic
// clock), so the model runs the same whether a thread serves a pseudo-terminal or a test
// drives it step by step.

#include "cfg/records.h"
#include "sim/sim_options.h"
#include "sim/sim_schedule.h"
#include "sim/sim_wire.h"

#include <QDateTime>
#include <QStringList>

#include <functional>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace zel {

// A restarting controller hears nothing for this long (the host waits 500 ms).
constexpr qint64 SimRestartMs = 200;
// How long Info.Busy shows "saving" after "7F01".
constexpr qint64 SimSavingMs = 300;

enum class SimStage { Application, Bootloader, Restarting };

// Everything a test may want to look at, copied in one step.
struct SimState {
    SimStage stage = SimStage::Application;
    InfoBlock info{};
    ConfigBlock config{};
    std::vector<ScheduleRow> schedule;
    ExpertBlock expert{};
    ExpertWeatherBlock expertWeather{};
    ChartBlock chart{};
    HealthBlock health{};
    std::vector<uint8_t> flash;
    QStringList violations;
};

class SimDevice {
public:
    // kind is "NOTE" or "VIOLATION"; text one line.
    using EventSink = std::function<void(const QString& kind, const QString& text)>;

    // clockStart: the controller's clock at nowMs, local time written as if it were UTC.
    SimDevice(const SimOptions& options, const QDateTime& clockStart, qint64 nowMs,
              EventSink events = {});

    // Runs the controller up to nowMs, then answers one request line (without terminator).
    SimAnswer Handle(const QByteArray& line, qint64 nowMs);
    // Runs the controller up to nowMs: clock, weather, chart, health, a pending restart.
    void Advance(qint64 nowMs);
    // When something will happen without a request (a restart ending), or -1.
    qint64 NextEventMs() const;

    SimState State() const;
    SimStage Stage() const { return stage_; }
    // Writes the flash image to --flash-out, when given.
    void WriteFlashOut();

private:
    SimAnswer HandleApplication(const Request& request, qint64 nowMs);
    SimAnswer HandleBootloader(const Request& request, qint64 nowMs);
    SimAnswer SetInfo(const std::vector<uint8_t>& payload);
    SimAnswer SetRow(const std::vector<uint8_t>& payload);
    SimAnswer Command7F(uint8_t subCode, qint64 nowMs);
    SimAnswer StoreBlock(const std::vector<uint8_t>& payload);
    bool LeaveUnacknowledged(int address);
    bool ImageComplete() const;
    void BeginRestart(SimStage target, qint64 nowMs);
    void FinishRestart();

    void ResetSettings();
    void Step(qint64 clockMs);
    bool WeatherAllowed(uint8_t switchBit, qint64 clockMs) const;
    ScheduleLevels ScheduleAt(qint64 clockMs) const;
    Levels LevelsAt(qint64 clockMs) const;
    int16_t WaterTemperature(qint64 clockMs) const;
    int16_t BoardTemperature(const Levels& levels, qint64 clockMs) const;
    int16_t InputVoltage(const Levels& levels, qint64 clockMs) const;
    void CountHealth(qint64 clockMs);
    int16_t ChartSampleAt(qint64 clockMs) const;
    void RecordChartSample(qint64 clockMs);
    void ClearChart();
    void RecordPastDay();
    void RefreshInfo(qint64 nowMs);

    void SaveState();
    void LoadState();

    void Note(const QString& text);

    SimOptions options_;
    EventSink events_;
    std::mt19937 weatherRandom_;

    SimStage stage_ = SimStage::Application;
    SimStage restartTarget_ = SimStage::Application;
    bool settingsResetOnStart_ = false;
    qint64 restartAtMs_ = -1;
    qint64 savingUntilMs_ = -1;
    qint64 lastMs_ = 0;

    // The controller's clock and its running time (both scaled by TimeLapse).
    qint64 clockMs_ = 0;
    qint64 runMs_ = 0;
    qint64 steps_ = 0; // tenths of a second of running time already simulated
    qint64 chartSteps_ = 0;

    InfoBlock info_{};
    ConfigBlock config_{};
    std::vector<ScheduleRow> schedule_;
    ExpertBlock expert_{};
    ExpertWeatherBlock expertWeather_{};
    ChartBlock chart_{};
    HealthBlock health_{};
    Levels manual_{};
    int8_t currentRow_ = 0;
    int nextRow_ = 0; // the row the next "83" answers
    bool cloud_ = false;
    bool storm_ = false;
    bool cooler_ = false;
    bool heater_ = false;

    std::vector<uint8_t> flash_;
    std::set<int> stored_;  // block addresses stored since the bootloader started
    std::set<int> missing_; // blocks left unacknowledged and not stored since
    bool refused_ = false;  // a block broke a rule since the bootloader started
    std::map<int, int> triesAt_;
    int blockLines_ = 0;
    QStringList violations_;
};

} // namespace zel
