// SPDX-License-Identifier: GPL-3.0-or-later
#include "com/command_set.h"

#include <QTest>

#include <cstring>

using namespace zel;

class CommandSetTest : public QObject {
    Q_OBJECT

    DeviceState state;
    TransferBuffer buffer{};

    template <typename Block> void PutBlock(const Block& block) {
        std::memcpy(buffer.data() + PayloadOffset, &block, sizeof(Block));
    }

private slots:
    void init() {
        state.Replace(0);
        state.ResizeSchedule(0);
        state.ForgetReads();
        state.Info = InfoBlock{};
        buffer.fill(0);
    }

    void SetInfoMarksOnlyTheOutgoingBytes() {
        state.Info.Minute = 42;
        state.Info.CurrentRow = 3;
        state.Info.Channel[2] = 2048;
        state.Raise(rqSetChannels | rqSetTime);
        LoadInfo(state, buffer, rqSetChannels);
        MarkSetInfoParts(buffer, rqSetChannels);
        QCOMPARE(state.Snapshot(), uint32_t(rqSetTime)); // only the served flag is cleared
        const uint8_t* payload = buffer.data() + PayloadOffset;
        QCOMPARE(payload[7], KeepMinute);
        QCOMPARE(payload[4], KeepRow);
        QCOMPARE(payload[17 + 4], uint8_t(0x00));
        QCOMPARE(payload[17 + 5], uint8_t(0x08));
        QCOMPARE(state.Info.Minute, uint8_t(42)); // the record keeps its true values
        QCOMPARE(state.Info.CurrentRow, int8_t(3));

        LoadInfo(state, buffer, rqSetTime);
        MarkSetInfoParts(buffer, rqSetTime);
        QCOMPARE(payload[7], uint8_t(42));
        QCOMPARE(payload[4], KeepRow);
        for (int i = 17; i < 25; ++i)
            QCOMPARE(payload[i], uint8_t(0xFF));
        QCOMPARE(state.Snapshot(), 0u);
    }

    void AReadNeverOverwritesAPendingWrite() {
        InfoBlock incoming{};
        incoming.RowCount = 5;
        incoming.Channel[0] = 100;
        PutBlock(incoming);
        state.Info.Channel[0] = 4096;
        state.Raise(rqGetInfo | rqSetChannels);
        QVERIFY(!StoreInfo(state, buffer));
        QCOMPARE(int(state.Info.Channel[0]), 4096);
        QCOMPARE(state.Snapshot(),
                 uint32_t(rqSetChannels)); // the read flag is cleared all the same
        QVERIFY(state.Schedule.empty());

        ConfigBlock config{};
        config.Mode = ModeGeo;
        PutBlock(config);
        state.Raise(rqGetConfig | rqSetConfig);
        QVERIFY(!StoreConfig(state, buffer));
        QCOMPARE(state.Config.Mode, uint8_t(0));
        state.Clear(rqSetConfig);
        state.Raise(rqGetConfig);
        QVERIFY(StoreConfig(state, buffer));
        QCOMPARE(state.Config.Mode, uint8_t(ModeGeo));
        QCOMPARE(state.Snapshot(), uint32_t(rqSetChannels));
    }

    void StoringInfoResizesTheSchedule() {
        state.ResizeSchedule(8);
        state.Schedule[7].Hour = 22;
        state.MarkRow(7);
        state.Clear(rqSetSchedule);
        InfoBlock incoming{};
        incoming.RowCount = 10;
        PutBlock(incoming);
        QVERIFY(StoreInfo(state, buffer));
        QCOMPARE(state.Schedule.size(), size_t(10));
        QCOMPARE(state.PointCache.size(), size_t(10));
        QCOMPARE(state.Schedule[7].Hour, int8_t(22));
        QCOMPARE(state.RowDirty[7], uint8_t(1));
        QCOMPARE(state.RowDirty[9], uint8_t(0));
    }

    void DirtyRowsGoLowestFirstThenTheFlagClears() {
        InfoBlock incoming{};
        incoming.RowCount = 6;
        PutBlock(incoming);
        StoreInfo(state, buffer);
        state.RowRead.assign(6, 1);
        state.Schedule[4].Timer = 1234;
        state.MarkRow(4);
        state.MarkRow(1);
        state.MarkRow(4); // the same row twice is one upload
        QVERIFY(NextDirtyRow(state, buffer));
        QCOMPARE(buffer[PayloadOffset], uint8_t(1));
        QVERIFY(NextDirtyRow(state, buffer));
        QCOMPARE(buffer[PayloadOffset], uint8_t(4));
        ScheduleRow sent{};
        std::memcpy(&sent, buffer.data() + PayloadOffset + 1, sizeof sent);
        QCOMPARE(int(sent.Timer), 1234);
        QVERIFY(state.Test(rqSetSchedule));
        QVERIFY(!NextDirtyRow(state, buffer));
        QVERIFY(!state.Test(rqSetSchedule));
    }

    // A block or row the controller never sent holds start values beside the change: it is not
    // sent, and its flag is cleared so that the read can follow.
    void WritesOfUnreadBlocksAndRowsAreDropped() {
        state.Raise(rqSetConfig | rqSetExpert | rqSetExpertWeather);
        QVERIFY(!LoadConfig(state, buffer));
        QVERIFY(!LoadExpert(state, buffer));
        QVERIFY(!LoadExpertWeather(state, buffer));
        QCOMPARE(state.Snapshot(), 0u);
        state.Raise(rqGetConfig);
        QVERIFY(StoreConfig(state, buffer));
        state.Raise(rqSetConfig);
        QVERIFY(LoadConfig(state, buffer));

        InfoBlock info{};
        info.RowCount = 3;
        PutBlock(info);
        QVERIFY(StoreInfo(state, buffer));
        ScheduleRowMessage message{};
        message.Row = 1;
        PutBlock(message);
        QVERIFY(StoreRow(state, buffer));
        QCOMPARE(state.RowsRead(), 1);
        state.MarkAllRows();
        int dropped = 0;
        QVERIFY(NextDirtyRow(state, buffer, &dropped));
        QCOMPARE(buffer[PayloadOffset], uint8_t(1));
        QCOMPARE(dropped, 1);
        QVERIFY(!NextDirtyRow(state, buffer, &dropped));
        QCOMPARE(dropped, 2);
        QCOMPARE(state.RowDirty, std::vector<uint8_t>(3, 0));

        // Rows the controller grows are zeros, not its rows.
        state.BlocksRead |= rqGetSchedule;
        info.RowCount = 4;
        PutBlock(info);
        QVERIFY(StoreInfo(state, buffer));
        QVERIFY(!state.IsRead(rqGetSchedule));
    }

    void RowsOutsideTheScheduleAreDropped() {
        state.ResizeSchedule(4);
        ScheduleRowMessage message{};
        message.Data.Hour = 9;
        for (int row : {200, 4, -1}) {
            message.Row = int8_t(row);
            PutBlock(message);
            QVERIFY(!StoreRow(state, buffer));
        }
        message.Row = 3;
        PutBlock(message);
        QVERIFY(StoreRow(state, buffer));
        QCOMPARE(state.Schedule[3].Hour, int8_t(9));
        for (int row = 0; row < 3; ++row)
            QCOMPARE(state.Schedule[size_t(row)].Hour, int8_t(0));
    }

    void ChartAndHealthAlwaysStore() {
        ChartBlock chart{};
        chart.Sample[39] = -12;
        PutBlock(chart);
        state.Raise(rqGetChart | rqGetHealth);
        StoreChart(state, buffer);
        QCOMPARE(int(state.Chart.Sample[39]), -12);
        QCOMPARE(state.Snapshot(), uint32_t(rqGetHealth));
    }

    void OtherProductsByNumber() {
        QCOMPARE(OtherHardwareName(9), QStringLiteral("MIRVANEL 1.x"));
        QCOMPARE(OtherHardwareName(0), QStringLiteral("KESTRAMON 1.x"));
        QCOMPARE(OtherHardwareName(4), QStringLiteral("KESTRAMON 2.x"));
        QCOMPARE(OtherHardwareName(12), QStringLiteral("12"));
    }
};

QTEST_GUILESS_MAIN(CommandSetTest)
#include "command_set_test.moc"
