// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/views/moon_phase.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace zel {

namespace {
// Single precision throughout, as the outline's points have always been computed.
constexpr float HalfPi = 1.5707964f;
constexpr float ThreeHalvesPi = 4.712389f;
constexpr float FiveHalvesPi = 7.8539815f;
constexpr float Step = 0.2617993877991494f; // 15°
constexpr float RadiansPerDegree = 3.14159265f / 180;

// Adds the points from t = start (exclusive) up to end in fixed steps, the last one clamped.
template <typename Point> void AddArc(float start, float end, Point point) {
    float t = start;
    do {
        t = std::min(t + Step, end);
        point(t);
    } while (t != end);
}
} // namespace

void DrawMoonPhase(QImage& picture, QRgb colour, float fraction, float rotation, float radius,
                   float cx, float cy) {
    // Written so that a NaN fraction draws nothing as well.
    if (!(fraction >= 0 && fraction <= 1))
        return;
    const float k = (2 * fraction - 1) * radius;
    const float rho = rotation * RadiansPerDegree;
    const float c = std::cos(rho);
    const float s = std::sin(rho);
    QPolygonF outline;
    const auto add = [&](float a, float b) {
        outline.append(QPointF(cx + a * c - b * s, cy + a * s + b * c));
    };
    add(radius * std::cos(HalfPi), radius * std::sin(HalfPi));
    AddArc(HalfPi, ThreeHalvesPi,
           [&](float t) { add(radius * std::cos(t), radius * std::sin(t)); });
    AddArc(ThreeHalvesPi, FiveHalvesPi,
           [&](float t) { add(k * std::cos(t), radius * std::sin(t)); });

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgba(colour));
    painter.drawPolygon(outline);
}

} // namespace zel
