#include "sim/sim_device.h"

#include "sim/sim_defaults.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zel {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr qint64 StepMs = 100;              // the weather is decided every tenth of a second
constexpr qint64 StepsPerHealthCount = 150; // one health count is 15 s
constexpr qint64 StepsPerMinute = 600;
constexpr qint64 MaxCatchUpSteps = 864000; // one day; a longer gap skips the weather
constexpr qint64 MsPerDay = 86400000;
constexpr int FullLevel = 4096;
constexpr uint32_t CloudScaleMask = (1u << 19) - 1;
constexpr uint32_t StormScaleMask = (1u << 23) - 1;
constexpr uint32_t MaxHealthCount = 0xFFFFFF;
constexpr int FlashBlockSize = 64;
constexpr int BootloaderSize = 1024;
constexpr int StateFormat = 1;

#pragma pack(push, 1)
struct BootInfo {
    uint16_t PageSize;
    uint32_t FlashSize;
};
#pragma pack(pop)
static_assert(sizeof(BootInfo) == 6);

// The payload length each code takes (0 for a Get), or -1 for a code the stage does not know.
int RequestSize(SimStage stage, uint8_t code) {
    if (stage == SimStage::Bootloader) {
        switch (code) {
        case 0x80:
        case 0x81:
            return 0;
        case 0x01:
            return 6;
        case 0x02:
            return 2 + FlashBlockSize;
        default:
            return -1;
        }
    }
    switch (code) {
    case 0x80:
    case 0x81:
    case 0x82:
    case 0x83:
    case 0x85:
    case 0x86:
    case 0x87:
    case 0x88:
        return 0;
    case 0x01:
        return int(sizeof(InfoBlock));
    case 0x02:
        return int(sizeof(ConfigBlock));
    case 0x03:
        return int(sizeof(ScheduleRowMessage));
    case 0x05:
        return int(sizeof(ExpertBlock));
    case 0x06:
        return int(sizeof(ExpertWeatherBlock));
    case 0x7F:
        return 1;
    default:
        return -1;
    }
}

QString CodeText(uint8_t code) {
    return QString::fromLatin1(EncodeHex(&code, 1));
}

QString AddressText(qint64 address) {
    return QStringLiteral("0x") +
           QString::number(address, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

template <typename Block> SimAnswer Reply(uint8_t code, const Block& block) {
    return BlockAnswer(code, &block, int(sizeof(Block)));
}

template <typename Block> void CopyInto(Block& block, const std::vector<uint8_t>& payload) {
    std::memcpy(&block, payload.data(), sizeof(Block));
}

double MinuteOfDay(qint64 clockMs) {
    return double(((clockMs % MsPerDay) + MsPerDay) % MsPerDay) / 60000.0;
}

double LoadOf(const Levels& levels) {
    double sum = 0;
    for (const int level : levels)
        sum += level;
    return sum / (ChannelCount * FullLevel);
}

// A small, steady wobble so that readings look measured without any randomness.
double Wobble(qint64 clockMs, double periodMinutes, double amplitude) {
    return amplitude * std::sin(2 * Pi * MinuteOfDay(clockMs) / periodMinutes);
}

int16_t Rounded(double value) {
    return int16_t(std::lround(value));
}

template <typename Block> QString BlockHex(const Block& block) {
    return QString::fromLatin1(EncodeHex(reinterpret_cast<const uint8_t*>(&block), sizeof(Block)));
}

template <typename Block> bool BlockFromHex(const QJsonValue& value, Block& block) {
    const QByteArray text = value.toString().toLatin1();
    Block read{};
    if (text.size() != 2 * int(sizeof(Block)) ||
        !DecodeHex(text, 0, int(sizeof(Block)), reinterpret_cast<uint8_t*>(&read)))
        return false;
    block = read;
    return true;
}

} // namespace

SimDevice::SimDevice(const SimOptions& options, const QDateTime& clockStart, qint64 nowMs,
                     EventSink events)
    : options_(options), events_(std::move(events)),
      weatherRandom_(options.seed ? *options.seed : std::random_device{}()),
      stage_(options.boot ? SimStage::Bootloader : SimStage::Application), lastMs_(nowMs),
      clockMs_(clockStart.toMSecsSinceEpoch()), flash_(options.flashSize, 0xFF) {
    options_.rows = std::clamp(options_.rows, 0, MaxSimRows);
    health_ = DefaultHealth();
    ResetSettings();
    RecordPastDay();
    LoadState();
    health_.PowerCycles = uint16_t(std::min(health_.PowerCycles + 1, 0xFFFF));
    RefreshInfo(nowMs);
}

void SimDevice::Note(const QString& text) {
    if (events_)
        events_(QStringLiteral("NOTE"), text);
}

void SimDevice::ResetSettings() {
    config_ = DefaultConfig();
    expert_ = DefaultExpert();
    expertWeather_ = DefaultExpertWeather();
    schedule_ = DefaultSchedule(options_.rows);
    ClearChart();
    manual_ = {};
    currentRow_ = 0;
    nextRow_ = 0;
    cloud_ = storm_ = false;
}

void SimDevice::ClearChart() {
    for (int i = 0; i < ChartSampleCount; ++i) // packed: no references into the block
        chart_.Sample[i] = NoMeasurement;
    chartSteps_ = 0;
}

// A controller that has been running for a while: its chart holds the samples of the slots
// before its clock, and the next one is taken at the next slot.
void SimDevice::RecordPastDay() {
    if (expert_.ChartInterval == 0)
        return;
    const qint64 intervalMs = expert_.ChartInterval * 60000LL;
    const qint64 lastSlotMs = clockMs_ - ((clockMs_ % intervalMs) + intervalMs) % intervalMs;
    for (int i = 0; i < ChartSampleCount; ++i)
        chart_.Sample[i] = ChartSampleAt(lastSlotMs - i * intervalMs);
    chartSteps_ = (clockMs_ - lastSlotMs) / StepMs;
}

SimAnswer SimDevice::Handle(const QByteArray& line, qint64 nowMs) {
    Advance(nowMs);
    if (stage_ == SimStage::Restarting)
        return SkipAnswer(QStringLiteral("restarting"));
    const Request request = ParseRequest(line);
    if (!request.error.isEmpty())
        return BadAnswer(request.error);
    const int expected = RequestSize(stage_, request.code);
    const QString where = stage_ == SimStage::Bootloader ? QStringLiteral("the bootloader")
                                                         : QStringLiteral("the application");
    if (expected < 0)
        return BadAnswer(
            QStringLiteral("code %1 is unknown to %2").arg(CodeText(request.code), where));
    if (int(request.payload.size()) != expected)
        return BadAnswer(QStringLiteral("code %1 takes %2 bytes in %3, not %4")
                             .arg(CodeText(request.code))
                             .arg(expected)
                             .arg(where)
                             .arg(request.payload.size()));
    return stage_ == SimStage::Bootloader ? HandleBootloader(request, nowMs)
                                          : HandleApplication(request, nowMs);
}

SimAnswer SimDevice::HandleApplication(const Request& request, qint64 nowMs) {
    std::vector<uint8_t> payload = request.payload;
    for (const MisstoreRule& rule : options_.misstore)
        if (rule.code == request.code) {
            payload[size_t(rule.offset)] = uint8_t(payload[size_t(rule.offset)] + 1);
            Note(QStringLiteral("code %1 byte %2 stored as %3")
                     .arg(CodeText(request.code))
                     .arg(rule.offset)
                     .arg(payload[size_t(rule.offset)]));
        }
    SimAnswer answer = AckAnswer();
    switch (request.code) {
    case 0x80:
        return Reply(request.code, DeviceId{options_.hardwareId, options_.firmwareVariant});
    case 0x81:
        return Reply(request.code, info_);
    case 0x82:
        return Reply(request.code, config_);
    case 0x83: {
        // Each request answers the next row; with no rows there is nothing to name.
        ScheduleRowMessage message{-1, {}};
        if (!schedule_.empty()) {
            message = {int8_t(nextRow_), schedule_[size_t(nextRow_)]};
            nextRow_ = (nextRow_ + 1) % int(schedule_.size());
        }
        return Reply(request.code, message);
    }
    case 0x85:
        return Reply(request.code, expert_);
    case 0x86:
        return Reply(request.code, expertWeather_);
    case 0x87:
        return Reply(request.code, chart_);
    case 0x88:
        return Reply(request.code, health_);
    case 0x01:
        answer = SetInfo(payload);
        break;
    case 0x02: {
        ConfigBlock config{};
        CopyInto(config, payload);
        if (config.Mode == ModeManual && config_.Mode != ModeManual)
            for (int c = 0; c < ChannelCount; ++c)
                manual_[size_t(c)] = info_.Channel[c];
        config_ = config;
        break;
    }
    case 0x03:
        answer = SetRow(payload);
        break;
    case 0x05: {
        const uint8_t mode = expert_.ChartMode;
        const uint16_t interval = expert_.ChartInterval;
        CopyInto(expert_, payload);
        // Samples of another source or interval would be read as the new ones.
        if (expert_.ChartMode != mode || expert_.ChartInterval != interval)
            ClearChart();
        break;
    }
    case 0x06:
        CopyInto(expertWeather_, payload);
        break;
    case 0x7F:
        answer = Command7F(payload[0], nowMs);
        break;
    }
    if (stage_ == SimStage::Application)
        RefreshInfo(nowMs);
    return answer;
}

SimAnswer SimDevice::SetInfo(const std::vector<uint8_t>& payload) {
    InfoBlock set{};
    CopyInto(set, payload);
    if (set.Minute != KeepMinute) {
        const QDate date(2000 + set.Year, set.Month, set.Day);
        const QTime time(set.Hour, set.Minute, set.Second, 10 * set.Centisecond);
        if (date.isValid() && time.isValid() && set.Centisecond < 100)
            clockMs_ = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
        else
            Note(QStringLiteral("time %1-%2-%3 %4:%5:%6.%7 is no time; clock kept")
                     .arg(2000 + set.Year)
                     .arg(set.Month)
                     .arg(set.Day)
                     .arg(set.Hour)
                     .arg(set.Minute)
                     .arg(set.Second)
                     .arg(set.Centisecond));
    }
    for (int c = 0; c < ChannelCount; ++c)
        if (uint16_t(set.Channel[c]) != KeepChannel)
            manual_[size_t(c)] = std::clamp<int>(set.Channel[c], 0, FullLevel);
    if (uint8_t(set.CurrentRow) != KeepRow) {
        if (set.CurrentRow >= 0 && set.CurrentRow < options_.rows)
            currentRow_ = set.CurrentRow;
        else
            Note(QStringLiteral("row %1 does not exist; marked row kept").arg(set.CurrentRow));
    }
    return AckAnswer();
}

SimAnswer SimDevice::SetRow(const std::vector<uint8_t>& payload) {
    ScheduleRowMessage message{};
    CopyInto(message, payload);
    if (message.Row >= 0 && message.Row < int(schedule_.size()))
        schedule_[size_t(message.Row)] = message.Data;
    else
        Note(QStringLiteral("row %1 does not exist; not stored").arg(message.Row));
    return AckAnswer();
}

SimAnswer SimDevice::Command7F(uint8_t subCode, qint64 nowMs) {
    switch (subCode) {
    case 0x00:
        // The host reads no reply: the controller simply goes away and restarts.
        BeginRestart(SimStage::Bootloader, nowMs);
        return {};
    case 0x01:
        SaveState();
        savingUntilMs_ = nowMs + SimSavingMs;
        return AckAnswer();
    case 0x02:
        cloud_ = !cloud_;
        return AckAnswer();
    case 0x03:
        storm_ = !storm_;
        return AckAnswer();
    default:
        return BadAnswer(QStringLiteral("sub-code %1 of 7F is unknown").arg(CodeText(subCode)));
    }
}

SimAnswer SimDevice::HandleBootloader(const Request& request, qint64 nowMs) {
    switch (request.code) {
    case 0x80:
        return Reply(request.code, DeviceId{6, 0});
    case 0x81:
        return Reply(request.code, BootInfo{options_.pageSize, options_.flashSize});
    case 0x02:
        return StoreBlock(request.payload);
    default: // 0x01, the restart
        WriteFlashOut();
        BeginRestart(ImageComplete() ? SimStage::Application : SimStage::Bootloader, nowMs);
        return AckAnswer();
    }
}

bool SimDevice::LeaveUnacknowledged(int address) {
    const int tries = ++triesAt_[address];
    for (const NackRule& rule : options_.nackBlocks) {
        if (rule.address < 0 ? rule.blockLine == blockLines_
                             : rule.address == address && (rule.tries == 0 || tries <= rule.tries))
            return true;
    }
    return false;
}

SimAnswer SimDevice::StoreBlock(const std::vector<uint8_t>& payload) {
    const int address = payload[0] | (payload[1] << 8);
    ++blockLines_;
    if (LeaveUnacknowledged(address)) {
        missing_.insert(address);
        return SkipAnswer(QStringLiteral("--nack-blocks: block at %1").arg(AddressText(address)));
    }
    const qint64 usable = qint64(options_.flashSize) - BootloaderSize;
    QString violation;
    if (address % FlashBlockSize != 0)
        violation =
            QStringLiteral("block at %1 is off a 64-byte boundary").arg(AddressText(address));
    else if (address + FlashBlockSize > usable)
        violation = QStringLiteral("block at %1 reaches the bootloader area from %2")
                        .arg(AddressText(address), AddressText(usable));
    if (!violation.isEmpty()) {
        // A bootloader protects itself: the block is acknowledged but never written.
        violations_ << violation;
        refused_ = true;
        if (events_)
            events_(QStringLiteral("VIOLATION"), violation);
        return AckAnswer();
    }
    std::copy(payload.begin() + 2, payload.end(), flash_.begin() + address);
    stored_.insert(address);
    missing_.erase(address);
    return AckAnswer();
}

bool SimDevice::ImageComplete() const {
    if (stored_.empty() || refused_ || !missing_.empty())
        return false;
    // Only aligned blocks are ever stored, so a gapless run from 0 has this many.
    return int(stored_.size()) == *stored_.rbegin() / FlashBlockSize + 1;
}

void SimDevice::BeginRestart(SimStage target, qint64 nowMs) {
    if (stage_ == SimStage::Bootloader && target == SimStage::Application)
        settingsResetOnStart_ = true;
    Note(target == SimStage::Application ? QStringLiteral("restarting into the application")
                                         : QStringLiteral("restarting into the bootloader"));
    stage_ = SimStage::Restarting;
    restartTarget_ = target;
    restartAtMs_ = nowMs + SimRestartMs;
}

void SimDevice::FinishRestart() {
    stage_ = restartTarget_;
    restartAtMs_ = -1;
    if (stage_ == SimStage::Bootloader) {
        stored_.clear();
        missing_.clear();
        refused_ = false;
        Note(QStringLiteral("bootloader started"));
        return;
    }
    if (settingsResetOnStart_) {
        // A new firmware starts from its default settings.
        ResetSettings();
        settingsResetOnStart_ = false;
        Note(QStringLiteral("application started with default settings"));
    } else {
        Note(QStringLiteral("application started"));
    }
}

qint64 SimDevice::NextEventMs() const {
    return restartAtMs_;
}

void SimDevice::Advance(qint64 nowMs) {
    nowMs = std::max(nowMs, lastMs_);
    if (stage_ == SimStage::Restarting && nowMs >= restartAtMs_)
        FinishRestart();
    const qint64 elapsed = (nowMs - lastMs_) * std::max<int>(config_.TimeLapse, 1);
    lastMs_ = nowMs;
    clockMs_ += elapsed;
    if (stage_ != SimStage::Application)
        return;
    runMs_ += elapsed;
    const qint64 due = runMs_ / StepMs;
    steps_ = std::max(steps_, due - MaxCatchUpSteps);
    while (steps_ < due) {
        ++steps_;
        Step(clockMs_ - (due - steps_) * StepMs);
    }
    RefreshInfo(nowMs);
}

void SimDevice::Step(qint64 clockMs) {
    // Both draws are taken every step, so the weather depends on the seed and time only.
    const uint32_t cloudDraw = weatherRandom_() & CloudScaleMask;
    const uint32_t stormDraw = weatherRandom_() & StormScaleMask;
    if (cloud_)
        cloud_ = cloudDraw >= config_.CloudD;
    else
        cloud_ = cloudDraw < config_.CloudP && WeatherAllowed(SwitchClouds, clockMs);
    if (storm_)
        storm_ = stormDraw >= config_.StormD;
    else
        storm_ = stormDraw < config_.StormP && WeatherAllowed(SwitchStorms, clockMs);

    if (steps_ % StepsPerHealthCount == 0)
        CountHealth(clockMs);
    if (expert_.ChartInterval > 0 && ++chartSteps_ >= expert_.ChartInterval * StepsPerMinute) {
        chartSteps_ = 0;
        RecordChartSample(clockMs);
    }
}

bool SimDevice::WeatherAllowed(uint8_t switchBit, qint64 clockMs) const {
    if (config_.Mode != ModeAuto && config_.Mode != ModeGeo)
        return false;
    const int row = ScheduleAt(clockMs).activeRow;
    return row >= 0 && (schedule_[size_t(row)].Switch & switchBit) != 0;
}

ScheduleLevels SimDevice::ScheduleAt(qint64 clockMs) const {
    if (config_.Mode == ModeGeo) {
        const SunNow sun = SunAt(clockMs, expert_.Bias, config_.Lat, config_.Lon);
        return LevelsAtAltitude(schedule_, sun.altitude, sun.rising);
    }
    return LevelsAtMinute(schedule_, MinuteOfDay(clockMs));
}

Levels SimDevice::LevelsAt(qint64 clockMs) const {
    Levels levels{};
    switch (config_.Mode) {
    case ModeAuto:
    case ModeGeo: {
        levels = ScheduleAt(clockMs).levels;
        const int alpha = storm_   ? expertWeather_.StormAlpha
                          : cloud_ ? expertWeather_.CloudAlpha
                                   : 100;
        for (int c = 0; c < ChannelCount; ++c)
            if (expertWeather_.WeatherDelay[c] != 255)
                levels[size_t(c)] = levels[size_t(c)] * std::min(alpha, 100) / 100;
        break;
    }
    case ModeRGBDemo: {
        // Red, green and blue chase each other round a twelve-second colour wheel.
        const double phase = double(clockMs % 12000) / 12000;
        for (int c = 1; c < ChannelCount; ++c)
            levels[size_t(c)] =
                int(std::lround((1 + std::sin(2 * Pi * (phase + (c - 1) / 3.0))) / 2 * FullLevel));
        break;
    }
    case ModeFlash:
        levels.fill((clockMs / 500) % 2 == 0 ? FullLevel : 0);
        break;
    default: // Manual, and modes this firmware does not know
        levels = manual_;
        break;
    }
    return levels;
}

int16_t SimDevice::WaterTemperature(qint64 clockMs) const {
    if (!options_.waterSensor)
        return NoMeasurement;
    // 25 °C, warmest in the afternoon.
    return Rounded(250 + 6 * std::sin(2 * Pi * (MinuteOfDay(clockMs) - 540) / 1440) +
                   expert_.TempOffset);
}

int16_t SimDevice::BoardTemperature(const Levels& levels, qint64 clockMs) const {
    return Rounded(300 + 180 * LoadOf(levels) + Wobble(clockMs, 17, 3));
}

int16_t SimDevice::InputVoltage(const Levels& levels, qint64 clockMs) const {
    return Rounded(2760 - 40 * LoadOf(levels) + Wobble(clockMs, 7, 2));
}

void SimDevice::CountHealth(qint64 clockMs) {
    const Levels levels = LevelsAt(clockMs);
    const int board = BoardTemperature(levels, clockMs);
    const int voltage = InputVoltage(levels, clockMs);
    const int temperatureCounter = board > 600   ? 0
                                   : board > 550 ? 1
                                   : board > 500 ? 2
                                   : board > 450 ? 3
                                                 : 4;
    const int voltageCounter = voltage > 3050 ? 5 : voltage > 2900 ? 6 : voltage > 2600 ? 7 : 8;
    for (const int index : {temperatureCounter, voltageCounter}) {
        HealthCounter& counter = health_.Counter[index];
        const uint32_t value = std::min(CounterValue(counter) + 1, MaxHealthCount);
        counter = {uint16_t(value & 0xFFFF), uint8_t(value >> 16)};
    }
}

int16_t SimDevice::ChartSampleAt(qint64 clockMs) const {
    switch (expert_.ChartMode) {
    case 0:
        return WaterTemperature(clockMs);
    case 1:
        return BoardTemperature(LevelsAt(clockMs), clockMs);
    case 2:
        return InputVoltage(LevelsAt(clockMs), clockMs);
    default: // no slave sensor on this controller
        return NoMeasurement;
    }
}

void SimDevice::RecordChartSample(qint64 clockMs) {
    for (int i = ChartSampleCount - 1; i > 0; --i)
        chart_.Sample[i] = chart_.Sample[i - 1];
    chart_.Sample[0] = ChartSampleAt(clockMs);
}

void SimDevice::RefreshInfo(qint64 nowMs) {
    const Levels levels = LevelsAt(clockMs_);
    const int16_t water = WaterTemperature(clockMs_);
    const int16_t board = BoardTemperature(levels, clockMs_);
    const int16_t voltage = InputVoltage(levels, clockMs_);

    // The JMP pin's thermostat modes switch with hysteresis on the water temperature.
    const bool measured = water != NoMeasurement;
    if (expert_.JMPMode == 3 && measured)
        cooler_ = water > expert_.TempCoolHigh || (cooler_ && water >= expert_.TempCoolLow);
    else
        cooler_ = false;
    if (expert_.JMPMode == 4 && measured)
        heater_ = water < expert_.TempHeatLow || (heater_ && water <= expert_.TempHeatHigh);
    else
        heater_ = false;
    bool timer = false;
    if (expert_.JMPMode == 6 && (config_.Mode == ModeAuto || config_.Mode == ModeGeo)) {
        // The scheduled output stays on for the active row's Timer hundredths of a second.
        const int row = ScheduleAt(clockMs_).activeRow;
        if (row >= 0) {
            const ScheduleRow& active = schedule_[size_t(row)];
            const double since =
                std::fmod(MinuteOfDay(clockMs_) - (active.Hour * 60 + active.Minute) + 1440, 1440);
            timer = since * 6000 < active.Timer;
        }
    }

    info_.RowCount = uint8_t(options_.rows);
    info_.Activity = uint8_t((cloud_ ? ActivityCloud : 0) | (storm_ ? ActivityStorm : 0) |
                             (cooler_ ? ActivityCooler : 0) | (heater_ ? ActivityHeater : 0) |
                             (timer ? ActivityTimer : 0));
    info_.Errors = uint8_t((board > 700 ? 0x01 : 0) | (voltage < 2000 ? 0x02 : 0));
    info_.Busy = nowMs < savingUntilMs_ ? BusySaving : 0;
    info_.CurrentRow = currentRow_;
    const QDateTime clock = QDateTime::fromMSecsSinceEpoch(clockMs_, Qt::UTC);
    info_.Centisecond = uint8_t(clock.time().msec() / 10);
    info_.Second = uint8_t(clock.time().second());
    info_.Minute = uint8_t(clock.time().minute());
    info_.Hour = uint8_t(clock.time().hour());
    info_.Day = uint8_t(clock.date().day());
    info_.Month = uint8_t(clock.date().month());
    info_.Year = int8_t(clock.date().year() - 2000);
    info_.TimeExtra = 0;
    for (int c = 0; c < ChannelCount; ++c)
        info_.Channel[c] = int16_t(levels[size_t(c)]);
    info_.TempWater = water;
    info_.TempBoard = board;
    info_.Voltage = voltage;
}

void SimDevice::SaveState() {
    if (options_.statePath.isEmpty()) {
        Note(QStringLiteral("settings not saved: no --state file"));
        return;
    }
    QJsonObject state;
    state[QStringLiteral("format")] = StateFormat;
    state[QStringLiteral("config")] = BlockHex(config_);
    state[QStringLiteral("expert")] = BlockHex(expert_);
    state[QStringLiteral("expertWeather")] = BlockHex(expertWeather_);
    state[QStringLiteral("chart")] = BlockHex(chart_);
    state[QStringLiteral("health")] = BlockHex(health_);
    state[QStringLiteral("currentRow")] = currentRow_;
    QJsonArray manual;
    for (const int level : manual_)
        manual.append(level);
    state[QStringLiteral("manual")] = manual;
    QJsonArray rows;
    for (const ScheduleRow& row : schedule_)
        rows.append(BlockHex(row));
    state[QStringLiteral("schedule")] = rows;

    QSaveFile file(options_.statePath);
    if (file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(state).toJson()) >= 0 &&
        file.commit())
        Note(QStringLiteral("settings saved to %1").arg(options_.statePath));
    else
        Note(QStringLiteral("settings not saved to %1: %2")
                 .arg(options_.statePath, file.errorString()));
}

void SimDevice::LoadState() {
    if (options_.statePath.isEmpty() || !QFile::exists(options_.statePath))
        return;
    QFile file(options_.statePath);
    // A saved state is never larger than a few kilobytes; anything far bigger is not ours.
    constexpr qint64 MaxStateSize = 1 << 20;
    const QJsonDocument document = file.open(QIODevice::ReadOnly) && file.size() < MaxStateSize
                                       ? QJsonDocument::fromJson(file.readAll())
                                       : QJsonDocument();
    const QJsonObject state = document.object();
    if (state.value(QStringLiteral("format")).toInt() != StateFormat) {
        Note(QStringLiteral("%1 holds no saved settings; defaults used").arg(options_.statePath));
        return;
    }
    QStringList unreadable;
    const auto load = [&](const char* key, auto& block) {
        if (!BlockFromHex(state.value(QLatin1String(key)), block))
            unreadable << QLatin1String(key);
    };
    load("config", config_);
    load("expert", expert_);
    load("expertWeather", expertWeather_);
    load("chart", chart_);
    load("health", health_);
    const int row = state.value(QStringLiteral("currentRow")).toInt(-1);
    if (row >= 0 && row < options_.rows)
        currentRow_ = int8_t(row);
    const QJsonArray manual = state.value(QStringLiteral("manual")).toArray();
    for (int c = 0; c < ChannelCount && c < manual.size(); ++c)
        manual_[size_t(c)] = std::clamp(manual[c].toInt(), 0, FullLevel);
    // Rows the file does not hold (it was saved with fewer rows) start empty.
    const QJsonArray rows = state.value(QStringLiteral("schedule")).toArray();
    for (int i = 0; i < options_.rows; ++i) {
        ScheduleRow loaded{};
        if (i < rows.size() && !BlockFromHex(rows[i], loaded))
            unreadable << QStringLiteral("schedule row %1").arg(i);
        schedule_[size_t(i)] = loaded;
    }
    Note(unreadable.isEmpty()
             ? QStringLiteral("settings loaded from %1").arg(options_.statePath)
             : QStringLiteral("settings loaded from %1; unreadable, left at defaults: %2")
                   .arg(options_.statePath, unreadable.join(QLatin1String(", "))));
}

void SimDevice::WriteFlashOut() {
    if (options_.flashOutPath.isEmpty())
        return;
    QSaveFile file(options_.flashOutPath);
    if (!(file.open(QIODevice::WriteOnly) &&
          file.write(reinterpret_cast<const char*>(flash_.data()), qint64(flash_.size())) ==
              qint64(flash_.size()) &&
          file.commit()))
        Note(QStringLiteral("flash image not written to %1: %2")
                 .arg(options_.flashOutPath, file.errorString()));
}

SimState SimDevice::State() const {
    SimState state;
    state.stage = stage_;
    state.info = info_;
    state.config = config_;
    state.schedule = schedule_;
    state.expert = expert_;
    state.expertWeather = expertWeather_;
    state.chart = chart_;
    state.health = health_;
    state.flash = flash_;
    state.violations = violations_;
    return state;
}

} // namespace zel
