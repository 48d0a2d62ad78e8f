// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPoint>

namespace zel {

// The world map of the Geo page and the day designer, plate carrée: x 0..1000 is longitude
// -180..180, y 0..500 latitude 90..-90.
struct GeoPoint {
    double Latitude;
    double Longitude;
};

// The map as the resource holds it; loaded once, shared by every copy.
const QImage& WorldMap();

// The place under a map pixel; a pixel outside the map counts as its nearest border.
GeoPoint MapPixelToGeo(QPoint pixel);
// The map pixel of a place, rounded to the nearest.
QPoint GeoToMapPixel(GeoPoint place);

// The map with a cross-hair and a marker at the place, for a screen of the pixel ratio: each
// map pixel a block of whole device pixels, the marks drawn at the device's own pixels. Its
// size in device-independent pixels is always the map's.
QImage MarkedWorldMap(GeoPoint place, qreal pixelRatio = 1);

} // namespace zel
