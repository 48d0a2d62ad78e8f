// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule drawing at known pixels: grid, current-time line, the visualised channel's
// fill and squares, the point cache, and the geo view's row angles.

#include "main/views/visualize_view.h"

#include <QGuiApplication>
#include <QtTest>

using namespace zel;

namespace {
constexpr int Width = 640;  // plot 20..620: 25 pixels an hour
constexpr int Height = 361; // plot 20..340: 0.078125 pixels a level step

ScheduleRow Row(int hour, int minute, std::array<int, 4> levels, int alt = 0) {
    ScheduleRow row{};
    row.Hour = int8_t(hour);
    row.Minute = int8_t(minute);
    row.Alt = int16_t(alt);
    for (int c = 0; c < 4; ++c)
        row.Color16[c] = int16_t(levels[size_t(c)]);
    return row;
}

VisualizeScene TimeScene(int visualised, std::optional<double> minutes = std::nullopt) {
    VisualizeScene scene;
    scene.Visualised = visualised;
    scene.ColorCodes = {2, 3, 4, 9}; // red, green, blue, yellow
    scene.Marker = minutes;
    return scene;
}

QImage Draw(const std::vector<ScheduleRow>& rows, const VisualizeScene& scene,
            std::vector<PointCacheEntry>* cache = nullptr) {
    QImage image(Width, Height, QImage::Format_ARGB32_Premultiplied);
    std::vector<PointCacheEntry> own;
    VisualizeRenderer().Draw(image, QFont(), rows, scene, cache ? *cache : own);
    return image;
}

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y);
}
} // namespace

class VisualizeViewTest : public QObject {
    Q_OBJECT

private slots:
    void EmptyScheduleShowsGridAndCurrentTimeOnly() {
        // 12:10 lies at x = 730 × 600 / 1440 + 20 = 324.17.
        const QImage image = Draw({}, TimeScene(0, 12 * 60 + 10));
        QCOMPARE(Pixel(image, 45, 100), 0xFF101010u);  // the 1 o'clock line
        QCOMPARE(Pixel(image, 100, 52), 0xFF101010u);  // the 90 % line at y = 52
        QCOMPARE(Pixel(image, 620, 200), 0xFF101010u); // the 24 o'clock line
        QCOMPARE(Pixel(image, 324, 0), 0xFFC0C0C0u);   // full height
        QCOMPARE(Pixel(image, 324, Height - 1), 0xFFC0C0C0u);
        QCOMPARE(Pixel(image, 323, 200), 0xFF000000u);
        QCOMPARE(Pixel(image, 60, 200), 0xFF000000u); // no curve, no fill
    }

    void CurrentTimeOutsideThePictureDrawsNoLine() {
        // 26:00 (a controller clock is not checked) lies beyond the right edge.
        const QImage image = Draw({}, TimeScene(0, 26 * 60));
        for (int x = 621; x < Width; ++x)
            QVERIFY(Pixel(image, x, 200) != 0xFFC0C0C0u);
    }

    void VisualisedChannelIsFilledAndMarked() {
        // Channel 0 (red) at 50 % all day, the others at 0 %.
        const std::vector<ScheduleRow> rows = {Row(6, 0, {2048, 0, 0, 0}),
                                               Row(18, 0, {2048, 0, 0, 0})};
        std::vector<PointCacheEntry> cache;
        const QImage image = Draw(rows, TimeScene(0), &cache);
        // Squares around (170, 180) and (470, 180) in the line colour.
        QCOMPARE(Pixel(image, 167, 177), 0xFFFF0000u);
        QCOMPARE(Pixel(image, 473, 183), 0xFFFF0000u);
        // Below the curve: the shade (alpha 0x20) over black; above it: black.
        const QColor below = QColor::fromRgb(Pixel(image, 300, 260));
        QVERIFY2(below.red() >= 28 && below.red() <= 36 && below.green() == 0,
                 qPrintable(QString::number(Pixel(image, 300, 260), 16)));
        QCOMPARE(Pixel(image, 300, 100), 0xFF000000u);
        // The cache holds what was drawn: x, then y per channel.
        QCOMPARE(cache.size(), size_t(2));
        QCOMPARE(cache[0][0], 170.0f);
        QCOMPARE(cache[1][0], 470.0f);
        QCOMPARE(cache[0][1], 180.0f);
        QCOMPARE(cache[0][2], 340.0f);
    }

    void OtherChannelsAreLegibleOutlinesOnly() {
        // Channels 1 (green) at 1800 (y = 199.4) and 2 (blue) at 900 (y = 269.7), not
        // visualised: lines that stand out from the black, nothing filled, no square.
        const std::vector<ScheduleRow> rows = {Row(6, 0, {0, 1800, 900, 0}),
                                               Row(18, 0, {0, 1800, 900, 0})};
        const QImage image = Draw(rows, TimeScene(0));
        QCOMPARE(Pixel(image, 300, 240), 0xFF000000u);
        const auto brightest = [&](int top) {
            int lightness = 0;
            for (int y = top; y < top + 20; ++y)
                lightness = std::max(lightness, QColor::fromRgb(Pixel(image, 300, y)).lightness());
            return lightness;
        };
        QVERIFY2(brightest(190) >= 0x60, qPrintable(QString::number(brightest(190))));
        QVERIFY2(brightest(260) >= 0x60, qPrintable(QString::number(brightest(260))));
        QCOMPARE(Pixel(image, 167, 196), 0xFF000000u);
    }

    // A legend in the top right corner names every channel beside a stroke of its colour.
    void LegendNamesTheChannels() {
        VisualizeScene scene = TimeScene(0);
        const QImage plain = Draw({}, scene);
        scene.Names = {QStringLiteral("Red: W"), QStringLiteral("Green: R"),
                       QStringLiteral("Blue: G"), QStringLiteral("Yellow: B")};
        const QImage named = Draw({}, scene);
        const QRect area = LegendArea(named.size(), QFontMetrics(QFont(), &named), scene);
        QVERIFY(QRect(20, 20, Width - 40, Height - 40).contains(area));
        QVERIFY(area.height() >= 4 * QFontMetrics(QFont(), &named).height());
        for (int x = 0; x < Width; ++x)
            for (int y = 0; y < Height; ++y)
                if (!area.contains(x, y))
                    QCOMPARE(Pixel(named, x, y), Pixel(plain, x, y));
        // Each name's line begins with a stroke of its channel's hue: red, green, blue, yellow.
        const int line = QFontMetrics(QFont(), &named).height();
        const int hues[] = {0, 120, 240, 60};
        for (int channel = 0; channel < 4; ++channel) {
            const QRect row(area.left(), area.top() + 4 + channel * line, area.width() / 3, line);
            bool found = false;
            for (int x = row.left(); x <= row.right() && !found; ++x)
                for (int y = row.top(); y <= row.bottom() && !found; ++y)
                    found = QColor::fromRgb(Pixel(named, x, y)).hue() == hues[channel];
            QVERIFY2(found, qPrintable(scene.Names[size_t(channel)]));
        }
        scene.Names = {};
        QVERIFY(LegendArea(named.size(), QFontMetrics(QFont(), &named), scene).isEmpty());
    }

    void DragLabelShowsTimeAndLevel() {
        const std::vector<ScheduleRow> rows = {Row(6, 5, {2048, 0, 0, 0})};
        VisualizeScene scene = TimeScene(0);
        const QImage plain = Draw(rows, scene);
        scene.DragPoint = 0;
        const QImage dragged = Draw(rows, scene);
        QCOMPARE(Pixel(plain, 1, 1), 0xFF000000u);
        QCOMPARE(Pixel(dragged, 1, 1), 0xFFFFFFFFu); // white behind "06:05 50%"
    }

    void ReusedRendererFollowsSizeViewAndFont() {
        const std::vector<ScheduleRow> rows = {Row(6, 0, {2048, 0, 0, 0}, 3000),
                                               Row(18, 0, {1024, 0, 0, 0}, -500)};
        VisualizeRenderer reused;
        std::vector<PointCacheEntry> cache;
        QImage image(Width, Height, QImage::Format_ARGB32_Premultiplied);
        reused.Draw(image, QFont(), rows, TimeScene(0), cache);
        const auto same = [&](QImage picture, const VisualizeScene& scene, const QFont& font) {
            QImage fresh = picture;
            fresh.detach();
            reused.Draw(picture, font, rows, scene, cache);
            VisualizeRenderer().Draw(fresh, font, rows, scene, cache);
            return picture == fresh;
        };
        QVERIFY(same(QImage(320, 200, QImage::Format_ARGB32_Premultiplied), TimeScene(1), QFont()));
        VisualizeScene geo = TimeScene(0, 200);
        geo.Geo = true;
        QVERIFY(same(QImage(320, 200, QImage::Format_ARGB32_Premultiplied), geo, QFont()));
        QFont large;
        large.setPixelSize(30);
        QVERIFY(same(QImage(320, 200, QImage::Format_ARGB32_Premultiplied), geo, large));
    }

    void GeoAnglesFollowTheSun() {
        // Up to the noon row and down again; rows reached by both runs take the setting angle.
        const std::vector<ScheduleRow> rows = {
            Row(0, 0, {}, -1045), Row(0, 0, {}, 0), Row(0, 0, {}, 5000), Row(0, 0, {}, 10000),
            Row(0, 0, {}, 5000),  Row(0, 0, {}, 0), Row(0, 0, {}, -1045)};
        const std::vector<double> angles = GeoAngles(rows);
        QCOMPARE(angles.size(), size_t(7));
        QVERIFY(qAbs(angles[0] - 84.0) < 0.01);
        QCOMPARE(angles[1], 90.0);
        QVERIFY(qAbs(angles[2] - 120.0) < 1e-9);
        QCOMPARE(angles[3], 180.0);
        QVERIFY(qAbs(angles[4] - 240.0) < 1e-9);
        QCOMPARE(angles[5], 270.0);
        QVERIFY(qAbs(angles[6] - 276.0) < 0.01);
    }

    void GeoAnglesOfShortOrOddSchedules() {
        QCOMPARE(GeoAngles({Row(0, 0, {}, 5000)}), std::vector<double>{0.0});
        // An altitude beyond the arcsine counts as 0°; a dip in the middle is reached by
        // neither run.
        const std::vector<double> angles =
            GeoAngles({Row(0, 0, {}, 12000), Row(0, 0, {}, 3000), Row(0, 0, {}, 5000),
                       Row(0, 0, {}, 2000), Row(0, 0, {}, 4000), Row(0, 0, {}, 1000)});
        QCOMPARE(angles[0], 90.0);
        QCOMPARE(angles[1], 0.0);
        QCOMPARE(angles[2], 0.0);
        QVERIFY(qAbs(angles[4] - (270 - 23.578)) < 0.01);
        QVERIFY(qAbs(angles[5] - (270 - 5.739)) < 0.01);
        QCOMPARE(angles[3], 0.0);
    }

    void MousePositionsReachTheLimits() {
        QCOMPARE(MinutesAt(620, Width), 1440);
        QCOMPARE(MinutesAt(5000, Width), 1440);
        QCOMPARE(MinutesAt(-50, Width), 0);
        QCOMPARE(MinutesAt(170, Width), 360);
        QCOMPARE(LevelAt(20, Height), 4096);
        QCOMPARE(LevelAt(-100, Height), 4096);
        QCOMPARE(LevelAt(340, Height), 0);
        QCOMPARE(LevelAt(180, Height), 2048);
    }
};

QTEST_MAIN(VisualizeViewTest)
#include "visualize_view_test.moc"
