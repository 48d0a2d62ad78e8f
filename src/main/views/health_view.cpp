// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/views/health_view.h"

#include "main/views/image_box.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace zel {

namespace {
constexpr int SecondsPerCount = 15;
constexpr int RowPixels = 11; // the table's rows are 12 pixels apart
constexpr int ColumnPixels = 70;
constexpr int LabelGap = 6;
constexpr QRgb Red = 0xFFFF0000;
constexpr QRgb Orange = 0xFFFF8000;
constexpr QRgb Yellow = 0xFFFFFF00;
constexpr QRgb Green = 0xFF00FF00;
constexpr QRgb Cyan = 0xFF00FFFF;

struct Part {
    uint32_t Count;
    QRgb Colour;
};

QString Hours(uint32_t counts) {
    return QLocale().toString(counts * double(SecondsPerCount) / 3600, 'f', 1) +
           QStringLiteral("h");
}

// One bar from the left edge: each part as wide as its share of the total, the ends rounded
// from the running sum so that the parts meet without gaps.
template <size_t N>
void DrawBar(QPainter& painter, const std::array<Part, N>& parts, uint32_t total, double length,
             int top, int bottom) {
    double sum = 0;
    for (const Part& part : parts) {
        const int left = int(std::lround(sum));
        sum += part.Count / double(total) * length;
        painter.fillRect(QRect(QPoint(left, top), QPoint(int(std::lround(sum)) - 1, bottom - 1)),
                         QColor::fromRgba(part.Colour));
    }
}
} // namespace

double HealthBarLength(uint32_t total, int width) {
    return width * std::log(double(total)) / std::log(double(TenYearsOfCounts));
}

void DrawHealth(QImage& image, const QFont& font, const QPalette& palette,
                const HealthBlock& health) {
    image.fill(palette.color(QPalette::Window));
    const uint16_t cycles = health.PowerCycles;
    if (cycles == 0)
        return;
    std::array<uint32_t, HealthCounterCount> c{};
    for (int i = 0; i < HealthCounterCount; ++i)
        c[size_t(i)] = CounterValue(health.Counter[i]);
    // The voltage classes cover all operating time.
    const uint32_t total = c[5] + c[6] + c[7] + c[8];

    QPainter painter(&image);
    QFont small = font;
    small.setPixelSize(RowPixels);
    painter.setFont(small);
    painter.setPen(palette.color(QPalette::WindowText));
    const QFontMetrics metrics(small, &image);
    // The columns are 70 pixels apart where their widest label fits; wider where it does not.
    const QString cyclesLabel = QStringLiteral("Power cycles:");
    const double spread =
        std::max(1.0, (metrics.horizontalAdvance(cyclesLabel) + LabelGap) / double(ColumnPixels));
    const auto text = [&](int x, int y, const QString& value) {
        painter.drawText(QPoint(int(std::lround(x * spread)), y + metrics.ascent()), value);
    };
    text(0, 0, cyclesLabel);
    text(70, 0, QString::number(cycles));
    text(350, 0, QStringLiteral("Working:"));
    text(420, 0, QString::number(total));
    text(490, 0, Hours(total));
    if (total == 0)
        return;

    const auto row = [&](int x, int y, const char* label, uint32_t count) {
        text(x, y, QLatin1String(label));
        text(x + 70, y, QString::number(count));
        text(x + 140, y, Hours(count));
        text(x + 210, y,
             QLocale().toString(count / double(total) * 100, 'f', 1) + QStringLiteral("%"));
    };
    row(0, 24, "T>60:", c[0]);
    row(0, 36, "T>55:", c[1]);
    row(0, 48, "T>50:", c[2]);
    row(0, 60, "T>45:", c[3]);
    row(0, 72, "T<45:", c[4]);
    row(350, 36, "V>30.5:", c[5]);
    row(350, 48, "V>29.0:", c[6]);
    row(350, 60, "V>26.0:", c[7]);
    row(350, 72, "V<26.0:", c[8]);

    const double length = HealthBarLength(total, LogicalSize(image).width());
    DrawBar(painter,
            std::array<Part, 4>{{{c[8], Green}, {c[7], Yellow}, {c[6], Orange}, {c[5], Red}}},
            total, length, 96, 108);
    DrawBar(painter,
            std::array<Part, 5>{
                {{c[4], Cyan}, {c[3], Green}, {c[2], Yellow}, {c[1], Orange}, {c[0], Red}}},
            total, length, 108, 120);
}

} // namespace zel
