// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/views/chart_view.h"

#include "cfg/conversions.h"
#include "lang/translate.h"
#include "main/views/image_box.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace zel {

namespace {
constexpr int MarginX = 40;
constexpr int MarginY = 20;
constexpr int LastSample = ChartSampleCount - 1;
constexpr int MinutesPerDay = 1440;
constexpr double MillisecondsPerDay = 86400000.0;
constexpr int BandTemperature = 600; // 60.0 °C
constexpr int MostTimeLines = 10;
constexpr int FontPoints = 8;
constexpr double LoneSampleRadius = 3; // a line of one point would be a single pixel
constexpr QRgb Background = 0xFFFFFFFF;
constexpr QRgb BandColour = 0xFFFFF0F0;
constexpr QRgb MinorColour = 0xFFF0F0F0;
constexpr QRgb MajorColour = 0xFFD0D0D0;
constexpr QRgb TextColour = 0xFF808080;
const QRgb CurveColours[] = {0xFF0000FF, 0xFFFF0000, 0xFF000000, 0xFFFF8000};
const QDate DateOrigin(1899, 12, 30);

bool Valid(int16_t sample) {
    return sample != NoMeasurement;
}

bool HasData(const ChartData& data) {
    return Valid(data.Chart.Sample[0]) && data.Interval != 0;
}

QRgb CurveColour(uint8_t mode) {
    return mode < std::size(CurveColours) ? CurveColours[mode] : CurveColours[ChartVoltage];
}

// Text with its top-left corner at (x, y).
void TextAt(QPainter& painter, const QFontMetrics& metrics, double x, double y,
            const QString& text) {
    painter.drawText(QPointF(x, y + metrics.ascent()), text);
}

// Plot geometry for one picture and one range.
struct Plot {
    int Width;
    int Height;
    ChartRange Range;

    double PlotWidth() const { return Width - 2 * MarginX; }
    double PlotHeight() const { return Height - 2 * MarginY; }
    double Y(double value) const {
        return (1 - (value - Range.Lo) / double(Range.Hi - Range.Lo)) * (PlotHeight() - 1) +
               MarginY;
    }
    double X(int sample) const { return (1 - sample / double(LastSample)) * PlotWidth() + MarginX; }
};

void DrawTimeGrid(QPainter& painter, const QFontMetrics& metrics, const Plot& plot,
                  const ChartData& data) {
    const int spanMinutes = LastSample * data.Interval;
    const double span = spanMinutes / double(MinutesPerDay);
    const double step = TimeGridStep(spanMinutes);
    const QLocale locale;
    double t = std::floor(data.End / step) * step;
    for (int line = 0; line < MostTimeLines; ++line, t -= step) {
        const double x = (1 - (data.End - t) / span) * plot.PlotWidth() + MarginX;
        if (x < MarginX)
            break;
        painter.setPen(QColor::fromRgba(MajorColour));
        painter.drawLine(QPointF(x, MarginY), QPointF(x, MarginY + plot.PlotHeight() - 1));
        const QDateTime moment = FromDayNumber(t);
        const QTime time = moment.time();
        const QString label = time.hour() == 0 && time.minute() == 0
                                  ? locale.toString(moment.date(), QLocale::ShortFormat)
                                  : locale.toString(time, QLocale::ShortFormat);
        painter.setPen(QColor::fromRgba(TextColour));
        TextAt(painter, metrics, std::round(x), 1, label);
        TextAt(painter, metrics, std::round(x), plot.Height - 13, label);
    }
}

void DrawValueGrid(QPainter& painter, const QFontMetrics& metrics, const Plot& plot,
                   const ChartData& data) {
    const ChartRange& range = plot.Range;
    for (int v = range.Lo; v <= range.Hi; v += range.Step) {
        const double y = plot.Y(v);
        const bool labelled = v % 10 == 0;
        painter.setPen(QColor::fromRgba(labelled ? MajorColour : MinorColour));
        painter.drawLine(QPointF(MarginX, y), QPointF(MarginX + plot.PlotWidth(), y));
        if (!labelled)
            continue;
        const QString label = ChartValueText(v, data);
        painter.setPen(QColor::fromRgba(TextColour));
        TextAt(painter, metrics, plot.Width - metrics.horizontalAdvance(label), std::round(y) - 6,
               label);
        TextAt(painter, metrics, 0, std::round(y) - 6, label);
    }
}
} // namespace

std::optional<ChartRange> ChartScale(const ChartBlock& chart) {
    int lowest = 0;
    int highest = 0;
    bool any = false;
    for (int i = 0; i < ChartSampleCount; ++i) {
        const int sample = chart.Sample[i];
        if (!Valid(int16_t(sample)))
            continue;
        lowest = any ? std::min(lowest, sample) : sample;
        highest = any ? std::max(highest, sample) : sample;
        any = true;
    }
    if (!any)
        return std::nullopt;
    // About 95 % of the minimum and 105 % of the maximum, on multiples of 10. Below zero the
    // factors change places, so that the range still has room below and above every sample.
    ChartRange range;
    range.Lo = int(10 * std::floor(lowest * (lowest >= 0 ? 0.095 : 0.105) - 0.5));
    range.Hi = int(10 * std::ceil(highest * (highest >= 0 ? 0.105 : 0.095) + 0.5));
    range.Step = ValueGridStep(range.Hi - range.Lo);
    return range;
}

int ValueGridStep(int span) {
    const std::pair<int, int> steps[] = {{40000, 4000}, {20000, 2000}, {10000, 1000}, {4000, 400},
                                         {2000, 200},   {1000, 100},   {400, 20},     {200, 10},
                                         {100, 5},      {40, 2}};
    for (const auto& [above, step] : steps)
        if (span > above)
            return step;
    return 1;
}

double TimeGridStep(int spanMinutes) {
    if (spanMinutes <= 120)
        return 1.0 / 96;
    if (spanMinutes <= 240)
        return 1.0 / 48;
    if (spanMinutes <= 480)
        return 1.0 / 24;
    if (spanMinutes <= MinutesPerDay)
        return 1.0 / 6;
    return 1;
}

double DayNumber(const QDateTime& moment) {
    return DateOrigin.daysTo(moment.date()) +
           moment.time().msecsSinceStartOfDay() / MillisecondsPerDay;
}

QDateTime FromDayNumber(double days) {
    double whole = std::floor(days);
    // To the second: a slot computed in days may miss its moment by a hair.
    qint64 milliseconds = std::llround((days - whole) * MillisecondsPerDay / 1000.0) * 1000;
    if (milliseconds >= qint64(MillisecondsPerDay)) {
        whole += 1;
        milliseconds = 0;
    }
    return QDateTime(DateOrigin.addDays(qint64(whole)),
                     QTime::fromMSecsSinceStartOfDay(int(milliseconds)));
}

double ChartEnd(const InfoBlock& info, uint16_t intervalMinutes, const QDateTime& pcNow) {
    const QTime clock(info.Hour, info.Minute, info.Second, info.Centisecond * 10);
    const double now = DayNumber(clock.isValid() ? QDateTime(pcNow.date(), clock) : pcNow);
    if (intervalMinutes == 0)
        return now;
    const double slot = intervalMinutes / double(MinutesPerDay);
    // A moment on a slot counts as that slot, whatever the division's last bit says.
    return std::floor(now / slot + 1e-9) * slot;
}

QDateTime SampleTime(const ChartData& data, int sample) {
    return FromDayNumber(data.End - sample * data.Interval / double(MinutesPerDay));
}

QString ChartValueText(int value, const ChartData& data) {
    if (data.Mode == ChartVoltage)
        return VoltageText(value) + QStringLiteral(" V");
    return FormatTemperature(value, data.ConfigFlag) + TemperatureUnitText(data.ConfigFlag);
}

QString ChartEmptyText(const ChartData& data) {
    if (!data.Read)
        return Translate(QStringLiteral("ChartNotRead"));
    if (data.SensorMissing)
        return Translate(QStringLiteral("VarnoProbeNotConnected"));
    if (data.Interval == 0)
        return Translate(QStringLiteral("ChartNotRecorded"));
    const QDateTime next = FromDayNumber(data.End + data.Interval / double(MinutesPerDay));
    return TranslateFormat(QStringLiteral("ChartNoSamples"),
                           {QLocale().toString(next.time(), QLocale::ShortFormat)});
}

bool DrawChart(QImage& image, const QFont& font, const ChartData& data) {
    image.fill(Background);
    QPainter painter(&image);
    QFont small = font;
    small.setPointSize(FontPoints);
    painter.setFont(small);
    const QFontMetrics metrics(small, &image);
    if (!HasData(data)) {
        painter.setPen(QColor::fromRgba(TextColour));
        painter.drawText(QRect(QPoint(0, 0), LogicalSize(image)),
                         Qt::AlignCenter | Qt::TextWordWrap, ChartEmptyText(data));
        return false;
    }
    const Plot plot{LogicalSize(image).width(), LogicalSize(image).height(),
                    *ChartScale(data.Chart)};
    if (data.Mode != ChartVoltage) {
        const double band = plot.Y(BandTemperature);
        if (band > 0)
            painter.fillRect(QRect(0, 0, plot.Width, int(std::lround(band))),
                             QColor::fromRgba(BandColour));
    }
    DrawTimeGrid(painter, metrics, plot, data);
    DrawValueGrid(painter, metrics, plot, data);

    const QColor curveColour = QColor::fromRgba(CurveColour(data.Mode));
    const int newest = data.Chart.Sample[0];
    const QString current = ChartValueText(newest, data);
    const QRectF currentBox(plot.Width - metrics.horizontalAdvance(current),
                            std::round(plot.Y(newest)) - 6, metrics.horizontalAdvance(current),
                            metrics.height());
    painter.fillRect(currentBox, QColor::fromRgba(Background));
    painter.setPen(curveColour);
    TextAt(painter, metrics, currentBox.x(), currentBox.y(), current);

    QPolygonF curve;
    for (int i = LastSample; i >= 0; --i)
        if (Valid(data.Chart.Sample[i]))
            curve << QPointF(plot.X(i), plot.Y(data.Chart.Sample[i]));
    painter.setRenderHint(QPainter::Antialiasing);
    if (curve.size() == 1) {
        painter.setBrush(curveColour);
        painter.drawEllipse(curve.first(), LoneSampleRadius, LoneSampleRadius);
    } else {
        painter.drawPolyline(curve);
    }
    return true;
}

std::optional<int> SampleAt(int x, int width, const ChartData& data) {
    const double plotWidth = width - 2 * MarginX;
    if (!HasData(data) || plotWidth <= 0)
        return std::nullopt;
    const long sample = std::lround((1 - (x - MarginX) / plotWidth) * LastSample);
    if (sample < 0 || sample > LastSample || !Valid(data.Chart.Sample[sample]))
        return std::nullopt;
    return int(sample);
}

QByteArray ChartCsv(const ChartData& data) {
    QByteArray table("time,value,unit\n");
    if (!HasData(data))
        return table;
    const bool voltage = data.Mode == ChartVoltage;
    const QLocale numbers = QLocale::c();
    const QString unit = voltage ? QStringLiteral("V") : TemperatureUnitText(data.ConfigFlag);
    for (int i = LastSample; i >= 0; --i) {
        const int sample = data.Chart.Sample[i];
        if (!Valid(int16_t(sample)))
            continue;
        const QString value =
            voltage ? numbers.toString(sample / 100.0, 'f', 2)
                    : numbers.toString(TemperatureValue(sample, data.ConfigFlag), 'f', 1);
        table += (SampleTime(data, i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                  QLatin1Char(',') + value + QLatin1Char(',') + unit + QLatin1Char('\n'))
                     .toUtf8();
    }
    return table;
}

} // namespace zel
