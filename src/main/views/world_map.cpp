// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/views/world_map.h"

#include "cfg/conversions.h"

#include <QColor>
#include <QPainter>
#include <QRect>

#include <algorithm>
#include <cmath>

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

// The map with each pixel repeated factor times both ways; the last one is kept, as the
// ratio rarely changes.
QImage EnlargedWorldMap(int factor) {
    static QImage enlarged;
    if (factor == 1)
        return WorldMap();
    if (enlarged.width() == MapWidth * factor)
        return enlarged;
    const QImage& map = WorldMap();
    enlarged = QImage(map.size() * factor, map.format());
    for (int y = 0; y < enlarged.height(); ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(map.constScanLine(y / factor));
        auto* line = reinterpret_cast<QRgb*>(enlarged.scanLine(y));
        for (int x = 0; x < enlarged.width(); ++x)
            line[x] = source[x / factor];
    }
    return enlarged;
}

QImage MarkedWorldMap(GeoPoint place, qreal pixelRatio) {
    const QPoint pixel = GeoToMapPixel(place);
    const int factor = std::max(1, int(std::ceil(pixelRatio)));
    // Painting detaches the copy: the shared map stays clean.
    QImage map = EnlargedWorldMap(factor);
    map.setDevicePixelRatio(factor);
    QPainter painter(&map);
    // One device pixel wide.
    const double line = 1.0 / factor;
    const QColor crossHair = QColor::fromRgba(CrossHairColour);
    painter.fillRect(QRectF(0, pixel.y(), MapWidth, line), crossHair);
    painter.fillRect(QRectF(pixel.x(), 0, line, MapHeight), crossHair);
    painter.fillRect(
        QRect(pixel.x() - MarkerSize / 2, pixel.y() - MarkerSize / 2, MarkerSize, MarkerSize),
        QColor::fromRgba(MarkerColour));
    painter.end();
    return map;
}

} // namespace zel
