// SPDX-License-Identifier: GPL-3.0-or-later
#include "cfg/device_state.h"

#include <QTest>

#include <cstring>
#include <thread>
#include <vector>

using namespace zel;

class DeviceStateTest : public QObject {
    Q_OBJECT
private slots:
    void StartValues() {
        DeviceState state;
        QCOMPARE(int(state.Config.Lat), 501);
        QCOMPARE(int(state.Config.Lon), 85);
        for (int i = 0; i < ChartSampleCount; ++i)
            QCOMPARE(int(state.Chart.Sample[i]), int(NoMeasurement));
        QCOMPARE(state.Info.RowCount, uint8_t(0));
        QCOMPARE(state.Snapshot(), 0u);
        QVERIFY(state.Schedule.empty());
    }

    void RaiseTestClearAndReplace() {
        DeviceState state;
        std::vector<uint32_t> heard;
        state.SetRaiseListener([&](uint32_t flags) { heard.push_back(flags); });
        state.Raise(rqPeriodicPoll);
        state.Raise(rqSetConfig);
        QCOMPARE(state.Snapshot(), 0x31u);
        QVERIFY(state.Test(rqGetConfig));
        QVERIFY(!state.Test(rqGetConfig, rqSetConfig));
        QVERIFY(state.Test(rqGetInfo, rqSetInfoAny));
        state.Clear(rqSetConfig);
        QVERIFY(state.Test(rqGetConfig, rqSetConfig));
        state.Replace(rqSetConfig); // RGB demo drops every pending request
        QCOMPARE(state.Snapshot(), uint32_t(rqSetConfig));
        state.Replace(rqReadEverything);
        QCOMPARE(state.Snapshot(), 0x01551u);
        QVERIFY(state.ScheduleDownloadPending());
        state.ResizeSchedule(4);
        state.MarkRow(2);
        state.SetRaiseListener({});
        state.Raise(rqSetExpert);
        // Every raise is heard (marking a row raises the schedule write), none once let go.
        const std::vector<uint32_t> expected{rqPeriodicPoll, rqSetConfig, rqSetConfig,
                                             rqReadEverything, rqSetSchedule};
        QCOMPARE(heard, expected);
    }

    void ResizeKeepsRowsAndMarks() {
        DeviceState state;
        state.ResizeSchedule(8);
        for (int row = 0; row < 8; ++row)
            state.Schedule[size_t(row)].Hour = int8_t(row + 1);
        state.MarkRow(3);
        state.MarkRow(8); // beyond the schedule: ignored
        state.Clear(rqSetSchedule);
        state.ResizeSchedule(10);
        QCOMPARE(state.Schedule.size(), size_t(10));
        QCOMPARE(state.RowDirty.size(), size_t(10));
        QCOMPARE(state.PointCache.size(), size_t(10));
        QCOMPARE(state.Schedule[7].Hour, int8_t(8));
        QCOMPARE(state.RowDirty[3], uint8_t(1));
        QCOMPARE(state.Schedule[9].Hour, int8_t(0));
        QCOMPARE(state.RowDirty[9], uint8_t(0));
        QCOMPARE(state.PointCache[9][0], 0.0f);
        state.ResizeSchedule(2);
        QCOMPARE(state.Schedule.size(), size_t(2));
        QCOMPARE(state.RowDirty.size(), size_t(2));
    }

    void MarkAllRowsRaisesTheGivenFlags() {
        DeviceState state;
        state.ResizeSchedule(4);
        state.MarkAllRows(rqColumnEdit);
        QCOMPARE(state.Snapshot(), uint32_t(rqColumnEdit));
        for (uint8_t dirty : state.RowDirty)
            QCOMPARE(dirty, uint8_t(1));
    }

    void MarkRowsMarksOnlyRowsOfTheSchedule() {
        DeviceState state;
        state.ResizeSchedule(4);
        state.MarkRows(-1, 3, rqSetConfig);
        QCOMPARE(state.RowDirty, (std::vector<uint8_t>{1, 1, 0, 0}));
        QCOMPARE(state.Snapshot(), uint32_t(rqColumnEdit));
        state.MarkRows(3, 5);
        QCOMPARE(state.RowDirty, (std::vector<uint8_t>{1, 1, 0, 1}));
    }

    // The lock must be free after every operation, also when several threads hammer it.
    void ConcurrentRaisesAreNeverLost() {
        DeviceState state;
        std::thread other([&] {
            for (int i = 0; i < 20000; ++i)
                state.Raise(rqGetHealth);
        });
        for (int i = 0; i < 20000; ++i) {
            state.Raise(rqGetInfo);
            state.Clear(rqGetInfo);
        }
        other.join();
        QVERIFY(state.Test(rqGetHealth));
        QVERIFY(state.RequestLock.try_lock());
        state.RequestLock.unlock();
    }

    void ReservedBytesSurviveACopy() {
        InfoBlock info{};
        uint8_t raw[sizeof(InfoBlock)];
        for (size_t i = 0; i < sizeof raw; ++i)
            raw[i] = uint8_t(i * 7 + 1);
        std::memcpy(&info, raw, sizeof raw);
        QCOMPARE(int(info.Channel[0]), int(int16_t(raw[17] | raw[18] << 8)));
        QCOMPARE(int(info.Voltage), int(int16_t(raw[32] | raw[33] << 8)));
        uint8_t back[sizeof(InfoBlock)];
        std::memcpy(back, &info, sizeof back);
        QVERIFY(std::memcmp(raw, back, sizeof raw) == 0);
        HealthBlock health{};
        health.Counter[2] = {0x1234, 0x05};
        QCOMPARE(CounterValue(health.Counter[2]), 0x051234u);
    }
};

QTEST_GUILESS_MAIN(DeviceStateTest)
#include "device_state_test.moc"
