// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/json_writer.h"
#include "cli/read_back.h"
#include "cli/settings_command.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <stdexcept>

using namespace zel;

namespace {

// A state as after a download: three rows, distinct values.
void Downloaded(DeviceState& state) {
    state.Info.RowCount = 3;
    state.ResizeSchedule(3);
    state.Config.FanHigh = 90;
    state.Config.Lat = -501;
    state.Expert.Bias = -60;
    state.ExpertWeather.CloudAlpha = 40;
    state.Schedule[2].Color16[1] = 2048;
}

QString RunCommand(DeviceState& state, const QString& command, const QStringList& arguments,
                   bool json = false) {
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    ParseRecordCommand(command, arguments, json, errStream)->Run(state, outStream);
    outStream.flush();
    return out;
}

// The message of the refusal, or an empty text when the command was taken.
QString Refusal(const QString& command, const QStringList& arguments) {
    QString err;
    QTextStream errStream(&err);
    try {
        ParseRecordCommand(command, arguments, false, errStream);
    } catch (const std::invalid_argument& error) {
        return QString::fromUtf8(error.what());
    }
    return QString();
}

} // namespace

class SettingsCommandTest : public QObject {
    Q_OBJECT

private slots:
    void JsonIsParsedBackWithItsOrderAndEscapes() {
        JsonWriter json;
        json.BeginObject()
            .Key(u"b")
            .Number(int64_t(-3))
            .Key(u"a \"quoted\"\\\n")
            .String(u"25.0 °C\t\x01")
            .Key(u"list")
            .BeginArray()
            .Number(12.50, 2)
            .Number(0.004, 2)
            .Number(std::nan(""), 2)
            .Bool(true)
            .BeginObject()
            .EndObject()
            .EndArray()
            .EndObject();
        QCOMPARE(json.Text().left(9), QStringLiteral("{\"b\":-3,\""));
        QJsonParseError error{};
        const QJsonObject object = QJsonDocument::fromJson(json.Text().toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(object[QStringLiteral("a \"quoted\"\\\n")].toString(),
                 QStringLiteral("25.0 °C\t\x01"));
        const QJsonArray list = object[QStringLiteral("list")].toArray();
        QCOMPARE(list.size(), 5);
        QCOMPARE(list[0].toDouble(), 12.5);
        QVERIFY(json.Text().contains(QLatin1String("[12.5,0,null,true,{}]")));
    }

    void GetPrintsTheNamedSettingsInTheGivenOrder() {
        DeviceState state;
        Downloaded(state);
        QCOMPARE(RunCommand(state, QStringLiteral("get"),
                            {QStringLiteral("timezone.bias"), QStringLiteral("2.color161"),
                             QStringLiteral("Config.Lat"), QStringLiteral("TimeZone.Bias")}),
                 QStringLiteral("TimeZone.Bias=-60\n2.Color161=2048\nConfig.Lat=-501\n"));
        QCOMPARE(
            RunCommand(state, QStringLiteral("get"),
                       {QStringLiteral("2.Color161"), QStringLiteral("Config.Lat"),
                        QStringLiteral("2.Hour")},
                       true),
            QStringLiteral("{\"2\":{\"Color161\":2048,\"Hour\":0},\"Config\":{\"Lat\":-501}}\n"));
        // A row the controller does not have is refused before anything is printed.
        QString out;
        QTextStream outStream(&out);
        QTextStream errStream(&out);
        auto command = ParseRecordCommand(QStringLiteral("get"),
                                          {QStringLiteral("Config.Lat"), QStringLiteral("3.Hour")},
                                          false, errStream);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, command->Run(state, outStream));
        outStream.flush();
        QCOMPARE(out, QString());
    }

    void SetRaisesTheWriteOfEachTouchedBlockOnce() {
        DeviceState state;
        Downloaded(state);
        RunCommand(state, QStringLiteral("set"),
                   {QStringLiteral("Config.FanHigh=10"), QStringLiteral("Config.Lat=501"),
                    QStringLiteral("Weather.MoonColor163=4096")});
        QCOMPARE(state.Snapshot(), uint32_t(rqSetConfig | rqSetExpertWeather));
        QCOMPARE(state.Config.FanHigh, uint8_t(10));
        QCOMPARE(int(state.Config.Lat), 501);
        QCOMPARE(int(state.ExpertWeather.MoonColor16[3]), 4096);
    }

    void AKeyGivenTwiceIsSaidOnceAndTheLastCounts() {
        DeviceState state;
        Downloaded(state);
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        ParseRecordCommand(QStringLiteral("set"),
                           {QStringLiteral("Config.FanHigh=10"), QStringLiteral("Config.FanLow=1"),
                            QStringLiteral("config.fanhigh=20")},
                           false, errStream)
            ->Run(state, outStream);
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        QVERIFY(err.contains(QLatin1String("Config.FanHigh is given twice")));
        QCOMPARE(state.Config.FanHigh, uint8_t(20));
    }

    void UnknownNamesSuggestCloseOnes_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("no section") << "get" << QStringList{"FanHigh"}
                                    << "unknown setting \"FanHigh\"; did you mean Config.FanHigh?";
        QTest::newRow("typo") << "set" << QStringList{"Config.FanHihg=1"}
                              << "unknown setting \"Config.FanHihg\"; did you mean "
                                 "Config.FanHigh?";
        QTest::newRow("row field") << "get" << QStringList{"4.Colour161"}
                                   << "unknown setting \"4.Colour161\"; did you mean 4.Color161, "
                                      "4.Color160, 4.Color162?";
        QTest::newRow("nothing close")
            << "get" << QStringList{"Qwertz.Uiop"} << "unknown setting \"Qwertz.Uiop\"";
        QTest::newRow("very long")
            << "get" << QStringList{QString(10000, QLatin1Char('x'))}
            << "unknown setting \"" + QString(40, QLatin1Char('x')) + "...\"";
        QTest::newRow("row key in set") << "set" << QStringList{"2.hour=5"}
                                        << "\"2.hour\" is a key of a schedule row: change it with "
                                           "\"schedule set 2 Hour=VALUE\"";
    }
    void UnknownNamesSuggestCloseOnes() {
        QFETCH(QString, command);
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QCOMPARE(Refusal(command, arguments), message);
    }

    void ScheduleSetChangesOnlyARowThatExists() {
        DeviceState state;
        Downloaded(state);
        RunCommand(state, QStringLiteral("schedule"),
                   {QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("Timer=2"),
                    QStringLiteral("Switch=$E0")});
        QCOMPARE(int(state.Schedule[1].Timer), 2);
        QCOMPARE(state.Schedule[1].Switch, uint8_t(0xE0));
        QCOMPARE(state.RowDirty, (std::vector<uint8_t>{0, 1, 0}));
        QCOMPARE(state.Snapshot(), uint32_t(rqSetSchedule));

        DeviceState other;
        Downloaded(other);
        QString out;
        QTextStream stream(&out);
        auto missing = ParseRecordCommand(
            QStringLiteral("schedule"),
            {QStringLiteral("set"), QStringLiteral("3"), QStringLiteral("Hour=1")}, false, stream);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, missing->Run(other, stream));
        QCOMPARE(other.Snapshot(), uint32_t(0));
        QCOMPARE(other.RowDirty, (std::vector<uint8_t>{0, 0, 0}));
        QVERIFY(Refusal(QStringLiteral("schedule"), {QStringLiteral("set"), QStringLiteral("1")})
                    .contains(QLatin1String("FIELD=VALUE")));
        QVERIFY(Refusal(QStringLiteral("schedule"), {QStringLiteral("show")})
                    .contains(QLatin1String("set N FIELD=VALUE")));
    }

    void ReadBackNamesEveryFieldThatDiffers() {
        DeviceState state;
        Downloaded(state);
        RunCommand(state, QStringLiteral("set"),
                   {QStringLiteral("Config.FanHigh=80"), QStringLiteral("Config.Lat=-2")});
        state.MarkRow(0);
        ReadBack readBack;
        readBack.Expect(state);
        QVERIFY(!readBack.Empty());
        state.Clear(rqSetConfig | rqSetSchedule);
        state.RowDirty = {0, 0, 0};

        readBack.RequestReads(state);
        QCOMPARE(state.Snapshot(), uint32_t(rqGetConfig | rqGetSchedule));
        // The controller stored the fan level differently, and sent no row 0 back.
        state.Config.FanHigh = 81;
        QVERIFY(!readBack.Read(FieldBlock::Expert, state));
        QVERIFY(!readBack.Read(FieldBlock::Config, state));
        QVERIFY(readBack.Read(FieldBlock::Row, state));
        QCOMPARE(readBack.Mismatches(),
                 (QStringList{"Config.FanHigh: sent 80, read back 81", "row 0: not read back"}));
        QVERIFY(readBack.RowsMissing());
    }

    void ReadBackOfWhatCameBackUnchangedPasses() {
        DeviceState state;
        Downloaded(state);
        RunCommand(state, QStringLiteral("schedule"),
                   {QStringLiteral("set"), QStringLiteral("2"), QStringLiteral("Hour=7")});
        ReadBack readBack;
        readBack.Expect(state);
        const ScheduleRow sent = state.Schedule[2];
        readBack.RequestReads(state);
        QVERIFY(std::memcmp(&state.Schedule[2], &sent, sizeof sent) != 0);
        state.Schedule[2] = sent; // the download stored the row as sent
        QVERIFY(readBack.Read(FieldBlock::Row, state));
        QCOMPARE(readBack.Mismatches(), QStringList());

        DeviceState idle;
        ReadBack nothing;
        nothing.Expect(idle);
        QVERIFY(nothing.Empty());
    }
};

QTEST_GUILESS_MAIN(SettingsCommandTest)
#include "settings_command_test.moc"
