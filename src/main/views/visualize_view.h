// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The drawing of the schedule as curves over the day: the time view (hours of the day) and
// the geo view (the sun's path, through each row's sun altitude).

#include "cfg/device_state.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QRect>
#include <QRgb>

#include <array>
#include <optional>
#include <vector>

namespace zel {

// The curve colours by channel colour code: the line (opaque) and its shade (alpha 0x20).
QRgb CurveLineColor(int code);
QRgb CurveShadeColor(int code);

struct VisualizeScene {
    bool Geo = false;   // the geo view, else the time view
    int Visualised = 0; // drawn last, marked with squares and filled
    int DragPoint = -1; // row whose label shows, or -1
    std::array<int, ChannelCount> ColorCodes{};
    // Where the vertical marker goes: the controller's time of day in minutes (time view) or
    // the sun's angle in degrees (geo view); none when it cannot be computed.
    std::optional<double> Marker;
    // The channels' names for the legend; no legend while they are all empty.
    std::array<QString, ChannelCount> Names;
};

// The legend's box in the picture's top right corner, inside the plot; empty without names.
QRect LegendArea(QSize picture, const QFontMetrics& metrics, const VisualizeScene& scene);

// Plot geometry shared by the drawing and the mouse.
double LevelY(double level, int height);
double MinutesX(double minutes, int width);
double AngleX(double angle, int width);
// The schedule time and level under a mouse position, limited to 0..1440 and 0..4096.
int MinutesAt(int x, int width);
int LevelAt(int y, int height);

// The horizontal position of each row in the geo view, in degrees 0..360: rising rows at
// 90 + altitude, falling rows at 270 − altitude, rows reached by neither at 0.
std::vector<double> GeoAngles(const std::vector<ScheduleRow>& rows);

// The sun's angle for the geo view's marker, from the place in Config and the clock in Info;
// none when the clock names no moment or the sun cannot be computed.
std::optional<double> SunAngle(const ConfigBlock& config, const InfoBlock& info);

// Draws the whole picture. The background (grid and labels) stays the same while the size,
// the view and the font do, so the renderer keeps it from one drawing to the next: a drag
// redraws 40 times a second.
class VisualizeRenderer {
public:
    // Draws into `image` (its size is the plot's) and stores every row's x and its four
    // channel y in `cache` (resized to the rows).
    void Draw(QImage& image, const QFont& font, const std::vector<ScheduleRow>& rows,
              const VisualizeScene& scene, std::vector<PointCacheEntry>& cache);

private:
    void PrepareBackground(const QImage& image, const QFont& font, bool geo);

    QImage background_;
    bool geo_ = false;
    QFont font_;
};

} // namespace zel
