// The chart and health drawings: ranges and grid steps, the time grid, the curve across gaps,
// the sensor message, the table of samples, and the health bars.

#include "main/views/chart_view.h"
#include "main/views/health_view.h"
#include "support/window_settings.h"

#include <QGuiApplication>
#include <QtTest>

using namespace zel;

namespace {
constexpr int Width = 640;  // plot x 40..600: 560 pixels for 39 intervals
constexpr int Height = 240; // plot y 20..219

ChartData Samples(std::initializer_list<std::pair<int, int>> values, uint16_t interval = 15) {
    ChartData data;
    for (int i = 0; i < ChartSampleCount; ++i)
        data.Chart.Sample[i] = NoMeasurement;
    for (const auto& [index, value] : values)
        data.Chart.Sample[index] = int16_t(value);
    data.Interval = interval;
    // 8 December 2026, 12:00, on the 4-hour grid.
    data.End = DayNumber(QDateTime(QDate(2026, 12, 8), QTime(12, 0)));
    return data;
}

QImage Drawn(const ChartData& data) {
    QImage image(Width, Height, QImage::Format_ARGB32_Premultiplied);
    DrawChart(image, QFont(), data);
    return image;
}

HealthBlock Health(uint16_t cycles, std::array<uint32_t, 9> counters) {
    HealthBlock health{};
    health.PowerCycles = cycles;
    for (int i = 0; i < 9; ++i) {
        health.Counter[i].Low = uint16_t(counters[size_t(i)] & 0xFFFF);
        health.Counter[i].High = uint8_t(counters[size_t(i)] >> 16);
    }
    return health;
}

QImage DrawnHealth(const HealthBlock& health, QPalette palette = QPalette()) {
    palette.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    palette.setColor(QPalette::WindowText, Qt::black);
    QImage image(985, 153, QImage::Format_ARGB32_Premultiplied);
    DrawHealth(image, QFont(), palette, health);
    return image;
}

bool RowIs(const QImage& image, int y, QRgb colour, int from = 0, int to = -1) {
    for (int x = from; x < (to < 0 ? image.width() : to); ++x)
        if (image.pixel(x, y) != colour)
            return false;
    return true;
}

bool Bluish(QRgb pixel) {
    return qBlue(pixel) > 0xC0 && qRed(pixel) < 0xC0;
}
} // namespace

class ChartViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void RangesOfTheWorkedCases() {
        // 25.0 to 26.0 °C: minor lines every 0.2 °C, labelled every degree.
        std::optional<ChartRange> range = ChartScale(Samples({{0, 250}, {7, 260}}).Chart);
        QVERIFY(range);
        QCOMPARE(range->Lo, 230);
        QCOMPARE(range->Hi, 280);
        QCOMPARE(range->Step, 2);
        // 24.00 to 24.50 V: every line labelled.
        range = ChartScale(Samples({{0, 2400}, {39, 2450}}).Chart);
        QCOMPARE(range->Lo, 2270);
        QCOMPARE(range->Hi, 2580);
        QCOMPARE(range->Step, 10);
        // A single sample: min = max, still a range.
        range = ChartScale(Samples({{0, 250}}).Chart);
        QVERIFY(range->Lo < 250 && range->Hi > 250);
        QVERIFY(!ChartScale(Samples({}).Chart));
    }

    void FrozenSamplesKeepLowBelowHigh() {
        for (int value : {-300, -100, -32768, 0, -5, 32766}) {
            const std::optional<ChartRange> range = ChartScale(Samples({{0, value}}).Chart);
            QVERIFY2(range->Lo < value && value < range->Hi, qPrintable(QString::number(value)));
        }
        const std::optional<ChartRange> range = ChartScale(Samples({{0, -300}, {3, -250}}).Chart);
        QCOMPARE(range->Lo, -320);
        QCOMPARE(range->Hi, -230);
        // Gaps count for nothing.
        const std::optional<ChartRange> gaps = ChartScale(Samples({{5, 250}, {6, 260}}).Chart);
        QCOMPARE(gaps->Lo, 230);
        QCOMPARE(gaps->Hi, 280);
    }

    void GridStepsByRange() {
        QCOMPARE(ValueGridStep(40001), 4000);
        QCOMPARE(ValueGridStep(40000), 2000);
        QCOMPARE(ValueGridStep(401), 20);
        QCOMPARE(ValueGridStep(400), 10);
        QCOMPARE(ValueGridStep(41), 2);
        QCOMPARE(ValueGridStep(40), 1);
        QCOMPARE(TimeGridStep(39 * 15), 1.0 / 6); // span 585 minutes: every 4 hours
        QCOMPARE(TimeGridStep(39 * 1), 1.0 / 96); // 39 minutes: every 15 minutes
        QCOMPARE(TimeGridStep(240), 1.0 / 48);
        QCOMPARE(TimeGridStep(1441), 1.0);
    }

    void EndIsTheLatestSlotOfTheControllerClock() {
        const QDateTime pc(QDate(2026, 12, 8), QTime(23, 59, 0));
        InfoBlock info{};
        info.Hour = 10;
        info.Minute = 7;
        info.Second = 30;
        QCOMPARE(FromDayNumber(ChartEnd(info, 15, pc)), QDateTime(pc.date(), QTime(10, 0)));
        info.Minute = 15;
        info.Second = 0;
        QCOMPARE(FromDayNumber(ChartEnd(info, 15, pc)), QDateTime(pc.date(), QTime(10, 15)));
        info.Hour = 25; // not a time: the PC's
        QCOMPARE(FromDayNumber(ChartEnd(info, 15, pc)), QDateTime(pc.date(), QTime(23, 45)));
    }

    void MissingNewestSampleShowsTheSensorMessage() {
        const QImage image = Drawn(Samples({{3, 250}}));
        QCOMPARE(image.pixel(0, 0), 0xFFFFFFFFu);
        QVERIFY(RowIs(image, 20, 0xFFFFFFFFu));
        QVERIFY(!RowIs(image, Height / 2, 0xFFFFFFFFu)); // the grey text
        QVERIFY(!DrawChart(const_cast<QImage&>(image), QFont(), Samples({{0, 250}}, 0)));
    }

    void EmptyChartSaysWhyAndWhenTheNextSampleIsDue_data() {
        QTest::addColumn<bool>("read");
        QTest::addColumn<bool>("sensorMissing");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("text");
        QTest::newRow("not read") << false << false << 15
                                  << QStringLiteral("No chart read from a controller.");
        QTest::newRow("no probe") << true << true << 15
                                  << QStringLiteral(
                                         "VarnoProbe (Temperature sensor) not connected");
        QTest::newRow("not recording")
            << true << false << 0
            << QStringLiteral("The controller records no chart: its chart interval is 0 minutes "
                              "(Expert options).");
        QTest::newRow("waiting") << true << false << 15
                                 << QStringLiteral("No samples to show yet. The next one is due "
                                                   "at ") +
                                        QLocale().toString(QTime(12, 15), QLocale::ShortFormat) +
                                        QStringLiteral("; a click on the chart reads it again.");
    }

    void EmptyChartSaysWhyAndWhenTheNextSampleIsDue() {
        QFETCH(bool, read);
        QFETCH(bool, sensorMissing);
        QFETCH(int, interval);
        QFETCH(QString, text);
        ChartData data = Samples({}, uint16_t(interval));
        data.Read = read;
        data.SensorMissing = sensorMissing;
        QCOMPARE(ChartEmptyText(data), text);
    }

    void LoneSampleIsADot() {
        // 25.0 °C in the range 23.0 .. 27.0: at x 600, y 119.5.
        const QImage image = Drawn(Samples({{0, 250}}));
        int dot = 0;
        for (int y = 115; y <= 124; ++y)
            for (int x = 596; x <= 602; ++x)
                dot += Bluish(image.pixel(x, y));
        QVERIFY2(dot >= 16, qPrintable(QString::number(dot)));
    }

    void GridLinesBandAndCurve() {
        // 25.0 °C now and ten samples ago, nothing between: y(v) = (1 − (v − 230) / 50) × 199
        // + 20, x(i) = (1 − i / 39) × 560 + 40.
        const QImage image = Drawn(Samples({{0, 250}, {20, 250}, {39, 260}}));
        QCOMPARE(image.pixel(100, 179), 0xFFD0D0D0u); // 24.0 °C, labelled
        QCOMPARE(image.pixel(100, 211), 0xFFF0F0F0u); // 23.2 °C, minor
        QCOMPARE(image.pixel(100, 100), 0xFFFFFFFFu);
        // The 4-hour time grid: 12:00 at the right edge, 8:00 at x = 370.3.
        QCOMPARE(image.pixel(370, 60), 0xFFD0D0D0u);
        // The curve joins sample 20 and sample 0 across the gap, at y 139.4.
        QVERIFY(Bluish(image.pixel(384, 139)) || Bluish(image.pixel(384, 140)));
        QVERIFY(Bluish(image.pixel(590, 139)) || Bluish(image.pixel(590, 140)));
        // No band: 60 °C is far above the plot.
        QCOMPARE(image.pixel(100, 1), 0xFFFFFFFFu);

        const QImage warm = Drawn(Samples({{0, 590}, {1, 600}}));
        QCOMPARE(warm.pixel(300, 2), 0xFFFFF0F0u);
        ChartData voltage = Samples({{0, 590}, {1, 600}});
        voltage.Mode = ChartVoltage;
        QCOMPARE(Drawn(voltage).pixel(300, 2), 0xFFFFFFFFu);
    }

    void SamplesUnderThePointer() {
        const ChartData data = Samples({{0, 250}, {5, 255}, {6, 260}});
        const int x5 = qRound((1 - 5 / 39.0) * 560 + 40);
        QCOMPARE(SampleAt(x5, Width, data), std::optional<int>(5));
        QCOMPARE(SampleAt(x5 + 6, Width, data), std::optional<int>(5));
        QCOMPARE(SampleAt(600, Width, data), std::optional<int>(0));
        QCOMPARE(SampleAt(40, Width, data), std::nullopt); // sample 39: no value
        QCOMPARE(SampleAt(700, Width, data), std::nullopt);
        QCOMPARE(SampleTime(data, 5), QDateTime(QDate(2026, 12, 8), QTime(10, 45)));
        QCOMPARE(ChartValueText(255, data), QStringLiteral("25.5°C"));
    }

    void TableHasOneLinePerSampleOldestFirst() {
        ChartData data = Samples({{0, 250}, {2, -15}, {39, 260}});
        QCOMPARE(QString::fromUtf8(ChartCsv(data)),
                 QStringLiteral("time,value,unit\n"
                                "2026-12-08 02:15:00,26.0,°C\n"
                                "2026-12-08 11:30:00,-1.5,°C\n"
                                "2026-12-08 12:00:00,25.0,°C\n"));
        data.ConfigFlag = FlagFahrenheit;
        QVERIFY(ChartCsv(data).endsWith("2026-12-08 12:00:00,77.0,°F\n"));
        data.Mode = ChartVoltage;
        data.Chart.Sample[0] = 2400;
        QVERIFY(ChartCsv(data).endsWith("2026-12-08 12:00:00,24.00,V\n"));
        data.Chart.Sample[0] = NoMeasurement;
        QCOMPARE(ChartCsv(data), QByteArray("time,value,unit\n"));
    }

    void HealthBarsOnTheTenYearScale() {
        QCOMPARE(HealthBarLength(1, 985), 0.0);
        QCOMPARE(HealthBarLength(TenYearsOfCounts, 985), 985.0);
        QVERIFY(qAbs(HealthBarLength(4587, 985) - 985 / 2.0) < 1); // √(ten years)

        const QRgb window = 0xFFF0F0F0;
        // Ten years (more than one 24-bit counter holds), below 29 V and below 50 °C: both
        // bars across the whole width.
        constexpr uint32_t Half = TenYearsOfCounts / 2;
        QImage image = DrawnHealth(Health(3, {0, 0, 0, Half, Half, 0, 0, Half, Half}));
        QVERIFY(RowIs(image, 100, 0xFF00FF00u, 0, 492));
        QVERIFY(RowIs(image, 100, 0xFFFFFF00u, 493, 985));
        QVERIFY(RowIs(image, 110, 0xFF00FFFFu, 0, 492));
        QVERIFY(RowIs(image, 110, 0xFF00FF00u, 493, 985));
        QVERIFY(RowIs(image, 125, window));
        // Half the time above 30.5 V and above 60 °C: red from the middle on.
        image = DrawnHealth(Health(3, {Half, 0, 0, 0, Half, Half, 0, 0, Half}));
        QVERIFY(RowIs(image, 100, 0xFF00FF00u, 0, 492));
        QVERIFY(RowIs(image, 100, 0xFFFF0000u, 493, 985));
        QVERIFY(RowIs(image, 110, 0xFF00FFFFu, 0, 492));
        QVERIFY(RowIs(image, 110, 0xFFFF0000u, 493, 985));
        // One count: a bar of length 0.
        image = DrawnHealth(Health(3, {0, 0, 0, 0, 1, 0, 0, 0, 1}));
        QVERIFY(RowIs(image, 100, window));
        QVERIFY(!RowIs(image, 30, window)); // the temperature table
    }

    void HealthWithoutPowerCyclesOrTimeIsBlankOrOneLine() {
        const QRgb window = 0xFFF0F0F0;
        QImage image = DrawnHealth(Health(0, {1, 2, 3, 4, 5, 6, 7, 8, 9}));
        for (int y = 0; y < image.height(); ++y)
            QVERIFY(RowIs(image, y, window));
        image = DrawnHealth(Health(7, {}));
        bool firstRow = false;
        for (int y = 0; y < 12; ++y)
            firstRow = firstRow || !RowIs(image, y, window);
        QVERIFY(firstRow);
        for (int y = 14; y < image.height(); ++y)
            QVERIFY(RowIs(image, y, window));
    }
};

QTEST_MAIN(ChartViewTest)
#include "chart_view_test.moc"
