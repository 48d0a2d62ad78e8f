// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/views/visualize_view.h"

#include "cfg/conversions.h"
#include "main/views/channel_colors.h"
#include "main/views/image_box.h"
#include "sunmoon/geo_report.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace zel {

namespace {
constexpr int Margin = 20;
constexpr int MinutesPerDay = 1440;
constexpr double DegreesPerCircle = 360;
constexpr int HourLines = 24;
constexpr int LevelLines = 10;
constexpr QRgb Background = 0xFF000000;
constexpr QRgb GridColour = 0xFF101010;
constexpr QRgb LabelColour = 0xFF808080;
constexpr QRgb MarkerColour = 0xFFC0C0C0;
constexpr int SquareHalf = 5;
constexpr int OutlineAlpha = 0xC0;
constexpr double OutlineWidth = 1.5;
constexpr QRgb LegendBackground = 0xC0000000;
constexpr QRgb LegendFrame = 0xFF404040;
constexpr int LegendPadding = 4;
constexpr int LegendSample = 16; // length of the line before a name

const QRgb LineColours[16] = {
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFC000FF, 0xFFFFFFFF, 0xFFF0F0FF,
    0xFFFFFFE0, 0xFFFFFF00, 0xFFFF0080, 0xFF4000FF, 0xFF00FFFF, 0xFFC000FF, 0xFFFFC000, 0xFFC00000};

// Codes beyond the table draw as the unnamed colour (code 0).
int TableIndex(int code) {
    return code >= 0 && code < 16 ? code : 0;
}

// Text with its top-left corner at (x, y), as the labels are placed.
void TextAt(QPainter& painter, const QFontMetrics& metrics, int x, int y, const QString& text) {
    painter.drawText(QPoint(x, y + metrics.ascent()), text);
}

QString HourLabel(int i, bool geo) {
    if (!geo)
        return QString::number(i);
    return QString::number(i <= 12 ? 15 * i - 90 : 270 - 15 * i) + QStringLiteral("°");
}

QString DragLabel(const ScheduleRow& row, int channel, bool geo) {
    const int level = row.Color16[channel];
    if (!geo)
        return QStringLiteral("%1:%2 %3%")
            .arg(int(row.Hour), 2, 10, QLatin1Char('0'))
            .arg(int(row.Minute), 2, 10, QLatin1Char('0'))
            .arg(LevelText(level));
    return AltitudeText(row.Alt) + QStringLiteral("° ") + FormatNumber(LevelPercent(level), 0) +
           QStringLiteral("%");
}

// The other channels' outlines in their light display colour: legible on the black.
QColor OutlineColour(int code) {
    QColor colour = QColor::fromRgba(ChannelDisplayColor(code));
    colour.setAlpha(OutlineAlpha);
    return colour;
}

// One line per named channel: a stroke in its curve colour, then its name.
void DrawLegend(QPainter& painter, const QFontMetrics& metrics, QSize picture,
                const VisualizeScene& scene) {
    const QRect area = LegendArea(picture, metrics, scene);
    if (area.isEmpty())
        return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QColor::fromRgba(LegendFrame));
    painter.setBrush(QColor::fromRgba(LegendBackground));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    int y = area.top() + LegendPadding;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const QString& name = scene.Names[size_t(channel)];
        if (name.isEmpty())
            continue;
        const int code = scene.ColorCodes[size_t(channel)];
        const int middle = y + metrics.height() / 2;
        const int left = area.left() + LegendPadding;
        const bool visualised = channel == scene.Visualised;
        painter.setPen(visualised ? QPen(QColor::fromRgba(CurveLineColor(code)), 3)
                                  : QPen(OutlineColour(code), OutlineWidth));
        painter.drawLine(left, middle, left + LegendSample, middle);
        painter.setPen(QColor::fromRgba(ChannelDisplayColor(code)));
        TextAt(painter, metrics, left + LegendSample + LegendPadding, y, name);
        y += metrics.height();
    }
}

void DrawGridAndLabels(QPainter& painter, const QFontMetrics& metrics, int width, int height,
                       bool geo) {
    painter.setPen(QColor::fromRgba(GridColour));
    for (int i = 0; i <= HourLines; ++i) {
        const int x = int(Nearest(i * (width - 2.0 * Margin) / HourLines)) + Margin;
        painter.drawLine(x, Margin, x, height - Margin - 1);
    }
    for (int j = 0; j <= LevelLines; ++j) {
        const int y = int(Nearest(j * (height - 2.0 * Margin - 1) / LevelLines + Margin));
        painter.drawLine(Margin, y, width - Margin, y);
    }
    painter.setPen(QColor::fromRgba(LabelColour));
    for (int i = 0; i <= HourLines; ++i) {
        const int x = int(Nearest(i * (width - 2.0 * Margin) / HourLines)) + Margin - 5;
        const QString text = HourLabel(i, geo);
        TextAt(painter, metrics, x, 1, text);
        TextAt(painter, metrics, x, height - metrics.height(), text);
    }
    for (int j = 1; j < LevelLines; ++j) {
        const int y = int(Nearest(j * (height - 2.0 * Margin - 1) / LevelLines + Margin)) - 6;
        const QString text = QString::number(100 - 10 * j) + QStringLiteral("%");
        TextAt(painter, metrics, width - metrics.horizontalAdvance(text), y, text);
        TextAt(painter, metrics, 0, y, text);
    }
}
} // namespace

QRect LegendArea(QSize picture, const QFontMetrics& metrics, const VisualizeScene& scene) {
    int widest = 0;
    int lines = 0;
    for (const QString& name : scene.Names) {
        if (name.isEmpty())
            continue;
        widest = std::max(widest, metrics.horizontalAdvance(name));
        ++lines;
    }
    if (lines == 0)
        return QRect();
    const QSize size(widest + LegendSample + 3 * LegendPadding,
                     lines * metrics.height() + 2 * LegendPadding);
    return QRect(
        QPoint(picture.width() - Margin - size.width() - LegendPadding, Margin + LegendPadding),
        size);
}

QRgb CurveLineColor(int code) {
    return LineColours[TableIndex(code)];
}

QRgb CurveShadeColor(int code) {
    return (CurveLineColor(code) & 0x00FFFFFF) | 0x20000000;
}

double LevelY(double level, int height) {
    return (1 - level / FullLevel) * (height - 2 * Margin - 1) + Margin;
}

double MinutesX(double minutes, int width) {
    return minutes * (width - 2 * Margin) / MinutesPerDay + Margin;
}

double AngleX(double angle, int width) {
    return angle * (width - 2 * Margin) / DegreesPerCircle + Margin;
}

int MinutesAt(int x, int width) {
    const int64_t minutes = Nearest(double(MinutesPerDay) * (x - Margin) / (width - 2 * Margin));
    return int(std::clamp<int64_t>(minutes, 0, MinutesPerDay));
}

int LevelAt(int y, int height) {
    const int64_t level = Nearest((1 - double(y - Margin) / (height - 2 * Margin - 1)) * FullLevel);
    return int(std::clamp<int64_t>(level, 0, FullLevel));
}

std::vector<double> GeoAngles(const std::vector<ScheduleRow>& rows) {
    const int count = int(rows.size());
    std::vector<double> angles(rows.size(), 0.0);
    if (count < 2)
        return angles;
    // An altitude beyond the arcsine's range counts as 0°: 90° rising, 270° setting.
    const auto altitude = [&](int k) { return AltitudeDegrees(rows[size_t(k)].Alt).value_or(0); };
    // Up the sun's rising side until the altitude falls; the last row is never rising.
    for (int k = 0;; ++k) {
        angles[size_t(k)] = 90 + altitude(k);
        if (k + 1 >= count - 1 || rows[size_t(k + 1)].Alt < rows[size_t(k)].Alt)
            break;
    }
    // Back from the end of the day on the setting side; the first row is never setting.
    for (int k = count - 1;; --k) {
        angles[size_t(k)] = 270 - altitude(k);
        if (k - 1 <= 0 || rows[size_t(k - 1)].Alt < rows[size_t(k)].Alt)
            break;
    }
    return angles;
}

std::optional<double> SunAngle(const ConfigBlock& config, const InfoBlock& info) {
    const GeoMoment local{info.Year + 2000, info.Month, info.Day, info.Hour, info.Minute};
    try {
        const TBodyPosition sun =
            GeoSunPosition(config.Lat * 0.1, config.Lon * 0.1, local, TimeZoneHours(local));
        const double altitude = sun.Altitude * DegreesPerRadian;
        return sun.Rising ? 90 + altitude : 270 - altitude;
    } catch (const std::invalid_argument&) {
        return std::nullopt; // the clock names no moment
    } catch (const MathError&) {
        return std::nullopt;
    }
}

void VisualizeRenderer::PrepareBackground(const QImage& image, const QFont& font, bool geo) {
    if (background_.size() == image.size() && background_.format() == image.format() &&
        background_.devicePixelRatio() == image.devicePixelRatio() && geo_ == geo && font_ == font)
        return;
    background_ = QImage(image.size(), image.format());
    background_.setDevicePixelRatio(image.devicePixelRatio());
    background_.fill(Background);
    QPainter painter(&background_);
    painter.setFont(font);
    const QSize size = LogicalSize(image);
    DrawGridAndLabels(painter, QFontMetrics(font, &background_), size.width(), size.height(), geo);
    geo_ = geo;
    font_ = font;
}

void VisualizeRenderer::Draw(QImage& image, const QFont& font, const std::vector<ScheduleRow>& rows,
                             const VisualizeScene& scene, std::vector<PointCacheEntry>& cache) {
    const int width = LogicalSize(image).width();
    const int height = LogicalSize(image).height();
    cache.resize(rows.size());
    PrepareBackground(image, font, scene.Geo);
    std::memcpy(image.bits(), background_.constBits(), size_t(image.sizeInBytes()));
    QPainter painter(&image);
    painter.setFont(font);
    const QFontMetrics metrics(font, &image);

    if (scene.Marker) {
        const double x = scene.Geo ? AngleX(*scene.Marker, width) : MinutesX(*scene.Marker, width);
        if (x >= 0 && x <= width) {
            painter.setPen(QColor::fromRgba(MarkerColour));
            const int column = int(Nearest(x));
            painter.drawLine(column, 0, column, height - 1);
        }
    }
    if (rows.empty()) {
        DrawLegend(painter, metrics, LogicalSize(image), scene);
        return;
    }

    std::vector<double> xs(rows.size());
    const std::vector<double> angles = scene.Geo ? GeoAngles(rows) : std::vector<double>();
    for (size_t k = 0; k < rows.size(); ++k)
        xs[k] = scene.Geo ? AngleX(angles[k], width)
                          : MinutesX(rows[k].Hour * 60 + rows[k].Minute, width);

    painter.setRenderHint(QPainter::Antialiasing);
    QPolygonF curve(int(rows.size()) + 1);
    for (int step = 1; step <= ChannelCount; ++step) {
        const int channel = (scene.Visualised + step) % ChannelCount;
        const bool visualised = channel == scene.Visualised;
        const QColor line = QColor::fromRgba(CurveLineColor(scene.ColorCodes[size_t(channel)]));
        const QColor shade = QColor::fromRgba(CurveShadeColor(scene.ColorCodes[size_t(channel)]));
        // Each day starts with the level the day before ended with.
        curve[0] = QPointF(Margin, LevelY(rows.back().Color16[channel], height));
        for (size_t k = 0; k < rows.size(); ++k) {
            const double y = LevelY(rows[k].Color16[channel], height);
            curve[int(k) + 1] = QPointF(xs[k], y);
            cache[k][0] = float(xs[k]);
            cache[k][size_t(channel) + 1] = float(y);
            if (!visualised)
                continue;
            const QPoint topLeft(int(Nearest(xs[k] - SquareHalf)), int(Nearest(y - SquareHalf)));
            const QPoint bottomRight(int(Nearest(xs[k] + SquareHalf)),
                                     int(Nearest(y + SquareHalf)));
            painter.fillRect(
                QRect(topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y())),
                line);
            if (int(k) == scene.DragPoint) {
                const QString label = DragLabel(rows[k], channel, scene.Geo);
                painter.fillRect(QRect(0, 0, metrics.horizontalAdvance(label), metrics.height()),
                                 Qt::white);
                painter.setPen(Qt::black);
                TextAt(painter, metrics, 0, 0, label);
            }
        }
        painter.setPen(visualised
                           ? QPen(line)
                           : QPen(OutlineColour(scene.ColorCodes[size_t(channel)]), OutlineWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(curve);
        if (visualised) {
            QPolygonF area = curve;
            area << QPointF(width - Margin, height - Margin) << QPointF(Margin, height - Margin);
            painter.setPen(Qt::NoPen);
            painter.setBrush(shade);
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.drawPolygon(area);
            painter.setRenderHint(QPainter::Antialiasing, true);
        }
    }
    DrawLegend(painter, metrics, LogicalSize(image), scene);
}

} // namespace zel
