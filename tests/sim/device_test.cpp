// The simulated controller's model, driven line by line on a clock of the test's own.

#include "sim/sim_defaults.h"
#include "sim/sim_device.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstring>

using namespace zel;

namespace {

const QDateTime JuneNoon(QDate(2026, 6, 15), QTime(12, 0), Qt::UTC);

SimOptions Options(int rows = 32) {
    SimOptions options;
    options.rows = rows;
    options.seed = 1;
    return options;
}

// A device with a clock of the test's own; Ask gives the reply as the wire would carry it.
struct Bench {
    explicit Bench(const SimOptions& options = Options(), const QDateTime& start = JuneNoon)
        : device(options, start, 0, [this](const QString& kind, const QString& text) {
              events << kind + QLatin1Char(' ') + text;
          }) {}

    QByteArray Ask(const QByteArray& line) {
        return FormatAnswer(device.Handle(line, now), false, false);
    }

    template <typename Block> Block Get(const QByteArray& code) {
        const QByteArray reply = Ask(code);
        Block block{};
        if (reply.size() == 2 * int(sizeof(Block) + 1) + 1)
            DecodeHex(reply, 2, int(sizeof(Block)), reinterpret_cast<uint8_t*>(&block));
        return block;
    }

    template <typename Block> QByteArray Set(const QByteArray& code, const Block& block) {
        return Ask(code + EncodeHex(reinterpret_cast<const uint8_t*>(&block), sizeof(Block)));
    }

    void Run(qint64 ms) {
        now += ms;
        device.Advance(now);
    }

    QStringList events;
    SimDevice device;
    qint64 now = 0;
};

ScheduleRowMessage Row(int index, int hour, int minute, int level, uint8_t switches = 0) {
    ScheduleRowMessage message{};
    message.Row = int8_t(index);
    message.Data.Hour = int8_t(hour);
    message.Data.Minute = int8_t(minute);
    for (int c = 0; c < ChannelCount; ++c)
        message.Data.Color16[c] = int16_t(level);
    message.Data.Switch = switches;
    return message;
}

InfoBlock KeepEverything() {
    InfoBlock info{};
    info.Minute = KeepMinute;
    info.CurrentRow = int8_t(KeepRow);
    for (int c = 0; c < ChannelCount; ++c)
        info.Channel[c] = int16_t(KeepChannel);
    return info;
}

} // namespace

class SimDeviceTest : public QObject {
    Q_OBJECT

private slots:
    void EveryGetAnswersItsBlock_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<int>("size");
        QTest::newRow("DeviceId") << QByteArray("80") << 2;
        QTest::newRow("Info") << QByteArray("81") << 34;
        QTest::newRow("Config") << QByteArray("82") << 23;
        QTest::newRow("schedule row") << QByteArray("83") << 16;
        QTest::newRow("Expert") << QByteArray("85") << 56;
        QTest::newRow("ExpertWeather") << QByteArray("86") << 29;
        QTest::newRow("Chart") << QByteArray("87") << 80;
        QTest::newRow("Health") << QByteArray("88") << 29;
    }
    void EveryGetAnswersItsBlock() {
        QFETCH(QByteArray, code);
        QFETCH(int, size);
        Bench bench;
        const QByteArray reply = bench.Ask(code);
        QCOMPARE(reply.size(), 2 * (size + 1) + 1);
        QVERIFY(reply.startsWith(code));
        QVERIFY(reply.endsWith('\n'));
        Request decoded = ParseRequest(reply.chopped(1));
        QVERIFY(decoded.error.isEmpty());
    }

    void IdentifiesAsTheApplicationOrAsToldTo() {
        QCOMPARE(Bench().Ask("80"), QByteArray("800700\n"));
        SimOptions other = Options();
        other.hardwareId = 9;
        other.firmwareVariant = 3;
        QCOMPARE(Bench(other).Ask("80"), QByteArray("800903\n"));
    }

    void InfoShowsTheClockRowsAndSensors() {
        SimOptions noWater = Options(12);
        noWater.waterSensor = false;
        Bench bench(noWater);
        const auto info = bench.Get<InfoBlock>("81");
        QCOMPARE(int(info.RowCount), 12);
        QCOMPARE(int(info.Hour), 12);
        QCOMPARE(int(info.Day), 15);
        QCOMPARE(int(info.Month), 6);
        QCOMPARE(int(info.Year), 26);
        QCOMPARE(int(info.TempWater), int(NoMeasurement));
        QVERIFY(info.TempBoard > 250 && info.TempBoard < 600);
        QVERIFY(info.Voltage > 2000 && info.Voltage < 3000);
        QVERIFY(Bench().Get<InfoBlock>("81").TempWater != NoMeasurement);
    }

    void ClockRunsScaledByTimeLapse() {
        Bench bench;
        bench.Run(61000);
        auto info = bench.Get<InfoBlock>("81");
        QCOMPARE(int(info.Minute), 1);
        QCOMPARE(int(info.Second), 1);
        ConfigBlock config = bench.Get<ConfigBlock>("82");
        config.TimeLapse = 60;
        QCOMPARE(bench.Set("02", config), QByteArray("K"));
        bench.Run(60000);
        info = bench.Get<InfoBlock>("81");
        QCOMPARE(int(info.Hour), 13);
        QCOMPARE(int(info.Minute), 1);
    }

    void SetInfoAppliesOnlyTheUnmarkedParts() {
        Bench bench;
        ConfigBlock manual = DefaultConfig();
        manual.Mode = ModeManual;
        bench.Set("02", manual);

        InfoBlock channels = KeepEverything();
        for (int c = 0; c < ChannelCount; ++c)
            channels.Channel[c] = int16_t(100 * (c + 1));
        QCOMPARE(bench.Set("01", channels), QByteArray("K"));
        auto info = bench.Get<InfoBlock>("81");
        QCOMPARE(int(info.Channel[0]), 100);
        QCOMPARE(int(info.Channel[3]), 400);
        QCOMPARE(int(info.Hour), 12);
        QCOMPARE(int(info.Minute), 0);
        QCOMPARE(int(info.CurrentRow), 0);

        InfoBlock time = KeepEverything();
        time.Year = 26;
        time.Month = 12;
        time.Day = 31;
        time.Hour = 23;
        time.Minute = 59;
        time.Second = 58;
        QCOMPARE(bench.Set("01", time), QByteArray("K"));
        info = bench.Get<InfoBlock>("81");
        QCOMPARE(int(info.Month), 12);
        QCOMPARE(int(info.Minute), 59);
        QCOMPARE(int(info.Channel[3]), 400);

        InfoBlock row = KeepEverything();
        row.CurrentRow = 7;
        bench.Set("01", row);
        info = bench.Get<InfoBlock>("81");
        QCOMPARE(int(info.CurrentRow), 7);
        QCOMPARE(int(info.Minute), 59);
        QCOMPARE(int(info.Channel[0]), 100);
    }

    void SetInfoRefusesImpossibleTimesRowsAndLevels() {
        Bench bench(Options(8));
        InfoBlock wrong = KeepEverything();
        wrong.Minute = 30;
        wrong.Hour = 10;
        wrong.Day = 31;
        wrong.Month = 2;
        wrong.CurrentRow = 8;
        wrong.Channel[0] = 9000;
        wrong.Channel[1] = -5;
        ConfigBlock manual = DefaultConfig();
        manual.Mode = ModeManual;
        bench.Set("02", manual);
        QCOMPARE(bench.Set("01", wrong), QByteArray("K"));
        const auto info = bench.Get<InfoBlock>("81");
        QCOMPARE(int(info.Hour), 12);
        QCOMPARE(int(info.CurrentRow), 0);
        QCOMPARE(int(info.Channel[0]), 4096);
        QCOMPARE(int(info.Channel[1]), 0);
    }

    void ScheduleRowsAnswerInTurn() {
        Bench bench(Options(3));
        QList<int> rows;
        for (int i = 0; i < 4; ++i)
            rows << bench.Get<ScheduleRowMessage>("83").Row;
        QCOMPARE(rows, (QList<int>{0, 1, 2, 0}));
    }

    void SetRowStoresTheRowItNames() {
        Bench bench(Options(3));
        QCOMPARE(bench.Set("03", Row(1, 5, 45, 1234)), QByteArray("K"));
        QCOMPARE(bench.Set("03", Row(3, 6, 0, 999)), QByteArray("K"));
        QCOMPARE(bench.Set("03", Row(-1, 6, 0, 999)), QByteArray("K"));
        const std::vector<ScheduleRow> schedule = bench.device.State().schedule;
        QCOMPARE(int(schedule.size()), 3);
        QCOMPARE(int(schedule[1].Hour), 5);
        QCOMPARE(int(schedule[1].Color16[2]), 1234);
        QCOMPARE(std::memcmp(&schedule[0], &DefaultSchedule(3)[0], sizeof(ScheduleRow)), 0);
        QCOMPARE(std::memcmp(&schedule[2], &DefaultSchedule(3)[2], sizeof(ScheduleRow)), 0);
        bench.Ask("83");
        const auto message = bench.Get<ScheduleRowMessage>("83");
        QCOMPARE(int(message.Row), 1);
        QCOMPARE(int(message.Data.Minute), 45);
    }

    void SetBlocksComeBackUnchanged() {
        Bench bench;
        ConfigBlock config{};
        std::memset(&config, 0x5A, sizeof config);
        config.Mode = ModeManual;
        ExpertBlock expert{};
        std::memset(&expert, 0xA5, sizeof expert);
        ExpertWeatherBlock weather{};
        std::memset(&weather, 0x3C, sizeof weather);
        QCOMPARE(bench.Set("02", config), QByteArray("K"));
        QCOMPARE(bench.Set("05", expert), QByteArray("K"));
        QCOMPARE(bench.Set("06", weather), QByteArray("K"));
        const auto gotConfig = bench.Get<ConfigBlock>("82");
        const auto gotExpert = bench.Get<ExpertBlock>("85");
        const auto gotWeather = bench.Get<ExpertWeatherBlock>("86");
        QCOMPARE(std::memcmp(&gotConfig, &config, sizeof config), 0);
        QCOMPARE(std::memcmp(&gotExpert, &expert, sizeof expert), 0);
        QCOMPARE(std::memcmp(&gotWeather, &weather, sizeof weather), 0);
    }

    void AutoModeInterpolatesBetweenRowsAcrossMidnight() {
        Bench bench(Options(2));
        bench.Set("03", Row(0, 12, 0, 0));
        bench.Set("03", Row(1, 13, 0, 4096));
        bench.Run(30 * 60000);
        QCOMPARE(int(bench.Get<InfoBlock>("81").Channel[0]), 2048);
        // 18:00 lies 5 of the 23 hours from 13:00 to tomorrow's 12:00.
        bench.Run(5 * 3600000 + 30 * 60000);
        QCOMPARE(int(bench.Get<InfoBlock>("81").Channel[2]), 3206);
    }

    void DefaultScheduleIsADay() {
        const std::vector<ScheduleRow> four = DefaultSchedule(4);
        QCOMPARE(int(four.size()), 4);
        QCOMPARE(int(four[0].Hour), 0);  // night
        QCOMPARE(int(four[1].Hour), 7);  // sunrise 07:30
        QCOMPARE(int(four[2].Hour), 13); // noon
        QCOMPARE(int(four[3].Hour), 19); // sunset 19:30
        QVERIFY(four[2].Color16[0] > four[1].Color16[0] &&
                four[1].Color16[0] >= four[0].Color16[0]);
        QVERIFY(four[2].Alt > 0 && four[0].Alt < 0);
        const std::vector<ScheduleRow> many = DefaultSchedule(MaxSimRows);
        QCOMPARE(int(many.size()), MaxSimRows);
        for (size_t i = 1; i < many.size(); ++i)
            QVERIFY(many[i - 1].Hour * 60 + many[i - 1].Minute <
                    many[i].Hour * 60 + many[i].Minute);
        QVERIFY(DefaultSchedule(0).empty());
        // The geo mode's reading: altitudes rise up to the noon row and fall after it.
        for (const int rows : {4, 9, 32, MaxSimRows}) {
            const std::vector<ScheduleRow> day = DefaultSchedule(rows);
            const auto noon = std::max_element(day.begin(), day.end(),
                                               [](auto& a, auto& b) { return a.Alt < b.Alt; });
            QCOMPARE(int(noon->Hour), 13);
            for (auto row = day.begin() + 1; row != day.end(); ++row)
                QVERIFY2(
                    row <= noon ? (row - 1)->Alt < row->Alt : (row - 1)->Alt > row->Alt,
                    qPrintable(QStringLiteral("%1 rows, row %2").arg(rows).arg(row - day.begin())));
        }
    }

    void NoRowsAnswerAnEmptyRowMessage() {
        Bench bench(Options(0));
        QCOMPARE(int(bench.Get<InfoBlock>("81").RowCount), 0);
        QCOMPARE(int(bench.Get<ScheduleRowMessage>("83").Row), -1);
        QCOMPARE(int(bench.Get<InfoBlock>("81").Channel[0]), 0);
    }

    void GeoModeFollowsTheSun() {
        Bench bench;
        ConfigBlock geo = DefaultConfig();
        geo.Mode = ModeGeo;
        bench.Set("02", geo);
        // 12:00 local in June at 50° N: the sun is high, the schedule near its noon levels.
        const auto day = bench.Get<InfoBlock>("81");
        bench.Run(14 * 3600000); // 02:00, the sun well below the horizon
        const auto night = bench.Get<InfoBlock>("81");
        QVERIFY(day.Channel[0] > 3000);
        QCOMPARE(int(night.Channel[0]), 0);
        QVERIFY(night.Channel[3] > 0);
    }

    void CloudAndStormToggleAndShowInActivity() {
        Bench bench;
        const auto clear = bench.Get<InfoBlock>("81");
        QCOMPARE(clear.Activity & (ActivityCloud | ActivityStorm), 0);
        QCOMPARE(bench.Ask("7F02"), QByteArray("K"));
        const auto cloudy = bench.Get<InfoBlock>("81");
        QCOMPARE(cloudy.Activity & ActivityCloud, int(ActivityCloud));
        // A cloud leaves 40 % of the light on the channels the weather reaches.
        QCOMPARE(int(cloudy.Channel[1]), int(clear.Channel[1] * 40 / 100));
        QCOMPARE(bench.Ask("7F03"), QByteArray("K"));
        QCOMPARE(bench.Get<InfoBlock>("81").Activity & ActivityStorm, int(ActivityStorm));
        bench.Ask("7F02");
        bench.Ask("7F03");
        QCOMPARE(bench.Get<InfoBlock>("81").Activity & (ActivityCloud | ActivityStorm), 0);
    }

    void RandomWeatherFollowsTheSeed() {
        const auto activity = [](uint32_t seed) {
            SimOptions options = Options();
            options.seed = seed;
            Bench bench(options);
            ConfigBlock stormy = DefaultConfig();
            stormy.CloudP = 2000; // a cloud every few seconds
            stormy.CloudD = 20000;
            bench.Set("02", stormy);
            QString seen;
            for (int second = 0; second < 120; ++second) {
                bench.Run(1000);
                seen += (bench.Get<InfoBlock>("81").Activity & ActivityCloud) ? 'O' : '.';
            }
            return seen;
        };
        const QString first = activity(7);
        QVERIFY(first.contains('O') && first.contains('.'));
        QCOMPARE(activity(7), first);
        QVERIFY(activity(8) != first);
    }

    void ChartRecordsItsSourceAtTheInterval() {
        Bench bench;
        ExpertBlock expert = DefaultExpert();
        expert.ChartInterval = 1;
        expert.ChartMode = 2; // input voltage
        bench.Set("05", expert);
        bench.Run(59900);
        QCOMPARE(int(bench.Get<ChartBlock>("87").Sample[0]), int(NoMeasurement));
        bench.Run(100);
        const int16_t first = bench.Get<InfoBlock>("81").Voltage;
        QCOMPARE(int(bench.Get<ChartBlock>("87").Sample[0]), int(first));
        bench.Run(60000);
        const auto chart = bench.Get<ChartBlock>("87");
        QCOMPARE(int(chart.Sample[1]), int(first));
        QVERIFY(chart.Sample[0] > 2000 && chart.Sample[0] < 3000);
        QCOMPARE(int(chart.Sample[2]), int(NoMeasurement));
    }

    void ChartStartsWithTheLastDayAndRestartsForANewSource() {
        // Noon lies on the 36-minute grid: the newest sample is noon's, the oldest 23:24 ago.
        Bench bench;
        const auto day = bench.Get<ChartBlock>("87");
        for (int i = 0; i < ChartSampleCount; ++i)
            QVERIFY(day.Sample[i] > 240 && day.Sample[i] < 260); // about 25 °C
        QVERIFY(day.Sample[0] != day.Sample[ChartSampleCount - 1]);
        bench.Run(36 * 60000 - 100);
        QCOMPARE(int(bench.Get<ChartBlock>("87").Sample[1]), int(day.Sample[1]));
        bench.Run(100);
        QCOMPARE(int(bench.Get<ChartBlock>("87").Sample[1]), int(day.Sample[0]));
        ExpertBlock expert = DefaultExpert();
        expert.ChartMode = 1;
        bench.Set("05", expert);
        QCOMPARE(int(bench.Get<ChartBlock>("87").Sample[0]), int(NoMeasurement));
    }

    void HealthCountsEveryQuarterMinute() {
        Bench bench;
        const auto total = [](const HealthBlock& health, int from, int to) {
            uint32_t sum = 0;
            for (int i = from; i <= to; ++i)
                sum += CounterValue(health.Counter[i]);
            return sum;
        };
        const auto before = bench.Get<HealthBlock>("88");
        QCOMPARE(int(before.PowerCycles), int(DefaultHealth().PowerCycles + 1));
        QVERIFY(total(before, 0, 4) > 65535); // the three-byte counters are in use
        bench.Run(60000);
        const auto after = bench.Get<HealthBlock>("88");
        QCOMPARE(total(after, 0, 4), total(before, 0, 4) + 4);
        QCOMPARE(total(after, 5, 8), total(before, 5, 8) + 4);
    }

    void SavedSettingsSurviveARestart() {
        QTemporaryDir folder;
        SimOptions options = Options(4);
        options.statePath = folder.filePath(QStringLiteral("state.json"));
        ConfigBlock config = DefaultConfig();
        config.Mode = ModeManual;
        config.FanLow = 42;
        HealthBlock health{};
        {
            Bench bench(options);
            bench.Set("02", config);
            bench.Set("03", Row(2, 4, 5, 777));
            InfoBlock levels = KeepEverything();
            levels.Channel[1] = 1000;
            levels.CurrentRow = 3;
            bench.Set("01", levels);
            QCOMPARE(bench.Ask("7F01"), QByteArray("K"));
            QCOMPARE(bench.Get<InfoBlock>("81").Busy & BusySaving, int(BusySaving));
            bench.Run(SimSavingMs);
            QCOMPARE(bench.Get<InfoBlock>("81").Busy & BusySaving, 0);
            health = bench.Get<HealthBlock>("88");
        }
        Bench restarted(options);
        QCOMPARE(restarted.Get<ConfigBlock>("82").FanLow, uint8_t(42));
        const auto info = restarted.Get<InfoBlock>("81");
        QCOMPARE(int(info.Channel[1]), 1000);
        QCOMPARE(int(info.CurrentRow), 3);
        QCOMPARE(int(restarted.device.State().schedule[2].Color16[0]), 777);
        QCOMPARE(int(restarted.Get<HealthBlock>("88").PowerCycles), int(health.PowerCycles + 1));
    }

    void UnreadableStateFallsBackToDefaults() {
        QTemporaryDir folder;
        SimOptions options = Options();
        options.statePath = folder.filePath(QStringLiteral("state.json"));
        QFile file(options.statePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"format\": 1, \"config\": \"12\", \"schedule\": [\"zz\"]}");
        file.close();
        Bench bench(options);
        const auto config = bench.Get<ConfigBlock>("82");
        QCOMPARE(config.FanLow, DefaultConfig().FanLow);
        QVERIFY(bench.events.last().contains(QLatin1String("unreadable")));
    }

    void MalformedLinesGetNoAnswer_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one digit") << QByteArray("8");
        QTest::newRow("odd digits") << QByteArray("810");
        QTest::newRow("not hex") << QByteArray("8G");
        QTest::newRow("unknown code") << QByteArray("84");
        QTest::newRow("Get with data") << QByteArray("8100");
        QTest::newRow("Set too short") << QByteArray("0200");
        QTest::newRow("unknown 7F sub-code") << QByteArray("7F04");
        QTest::newRow("bootloader code") << QByteArray("02") + QByteArray(132, '0');
        QTest::newRow("control bytes") << QByteArray("\x00\x81\xff", 3);
    }
    void MalformedLinesGetNoAnswer() {
        QFETCH(QByteArray, line);
        Bench bench;
        const SimAnswer answer = bench.device.Handle(line, 0);
        QCOMPARE(answer.kind, SimAnswer::Kind::None);
        QVERIFY(!answer.bad.isEmpty());
        QCOMPARE(bench.Ask("80"), QByteArray("800700\n"));
    }

    void StartBootloaderRestartsAfterADelay() {
        Bench bench;
        const SimAnswer answer = bench.device.Handle("7F00", 0);
        QCOMPARE(answer.kind, SimAnswer::Kind::None);
        QVERIFY(answer.bad.isEmpty());
        bench.now = SimRestartMs - 1;
        QCOMPARE(bench.device.Handle("80", bench.now).skip, QStringLiteral("restarting"));
        QCOMPARE(bench.device.NextEventMs(), SimRestartMs);
        bench.now = SimRestartMs;
        QCOMPARE(bench.Ask("80"), QByteArray("800600\n"));
        QCOMPARE(bench.Ask("82"), QByteArray()); // the application's commands are gone
    }

    void BootloaderReportsItsFlash() {
        SimOptions options = Options();
        options.boot = true;
        options.pageSize = 256;
        options.flashSize = 16384;
        Bench bench(options);
        QCOMPARE(bench.Ask("80"), QByteArray("800600\n"));
        QCOMPARE(bench.Ask("81"), QByteArray("81000100400000\n"));
    }

    void CompleteImageStartsTheApplicationWithDefaults() {
        QTemporaryDir folder;
        SimOptions options = Options();
        options.boot = true;
        options.flashOutPath = folder.filePath(QStringLiteral("flash.bin"));
        Bench bench(options);
        QByteArray image;
        for (int address = 0; address < 256; address += 64) {
            const QByteArray data(64, char(address / 64 + 1));
            image += data;
            QCOMPARE(bench.Ask("02" + Block(address, data)), QByteArray("K"));
        }
        QCOMPARE(bench.Ask("01" + QByteArray(12, '0')), QByteArray("K"));
        bench.Run(SimRestartMs);
        QCOMPARE(bench.Ask("80"), QByteArray("800700\n"));
        const SimState state = bench.device.State();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(state.flash.data()), 256), image);
        QCOMPARE(uint8_t(state.flash[256]), uint8_t(0xFF));
        QFile written(options.flashOutPath);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.size(), qint64(options.flashSize));
        QCOMPARE(written.read(256), image);
        QVERIFY(state.violations.isEmpty());
        QCOMPARE(state.config.Mode, DefaultConfig().Mode);
    }

    void IncompleteImageStaysInTheBootloader_data() {
        QTest::addColumn<QList<int>>("blocks");
        QTest::newRow("nothing written") << QList<int>{};
        QTest::newRow("gap") << QList<int>{0, 64, 192};
        QTest::newRow("not from address 0") << QList<int>{128, 192};
    }
    void IncompleteImageStaysInTheBootloader() {
        QFETCH(QList<int>, blocks);
        SimOptions options = Options();
        options.boot = true;
        Bench bench(options);
        for (const int address : blocks)
            QCOMPARE(bench.Ask("02" + Block(address, QByteArray(64, 'x'))), QByteArray("K"));
        QCOMPARE(bench.Ask("01" + QByteArray(12, '0')), QByteArray("K"));
        bench.Run(SimRestartMs);
        QCOMPARE(bench.Ask("80"), QByteArray("800600\n"));
    }

    void ForbiddenWritesAreViolationsAndNotStored() {
        SimOptions options = Options();
        options.boot = true;
        Bench bench(options);
        bench.Ask("02" + Block(0, QByteArray(64, 'a')));
        QCOMPARE(bench.Ask("02" + Block(0x7C00, QByteArray(64, 'b'))), QByteArray("K"));
        QCOMPARE(bench.Ask("02" + Block(0x0050, QByteArray(64, 'c'))), QByteArray("K"));
        QCOMPARE(bench.Ask("02" + Block(0x7BC0, QByteArray(64, 'd'))), QByteArray("K"));
        const SimState state = bench.device.State();
        QCOMPARE(
            state.violations,
            (QStringList{QStringLiteral("block at 0x7C00 reaches the bootloader area from 0x7C00"),
                         QStringLiteral("block at 0x0050 is off a 64-byte boundary")}));
        QVERIFY(bench.events.contains(QStringLiteral("VIOLATION ") + state.violations[0]));
        QCOMPARE(uint8_t(state.flash[0x7C00]), uint8_t(0xFF));
        QCOMPARE(uint8_t(state.flash[0x0050]), uint8_t(0xFF));
        QCOMPARE(uint8_t(state.flash[0x7BC0]), uint8_t('d'));
        // An image that broke a rule does not start.
        bench.Ask("01" + QByteArray(12, '0'));
        bench.Run(SimRestartMs);
        QCOMPARE(bench.Ask("80"), QByteArray("800600\n"));
    }

    void ChosenBlocksGoUnacknowledged() {
        SimOptions options = Options();
        options.boot = true;
        options.nackBlocks = {NackRule{0x40, 0, 0}, NackRule{0x80, 0, 2}, NackRule{-1, 6, 0}};
        Bench bench(options);
        const auto send = [&](int address) {
            return bench.device.Handle("02" + Block(address, QByteArray(64, 'z')), bench.now);
        };
        QCOMPARE(send(0x00).kind, SimAnswer::Kind::Ack); // line 1
        QVERIFY(!send(0x40).skip.isEmpty());             // line 2: every try
        QVERIFY(!send(0x40).skip.isEmpty());             // line 3
        QVERIFY(!send(0x80).skip.isEmpty());             // line 4: first try
        QVERIFY(!send(0x80).skip.isEmpty());             // line 5: second try
        QVERIFY(!send(0x80).skip.isEmpty());             // line 6: by line number
        QCOMPARE(send(0x80).kind, SimAnswer::Kind::Ack); // line 7
        QCOMPARE(uint8_t(bench.device.State().flash[0x40]), uint8_t(0xFF));
        // Block 0x40 never arrived: the image is not complete.
        bench.Ask("01" + QByteArray(12, '0'));
        bench.Run(SimRestartMs);
        QCOMPARE(bench.Ask("80"), QByteArray("800600\n"));
    }

private:
    static QByteArray Block(int address, const QByteArray& data) {
        const uint8_t head[2] = {uint8_t(address & 0xFF), uint8_t(address >> 8)};
        return EncodeHex(head, 2) +
               EncodeHex(reinterpret_cast<const uint8_t*>(data.constData()), int(data.size()));
    }
};

QTEST_GUILESS_MAIN(SimDeviceTest)
#include "device_test.moc"
