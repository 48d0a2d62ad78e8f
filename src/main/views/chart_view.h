#pragma once

// The drawing of the controller's recorded chart: forty samples of a temperature or the input
// voltage, newest at the right, with value and time grids; and the same samples as a table.

#include "cfg/records.h"

#include <QByteArray>
#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QString>

#include <optional>

namespace zel {

enum ChartSource : uint8_t {
    ChartTempWater = 0,
    ChartTempBoard = 1,
    ChartVoltage = 2,
    ChartTempSlave = 3
};

// What the drawing reads of the records, with the time of the newest sample.
struct ChartData {
    ChartBlock Chart{};
    uint8_t Mode = ChartTempWater; // Expert.ChartMode
    uint16_t Interval = 0;         // Expert.ChartInterval, minutes between samples
    uint8_t ConfigFlag = 0;        // Config.Flag: °C or °F
    // Chart, source, interval and clock are a connected controller's, not start values.
    bool Read = false;
    // The source is the water probe and the controller reads none.
    bool SensorMissing = false;
    // The newest sample's slot, in days since 30 December 1899 (the date origin of the
    // interval grid).
    double End = 0;
};

// The vertical range and grid step in sample units; lo lies below every sample and hi above.
struct ChartRange {
    int Lo = 0;
    int Hi = 0;
    int Step = 1;
};

// none when there is no sample to show.
std::optional<ChartRange> ChartScale(const ChartBlock& chart);
int ValueGridStep(int span);
// The time grid's step in days for a span of minutes.
double TimeGridStep(int spanMinutes);

double DayNumber(const QDateTime& moment);
QDateTime FromDayNumber(double days);
// The latest slot of the interval grid at or before the controller's time of day on the PC's
// date (the PC's own time when the controller's is impossible).
double ChartEnd(const InfoBlock& info, uint16_t intervalMinutes, const QDateTime& pcNow);
QDateTime SampleTime(const ChartData& data, int sample);

// "25.3°C", "77.5°F" or "24.00 V", in the user's locale.
QString ChartValueText(int value, const ChartData& data);

// What the picture says when there is nothing to plot: why, and when the next sample is due.
QString ChartEmptyText(const ChartData& data);

// False (and ChartEmptyText drawn) when there is nothing to plot. A lone sample is a dot.
bool DrawChart(QImage& image, const QFont& font, const ChartData& data);

// The sample nearest to an x of the picture, when that sample holds a value.
std::optional<int> SampleAt(int x, int width, const ChartData& data);

// "time,value,unit" and one line per sample that holds a value, oldest first; times as
// "yyyy-MM-dd HH:mm:ss", values with a "." as decimal point.
QByteArray ChartCsv(const ChartData& data);

} // namespace zel
