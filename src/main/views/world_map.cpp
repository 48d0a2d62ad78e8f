// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/views/world_map.h"

#include "cfg/conversions.h"

#include <QColor>
#include <QPainter>
#include <QRect>

#include <algorithm>

// The map lives in a static library, whose resource initialiser the linker would drop.
static QImage LoadWorldMap() {
    Q_INIT_RESOURCE(world_map);
    const QImage source(QStringLiteral(":/map/world_map.png"));
    // Converted here rather than by QImage, which converts a picture this large on Qt's
    // thread pool: threads started for one picture, whose start a race detector cannot follow.
    QImage map(source.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < source.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(map.scanLine(y));
        for (int x = 0; x < source.width(); ++x)
            line[x] = qPremultiply(source.pixel(x, y));
    }
    return map;
}

namespace zel {

namespace {
constexpr int MapWidth = 1000;
constexpr int MapHeight = 500;
constexpr QRgb CrossHairColour = 0x40FFFFFF;
constexpr QRgb MarkerColour = 0xFFFF0000;
constexpr int MarkerSize = 5;
} // namespace

const QImage& WorldMap() {
    static const QImage map = LoadWorldMap();
    return map;
}

GeoPoint MapPixelToGeo(QPoint pixel) {
    const int x = std::clamp(pixel.x(), 0, MapWidth);
    const int y = std::clamp(pixel.y(), 0, MapHeight);
    return {90 - (y * 180) / double(MapHeight), (x * 360) / double(MapWidth) - 180};
}

QPoint GeoToMapPixel(GeoPoint place) {
    return {int(Nearest((place.Longitude + 180) * MapWidth / 360)),
            int(Nearest((90 - place.Latitude) * MapHeight / 180))};
}

QImage MarkedWorldMap(GeoPoint place) {
    const QPoint pixel = GeoToMapPixel(place);
    // Painting detaches the copy: the shared map stays clean.
    QImage map = WorldMap();
    QPainter painter(&map);
    const QColor crossHair = QColor::fromRgba(CrossHairColour);
    painter.fillRect(QRect(0, pixel.y(), map.width(), 1), crossHair);
    painter.fillRect(QRect(pixel.x(), 0, 1, map.height()), crossHair);
    painter.fillRect(
        QRect(pixel.x() - MarkerSize / 2, pixel.y() - MarkerSize / 2, MarkerSize, MarkerSize),
        QColor::fromRgba(MarkerColour));
    painter.end();
    return map;
}

} // namespace zel
